// Window toolkit: top-level windows, panels and the standard controls made
// from plain records, fonts, images, a colour list, and the one event queue
// that the wizard and every dialog wait on. Text is ANSI throughout.
//
// Windows and controls are named by numbers: a window by the OsWindow that
// OsOpenWindow gave (never 0, never reused within a process), a control by
// the id its ControlSpec carried, unique within its window. Every access call
// on an unknown window or control does nothing and answers false, 0, -1 or an
// empty text.
//
// The native build replaces all of it with an in-memory double that records
// windows and controls and replays scripted user actions (window_double.h).
#pragma once
#include <cstdint>
#include <string>

typedef int32_t OsWindow;  // 0: no window

// ------------------------------------------------------------------ fonts --
// A font by face, point size and weight (400 regular, 700 bold). The pixel
// height is -(points * the screen's vertical pixels per logical inch / 72),
// rounded. Answers a font number for ControlSpec::font, 0 when the font cannot
// be made or 32 fonts exist already; 0 in a ControlSpec means the system's
// default GUI font. Fonts live until the process ends.
int OsCreateFont(const std::string& face, int points, int weight);

// ------------------------------------------------------ top-level windows --
struct WindowSpec {
  std::string title;
  int width = 0;   // client area
  int height = 0;
  bool systemMenu = false;  // title bar with close box; else no boxes at all
  OsWindow owner = 0;       // centred on the owner when given, else on the screen
};

// Opens a window of exactly the client size, not resizable, created hidden.
// 0 when it cannot be made.
OsWindow OsOpenWindow(const WindowSpec& shape);
// Shows the window, brings it to the front and gives the keyboard focus to
// its first tab stop (when no control of it has the focus yet).
void OsShowWindow(OsWindow window);
// Hides the window; it stays open and keeps its controls.
void OsHideWindow(OsWindow window);
// Destroys the window and its controls, frees the images set into them and
// drops the events of it that are still queued.
void OsCloseWindow(OsWindow window);
void OsEnableWindow(OsWindow window, bool enabled);
// The platform's handle of the window (an HWND on Windows), 0 when unknown:
// owner of message boxes and the like.
uintptr_t OsWindowHandle(OsWindow window);

// --------------------------------------------------------------- controls --
enum ControlKind {
  kControlPanel,      // holds controls; positions inside are relative to it
  kControlText,       // static text
  kControlImage,      // bitmap or icon (OsLoadImage, OsLoadResourceIcon)
  kControlRichText,   // read-only rich text viewer, filled by OsLoadRichText
  kControlOption,     // radio button; groupStart marks the first of a group
  kControlCheckBox,
  kControlButton,     // push button
  kControlEdit,       // single-line edit; password masks the characters
  kControlList,       // list box
  kControlDropDown,   // drop-down list, not editable; height is the opened list's
  kControlTree,       // tree with expand buttons and lines; items have levels
  kControlProgress,   // progress bar, range 0 to 100 until OsSetProgressMax
  kControlLink,       // hyperlink label
  kControlFrame,      // group box with its text as caption; with kBorderSunken a
                      // sunken rectangle without caption instead
  kControlSeparator,  // etched horizontal line
};

enum TextAlign { kAlignLeft, kAlignCentre, kAlignRight };
enum ControlBorder { kBorderNone, kBorderSunken };

struct ControlSpec {
  int id = 0;  // non-zero, unique within the window
  ControlKind kind = kControlText;
  int parent = 0;  // 0: the window's client area; else the id of a panel
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::string text;  // caption, label, or the first contents of an edit
  int font = 0;      // from OsCreateFont; 0: the default GUI font
  TextAlign align = kAlignLeft;          // static texts
  ControlBorder border = kBorderNone;    // panels (thin sunken edge), frames
  bool white = false;       // panels and static texts: white background
  bool groupStart = false;  // options: first of a new group
  bool password = false;    // edits: masked characters
  bool hidden = false;      // created hidden
};

// A control of the client area at its place, with every other field at its
// default: the shape most dialog controls start from.
inline ControlSpec PlaceControl(int id, ControlKind kind, int left, int top, int width, int height,
                                const std::string& text) {
  ControlSpec shape;
  shape.id = id;
  shape.kind = kind;
  shape.left = left;
  shape.top = top;
  shape.width = width;
  shape.height = height;
  shape.text = text;
  return shape;
}

// Adds a control to the window; false when it cannot be made (also for a
// duplicate id or a parent that is not a panel of this window).
//
// How they look and behave:
// - Panels paint white when `white`, else the dialog colour; hiding a panel
//   hides everything in it (OsControlVisible says so), and controls of a
//   panel move with it. Positions inside a panel with an edge are relative to
//   the area inside the edge.
// - Static texts paint white when `white`; images and hyperlinks take the
//   background of the panel they are in (white inside a white panel), so an
//   icon with transparent parts blends in.
// - The rich text viewer is the rich edit control (version 2 when the system
//   has it, else 1): read-only, sunken edge, vertical scroll bar, no length
//   limit, lines wrapped at the control width.
// - The hyperlink shows a hand cursor, black text without underline that is
//   drawn in 0x804000 while the mouse is over it; releasing the button over it
//   is a click.
bool OsAddControl(OsWindow window, const ControlSpec& shape);

