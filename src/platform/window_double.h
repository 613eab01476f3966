// The window toolkit of the native build: an in-memory record of every
// window and control, answering the access calls of window.h from it, and a
// script of user actions that OsWaitEvent and OsPollEvent replay in order.
//
// A scripted action is applied when it is delivered, as a user's would be:
// a click ticks a check box on or off and ticks an option (clearing the rest
// of its group), typing replaces an edit's text and then leaves the field
// (lost focus), a selection selects the line or item. The action goes to the
// most recently opened window that has the control. An action on a control
// that a user could not reach at that moment (no such control, hidden itself
// or by a panel, disabled, or its window hidden or disabled) is dropped and
// counted, and the next one is taken. When the script is used up, OsWaitEvent
// answers a close request of the most recently opened window, so a flow under
// test always ends; a flow that ignores 100 of them in a row gets false, as
// if the thread had been told to quit.
//
// As on Windows, OsSetFocus on an unticked option that is shown and enabled
// ticks it (clearing the rest of its group) and puts its click event at the
// front of the script.
//
// OsDrainEvents leaves the script alone (it is what the user does later) and
// only counts the drains.
#pragma once
#include <string>
#include <vector>

#include "platform/window.h"

struct WindowDoubleTreeItem {
  std::string text;
  int level = 0;
};

struct WindowDoubleControlRecord {
  ControlSpec shape;
  OsWindow window = 0;
  std::string text;
  int state = 0;  // check 0/1; list, drop-down, tree: selected position or -1
  bool visible = true;  // the control's own flag; see WindowDoubleShown
  bool enabled = true;
  std::vector<std::string> lines;
  std::vector<WindowDoubleTreeItem> items;
  int progressMax = 100;
  int progress = 0;
  std::string image;    // file loaded into an image control, "#N" for icon resource N
  bool richTextIsRtf = false;  // a rich text viewer's text is the file's bytes, markup and all
  bool coloured = false;
  uint32_t textColour = 0;
  uint32_t backgroundColour = 0;
};

struct WindowDoubleWindowRecord {
  WindowSpec shape;
  bool open = true;
  bool shown = false;
  bool enabled = true;
  int defaultButton = 0;
  int cancelControl = 0;
  int focus = 0;  // control id of the last OsSetFocus, 0 for none
  std::vector<WindowDoubleControlRecord> controls;
};

struct WindowDoubleFont {
  std::string face;
  int points = 0;
  int weight = 0;
};

void ResetWindowDouble();

// The script.
void WindowDoubleQueueEvent(const OsEvent& event);  // delivered as it is
void WindowDoubleClick(int id);
void WindowDoubleType(int id, const std::string& text);
void WindowDoubleSelect(int id, int position);
void WindowDoubleCloseRequest();  // of the most recently opened window at delivery
size_t WindowDoubleScriptLeft();
int WindowDoubleDroppedActions();
int WindowDoubleDrains();

// Inspection. The control lookups search the most recently opened open
// window first and answer null when no open window has the id.
const WindowDoubleControlRecord* WindowDoubleControl(int id);
const WindowDoubleWindowRecord* WindowDoubleWindow(OsWindow window);
OsWindow WindowDoubleTopWindow();  // most recently opened open window, 0 for none
// The control and every panel holding it are visible.
bool WindowDoubleShown(int id);
const std::vector<WindowDoubleFont>& WindowDoubleFonts();