// Text of any control that shows one (static, button, option, check box,
// edit, link, frame, the rich text viewer's plain text). Changing a drop-down
// or list line goes through OsSetLine.
bool OsSetText(OsWindow window, int id, const std::string& text);
std::string OsGetText(OsWindow window, int id);

// State: check boxes and options 1 (ticked) or 0; lists, drop-downs and
// trees the selected line or item, -1 for none. Ticking an option clears the
// other options of its group (the options of the same panel from its group's
// start to the next option that starts a group). Setting a state is not a
// user action and gives no event.
bool OsSetState(OsWindow window, int id, int state);
int OsGetState(OsWindow window, int id);  // -1 for an unknown control

void OsShowControl(OsWindow window, int id, bool shown);
void OsEnableControl(OsWindow window, int id, bool enabled);
// Shown: the control and each panel holding it are shown (the window's own
// visibility is not counted). Enabled: the control itself is.
bool OsControlVisible(OsWindow window, int id);
bool OsControlEnabled(OsWindow window, int id);
void OsSetFocus(OsWindow window, int id);
// The platform handle of a control (an HWND on Windows), 0 when unknown.
uintptr_t OsControlHandle(OsWindow window, int id);

// Lines of a list or drop-down. OsAddLine answers the new line's position,
// -1 on failure. OsCountLines also counts the items of a tree.
int OsAddLine(OsWindow window, int id, const std::string& text);
bool OsSetLine(OsWindow window, int id, int line, const std::string& text);
int OsCountLines(OsWindow window, int id);
void OsClearLines(OsWindow window, int id);

// Tree items, each added at the end of the tree at a level (0 at the root;
// an item is a child of the last item one level up). A level deeper than one
// below the last item is taken as one below it. Answers the item's position
// in adding order, which is also what OsSetState/OsGetState use; -1 on
// failure.
int OsAddTreeItem(OsWindow window, int id, const std::string& text, int level);
std::string OsTreeItemText(OsWindow window, int id, int item);
int OsTreeItemLevel(OsWindow window, int id, int item);  // -1 when no such item

// Progress bar; the value is clamped to 0..maximum.
void OsSetProgressMax(OsWindow window, int id, int maximum);
void OsSetProgress(OsWindow window, int id, int value);
int OsGetProgress(OsWindow window, int id);

// Images for an image control: a bitmap, or an icon when the file name ends
// in ".ico" (any case), loaded at the control's size; or icon resource
// `resource` of the program itself (the built-in header icon is resource 1).
// The image replaces the control's previous one, which is freed; the last one
// is freed with the window. False (the control unchanged) when it cannot be
// loaded.
bool OsLoadImage(OsWindow window, int id, const std::string& path);
bool OsLoadResourceIcon(OsWindow window, int id, int resource);
void OsFreeImage(OsWindow window, int id);

// Fills a rich text viewer from a file, as rich text or as plain text,
// replacing what it showed. False, the viewer unchanged, when the file cannot
// be opened.
bool OsLoadRichText(OsWindow window, int id, const std::string& path, bool rtf);

// The colour list: static, check box, option, edit and list controls named
// here paint their text in `text` on an opaque `background` (platform colour
// values, 0x00BBGGRR). A new entry for a control replaces the old one; the
// list holds 32 entries, more are ignored. The entries and their brushes live
// until the process ends.
void OsSetControlColours(OsWindow window, int id, uint32_t text, uint32_t background);

// ---------------------------------------------------------------- keyboard --
// Tab and Shift+Tab move the focus through the shown, enabled controls that
// take it (edits, buttons, options, check boxes, lists, drop-downs, trees, the
// rich text viewer); arrow keys move within an option group.
// Enter clicks the focused push button, else the default button when it is
// shown and enabled. Escape clicks the cancel control when one is set and it
// is shown and enabled; else, in a window with a close box, it is a close
// request; else it does nothing. 0 clears either.
void OsSetDefaultButton(OsWindow window, int id);
void OsSetCancelControl(OsWindow window, int id);

// ----------------------------------------------------------------- events --
enum OsEventKind { kEventClose, kEventControl };
enum OsEventDetail {
  kDetailNone,              // close requests
  kDetailClicked,           // buttons, options, check boxes, the hyperlink
  kDetailLostFocus,         // edits
  kDetailSelectionChanged,  // lists, drop-downs, trees, by the user
};

struct OsEvent {
  OsEventKind kind = kEventClose;
  OsWindow window = 0;
  int control = 0;  // 0 for a close request
  OsEventDetail detail = kDetailNone;
};

// A close request (close box, Alt+F4, Escape as above) is only reported: the
// window stays until OsCloseWindow. Up to 64 events wait in the queue; more
// that come before the next wait are dropped.
//
// Blocks until the next event of any window; false when no window is open or
// the thread was told to quit.
bool OsWaitEvent(OsEvent* event);
// Handles the pending window messages without waiting; true with the oldest
// event when there is one.
bool OsPollEvent(OsEvent* event);
// Handles every pending window message, so that windows repaint, and discards
// the events, queued or new: what the user does while a long step runs has no
// effect.
void OsDrainEvents();
