// A Windows test program for the window toolkit: builds a 480 x 335 window
// with every kind of control, checks from inside what only the running
// system can tell (client size, positions relative to panels and to the
// client area, fonts, rich text, images, progress, polling and draining),
// then runs the event loop and logs each event, so that a test can drive it
// with real keys and clicks.
//   window_demo.exe LOG RTF_FILE TXT_FILE BMP_FILE
// Log lines: "ok: ..." and "FAIL: ..." for the checks, "rect ID X Y W H" (screen
// coordinates) for the controls a driver clicks, "ready", "event ..." for each
// event, "done" at the end. Exit code 0 (also on failed checks; the log tells).
#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/window.h"

namespace {

enum {
  kSidePicture = 2,
  kWhitePanel = 10, kSmall = 11, kSmallBold = 12, kNormal = 13, kNormalBold = 14, kTitle = 15,
  kButtonBold = 16, kRightText = 17, kIcon = 18,
  kPanel = 20, kRtfViewer = 21, kTxtViewer = 22, kTree = 23, kFrame = 24, kAccept = 25, kRefuse = 26,
  kPlainBox = 27, kColouredBox = 28, kField = 31, kPassword = 32, kList = 33, kDropDown = 34,
  kProgress = 35,
  kBack = 40, kOk = 41, kCancel = 42, kLink = 50, kHiddenPanel = 60, kHiddenButton = 61,
  kSeparator = 70,
};

FILE* g_log = nullptr;
int g_failures = 0;

void Log(const std::string& line) {
  fprintf(g_log, "%s\n", line.c_str());
  fflush(g_log);
}

void Check(const std::string& what, bool good) {
  Log((good ? "ok: " : "FAIL: ") + what);
  if (!good) ++g_failures;
}

void CheckEqual(const std::string& what, const std::string& got, const std::string& expected) {
  Check(what + " (got '" + got + "', expected '" + expected + "')", got == expected);
}

void CheckNumber(const std::string& what, long got, long expected) {
  CheckEqual(what, std::to_string(got), std::to_string(expected));
}

ControlSpec Control(int id, ControlKind kind, int parent, int left, int top, int width, int height,
                    const char* text = "", int font = 0) {
  ControlSpec shape = PlaceControl(id, kind, left, top, width, height, text);
  shape.parent = parent;
  shape.font = font;
  return shape;
}

struct Fonts {
  int small, smallBold, normal, normalBold, title, buttonBold;
};

std::vector<ControlSpec> DemoControls(const Fonts& f) {
  std::vector<ControlSpec> specs;
  specs.push_back(Control(kSidePicture, kControlImage, 0, 0, 0, 60, 140));
  ControlSpec white = Control(kWhitePanel, kControlPanel, 0, 60, 0, 420, 140);
  white.white = true;
  specs.push_back(white);
  struct {
    int id, top, height, font;
    const char* text;
  } texts[] = {
      {kSmall, 6, 15, f.small, "small: Arial 8"},
      {kSmallBold, 24, 15, f.smallBold, "small bold: Arial 8 bold"},
      {kNormal, 42, 16, f.normal, "normal: Arial 9"},
      {kNormalBold, 61, 16, f.normalBold, "normal bold: Arial 9 bold"},
      {kTitle, 80, 22, f.title, "Title: Arial 12 bold, centred"},
      {kButtonBold, 106, 16, f.buttonBold, "button bold: MS Sans Serif 8 bold"},
  };
  for (const auto& t : texts) {
    ControlSpec text = Control(t.id, kControlText, kWhitePanel, 10, t.top, 300, t.height, t.text, t.font);
    text.white = true;
    if (t.id == kTitle) text.align = kAlignCentre;
    specs.push_back(text);
  }
  ControlSpec right = Control(kRightText, kControlText, kWhitePanel, 310, 120, 100, 15, "right-aligned", f.normal);
  right.white = true;
  right.align = kAlignRight;
  specs.push_back(right);
  specs.push_back(Control(kIcon, kControlImage, kWhitePanel, 370, 10, 32, 32));

  ControlSpec panel = Control(kPanel, kControlPanel, 0, 0, 142, 480, 156);
  panel.border = kBorderSunken;
  specs.push_back(panel);
  specs.push_back(Control(kRtfViewer, kControlRichText, kPanel, 5, 5, 150, 70));
  specs.push_back(Control(kTxtViewer, kControlRichText, kPanel, 160, 5, 150, 70));
  specs.push_back(Control(kTree, kControlTree, kPanel, 315, 5, 155, 70));
  specs.push_back(Control(kFrame, kControlFrame, kPanel, 5, 78, 110, 72, "Options", f.normal));
  ControlSpec accept = Control(kAccept, kControlOption, kPanel, 12, 94, 95, 16, "Accept", f.normal);
  accept.groupStart = true;
  specs.push_back(accept);
  specs.push_back(Control(kRefuse, kControlOption, kPanel, 12, 114, 95, 16, "Refuse", f.normal));
  specs.push_back(Control(kPlainBox, kControlCheckBox, kPanel, 120, 84, 120, 16, "Plain box", f.small));
  specs.push_back(Control(kColouredBox, kControlCheckBox, kPanel, 120, 104, 120, 16, "Coloured box", f.normal));
  specs.push_back(Control(kProgress, kControlProgress, kPanel, 120, 128, 120, 16));
  specs.push_back(Control(kField, kControlEdit, kPanel, 245, 82, 110, 20, "preset"));
  ControlSpec password = Control(kPassword, kControlEdit, kPanel, 360, 82, 110, 20);
  password.password = true;
  specs.push_back(password);
  specs.push_back(Control(kList, kControlList, kPanel, 245, 106, 110, 44));
  specs.push_back(Control(kDropDown, kControlDropDown, kPanel, 360, 106, 110, 100));

  ControlSpec hidden = Control(kHiddenPanel, kControlPanel, 0, 0, 142, 480, 156);
  hidden.border = kBorderSunken;
  hidden.hidden = true;
  specs.push_back(hidden);
  specs.push_back(Control(kHiddenButton, kControlButton, kHiddenPanel, 5, 5, 80, 22, "Hidden"));

  specs.push_back(Control(kSeparator, kControlSeparator, 0, 0, 300, 483, 2));
  specs.push_back(Control(kLink, kControlLink, 0, 10, 310, 200, 15, "www.example.org", f.smallBold));
  specs.push_back(Control(kBack, kControlButton, 0, 250, 307, 65, 22, "< Back"));
  specs.push_back(Control(kOk, kControlButton, 0, 320, 307, 65, 22, "OK >"));
  specs.push_back(Control(kCancel, kControlButton, 0, 415, 307, 60, 22, "Cancel"));
  return specs;
}

HWND Handle(OsWindow window, int id) { return reinterpret_cast<HWND>(OsControlHandle(window, id)); }

// Position and size of each control relative to its panel's client area
// (or the window's), as the platform reports them.
void CheckPlaces(OsWindow window, const std::vector<ControlSpec>& specs) {
  HWND top = reinterpret_cast<HWND>(OsWindowHandle(window));
  RECT client;
  GetClientRect(top, &client);
  CheckNumber("client width", client.right, 480);
  CheckNumber("client height", client.bottom, 335);
  for (const ControlSpec& shape : specs) {
    HWND hwnd = Handle(window, shape.id);
    HWND parent = shape.parent ? Handle(window, shape.parent) : top;
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    std::string name = "control " + std::to_string(shape.id);
    CheckEqual(name + " place", std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                                    std::to_string(r.right - r.left),
               std::to_string(shape.left) + "," + std::to_string(shape.top) + "," + std::to_string(shape.width));
    if (shape.kind != kControlDropDown) CheckNumber(name + " height", r.bottom - r.top, shape.height);
  }
}

void CheckFonts(OsWindow window) {
  HDC screen = GetDC(nullptr);
  CheckNumber("screen pixels per logical inch", GetDeviceCaps(screen, LOGPIXELSY), 96);
  // At 96 pixels per inch: 8 points are -11 pixels, 9 are -12, 12 are -16.
  struct {
    int id;
    const char* face;
    long height, weight;
  } cases[] = {
      {kSmall, "Arial", -11, 400},      {kSmallBold, "Arial", -11, 700},
      {kNormal, "Arial", -12, 400},     {kNormalBold, "Arial", -12, 700},
      {kTitle, "Arial", -16, 700},      {kButtonBold, "MS Sans Serif", -11, 700},
  };
  for (const auto& c : cases) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(Handle(window, c.id), WM_GETFONT, 0, 0));
    LOGFONTA asked = {};
    GetObjectA(font, sizeof asked, &asked);
    std::string name = "font of control " + std::to_string(c.id);
    CheckEqual(name + " face", asked.lfFaceName, c.face);
    CheckNumber(name + " height", asked.lfHeight, c.height);
    CheckNumber(name + " weight", asked.lfWeight, c.weight);
    HGDIOBJ old = SelectObject(screen, font);
    char realized[LF_FACESIZE] = {0};
    GetTextFaceA(screen, sizeof realized, realized);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, old);
    Log("info: " + name + " drawn with " + realized + ", character height " +
        std::to_string(metrics.tmHeight - metrics.tmInternalLeading));
  }
  ReleaseDC(nullptr, screen);
}

void CheckContents(OsWindow window) {
  std::string rtf = OsGetText(window, kRtfViewer);
  CheckEqual("rich text shown formatted", rtf.substr(0, 25), "Licence: bold words here.");
  // "bold words" starts at character 9 and is bold; "Licence:" is not.
  HWND viewer = Handle(window, kRtfViewer);
  auto bold = [viewer](LONG from) {
    CHARRANGE range = {from, from + 4};
    SendMessageA(viewer, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(viewer, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return (format.dwMask & CFM_BOLD) && (format.dwEffects & CFE_BOLD);
  };
  Check("rich text keeps its bold words", bold(9) && !bold(0));
  SendMessageA(viewer, EM_SETSEL, 0, 0);
  std::string txt = OsGetText(window, kTxtViewer);
  CheckEqual("plain text shows markup as text", txt.substr(0, 6), "{\\rtf1");
  LRESULT lines = SendMessageA(Handle(window, kTxtViewer), EM_GETLINECOUNT, 0, 0);
  Check("one long line wraps at the viewer width (" + std::to_string(lines) + " lines)", lines > 3);
  LONG_PTR style = GetWindowLongPtrA(Handle(window, kTxtViewer), GWL_STYLE);
  Check("viewer has a vertical and no horizontal scroll bar", (style & WS_VSCROLL) && !(style & WS_HSCROLL));
  Check("viewer is read-only", (style & ES_READONLY) != 0);
  Check("a missing file leaves the viewer as it was",
        !OsLoadRichText(window, kRtfViewer, "Z:\\no\\such\\licence.rtf", true) &&
            OsGetText(window, kRtfViewer) == rtf);

  Check("bitmap loaded", SendMessageA(Handle(window, kSidePicture), STM_GETIMAGE, IMAGE_BITMAP, 0) != 0);
  Check("resource icon loaded", SendMessageA(Handle(window, kIcon), STM_GETIMAGE, IMAGE_ICON, 0) != 0);
  Check("a missing picture is refused", !OsLoadImage(window, kSidePicture, "Z:\\no\\such\\splash.bmp"));

  CheckNumber("tree items", OsCountLines(window, kTree), 5);
  CheckEqual("tree item 2", OsTreeItemText(window, kTree, 2), "Demo");
  CheckNumber("tree item 2 level", OsTreeItemLevel(window, kTree, 2), 2);
  CheckNumber("tree item 4 level (at most one below)", OsTreeItemLevel(window, kTree, 4), 1);
  OsSetState(window, kTree, 2);
  CheckNumber("tree selection", OsGetState(window, kTree), 2);
  CheckNumber("list lines", OsCountLines(window, kList), 3);
  OsSetLine(window, kList, 1, "line two, changed");
  char line[64] = {0};
  SendMessageA(Handle(window, kList), LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
  CheckEqual("list line changed", line, "line two, changed");
  CheckNumber("drop-down selection", OsGetState(window, kDropDown), 1);

  bool frameBelow = false;
  for (HWND h = Handle(window, kRefuse); h; h = GetWindow(h, GW_HWNDNEXT)) frameBelow |= h == Handle(window, kFrame);
  Check("the frame lies under the options made after it", frameBelow);

  OsSetState(window, kAccept, 1);
  OsSetState(window, kRefuse, 1);
  CheckNumber("ticking one option clears the other", OsGetState(window, kAccept), 0);

  OsSetProgressMax(window, kProgress, 1000);
  OsSetProgress(window, kProgress, 250);
  CheckNumber("progress", OsGetProgress(window, kProgress), 250);
  OsSetProgress(window, kProgress, 5000);
  CheckNumber("progress clamped to the maximum", OsGetProgress(window, kProgress), 1000);
  OsSetProgress(window, kProgress, 400);

  Check("hidden panel hides its button", !OsControlVisible(window, kHiddenButton) &&
                                             !IsWindowVisible(Handle(window, kHiddenButton)));
  Check("shown panel shows its controls", OsControlVisible(window, kField) && IsWindowVisible(Handle(window, kField)));
}

// Polling answers an event that is pending; a drain discards it.
void CheckPollAndDrain(OsWindow window) {
  HWND button = Handle(window, kBack);
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(kBack, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  OsEvent event;
  Check("poll answers a pending click", OsPollEvent(&event) && event.control == kBack &&
                                            event.detail == kDetailClicked && event.window == window);
  Check("poll without anything pending answers nothing", !OsPollEvent(&event));
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(kBack, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  OsDrainEvents();
  Check("a drain discards the click", !OsPollEvent(&event));
}

// A dialog as the start-menu folder dialog is one: owned, with a close box,
// centred on its owner; Escape without a cancel control is a close request.
void CheckDialog(OsWindow owner) {
  OsWindow dialog = OsOpenWindow(WindowSpec{" Select Directory", 220, 300, true, owner});
  Check("dialog opened", dialog != 0);
  ControlSpec tree = Control(1, kControlTree, 0, 10, 10, 200, 260);
  Check("dialog tree made", OsAddControl(dialog, tree));
  OsEnableWindow(owner, false);
  OsShowWindow(dialog);
  HWND hwnd = reinterpret_cast<HWND>(OsWindowHandle(dialog));
  HWND ownerHwnd = reinterpret_cast<HWND>(OsWindowHandle(owner));
  RECT client, outer, around;
  GetClientRect(hwnd, &client);
  CheckEqual("dialog client size", std::to_string(client.right) + "x" + std::to_string(client.bottom), "220x300");
  GetWindowRect(hwnd, &outer);
  GetWindowRect(ownerHwnd, &around);
  Check("dialog centred on its owner",
        abs((outer.left + outer.right) - (around.left + around.right)) <= 1 &&
            abs((outer.top + outer.bottom) - (around.top + around.bottom)) <= 1);
  Check("dialog has a close box, the main window none",
        (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_SYSMENU) && !(GetWindowLongPtrA(ownerHwnd, GWL_STYLE) & WS_SYSMENU));
  Check("dialog is owned", GetWindow(hwnd, GW_OWNER) == ownerHwnd);
  Check("the dialog has the keyboard focus in its tree", GetFocus() == Handle(dialog, 1));
  PostMessageA(Handle(dialog, 1), WM_KEYDOWN, VK_ESCAPE, 0);
  OsEvent event;
  bool closeRequest = false;
  for (int i = 0; i < 50 && !closeRequest; ++i) {
    while (OsPollEvent(&event)) closeRequest |= event.kind == kEventClose && event.window == dialog;
    Sleep(10);
  }
  Check("Escape in a dialog without cancel control is a close request", closeRequest);
  OsEnableWindow(owner, true);
  OsCloseWindow(dialog);
  Check("closed dialog is gone", !IsWindow(hwnd) && OsWindowHandle(dialog) == 0);
  OsDrainEvents();
}

void LogRect(OsWindow window, int id) {
  RECT r;
  GetWindowRect(Handle(window, id), &r);
  Log("rect " + std::to_string(id) + " " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
      std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top));
}

// The long step of an install: the bar moves, the window repaints, and what
// the user does meanwhile has no effect.
void RunLongStep(OsWindow window) {
  HWND cancel = Handle(window, kCancel);
  for (int step = 0; step <= 10; ++step) {
    OsSetProgress(window, kProgress, step * 100);
    if (step == 5) {
      PostMessageA(GetParent(cancel), WM_COMMAND, MAKEWPARAM(kCancel, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    }
    OsDrainEvents();
    Sleep(20);
  }
  OsEvent event;
  Check("clicks during the long step are drained", !OsPollEvent(&event));
  CheckNumber("progress at the end of the step", OsGetProgress(window, kProgress), 1000);
}

const char* DetailName(OsEventDetail detail) {
  switch (detail) {
    case kDetailClicked: return "clicked";
    case kDetailLostFocus: return "lost-focus";
    case kDetailSelectionChanged: return "selection-changed";
    default: return "none";
  }
}

DWORD WINAPI Watchdog(LPVOID window) {
  Sleep(120000);
  PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 5) return 2;
  g_log = fopen(__argv[1], "wb");
  if (!g_log) return 2;
  Fonts f = {OsCreateFont("Arial", 8, 400), OsCreateFont("Arial", 8, 700), OsCreateFont("Arial", 9, 400),
             OsCreateFont("Arial", 9, 700), OsCreateFont("Arial", 12, 700), OsCreateFont("MS Sans Serif", 8, 700)};
  OsWindow window = OsOpenWindow(WindowSpec{" Window Demo", 480, 335, false, 0});
  Check("window opened", window != 0);
  if (!window) return 0;
  std::vector<ControlSpec> specs = DemoControls(f);
  for (const ControlSpec& shape : specs) Check("control " + std::to_string(shape.id) + " made", OsAddControl(window, shape));
  Check("a duplicate id is refused", !OsAddControl(window, specs[0]));

  Check("bitmap from a file", OsLoadImage(window, kSidePicture, __argv[4]));
  Check("icon from the program's resource", OsLoadResourceIcon(window, kIcon, 1));
  Check("rich text from an .rtf file", OsLoadRichText(window, kRtfViewer, __argv[2], true));
  Check("plain text from a .txt file", OsLoadRichText(window, kTxtViewer, __argv[3], false));
  const char* tree[][2] = {{"Programs", "0"}, {"Tools", "1"}, {"Demo", "2"}, {"Games", "0"}, {"Cards", "3"}};
  for (const auto& item : tree) OsAddTreeItem(window, kTree, item[0], item[1][0] - '0');
  for (const char* line : {"line one", "line two", "line three"}) OsAddLine(window, kList, line);
  for (const char* line : {" english", " deutsch"}) OsAddLine(window, kDropDown, line);
  OsSetState(window, kDropDown, 1);
  OsSetControlColours(window, kColouredBox, RGB(192, 0, 0), RGB(255, 255, 255));
  OsEnableControl(window, kBack, false);
  OsSetDefaultButton(window, kOk);
  OsSetCancelControl(window, kCancel);
  OsShowWindow(window);
  OsSetFocus(window, kField);

  CheckPlaces(window, specs);
  CheckFonts(window);
  CheckContents(window);
  CheckPollAndDrain(window);
  CheckDialog(window);
  OsSetFocus(window, kField);
  HWND hwnd = reinterpret_cast<HWND>(OsWindowHandle(window));
  CreateThread(nullptr, 0, Watchdog, hwnd, 0, nullptr);
  LogRect(window, kAccept);
  LogRect(window, kColouredBox);
  LogRect(window, kPlainBox);
  LogRect(window, kLink);
  LogRect(window, kWhitePanel);
  Log("ready");

  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.kind == kEventClose) {
      Log("event close");
      Check("the window stays after a close request", IsWindow(hwnd) && IsWindowVisible(hwnd));
      break;
    }
    std::string line = "event " + std::to_string(event.control) + " " + DetailName(event.detail);
    if (event.detail == kDetailLostFocus) line += " text=" + OsGetText(window, event.control);
    if (event.control == kPlainBox || event.control == kColouredBox) {
      line += " state=" + std::to_string(OsGetState(window, event.control));
    }
    Log(line);
    if (event.control == kOk) RunLongStep(window);
  }
  OsCloseWindow(window);
  Check("closing destroys the window", !IsWindow(hwnd));
  Log("done " + std::to_string(g_failures) + " failed");
  fclose(g_log);
  return 0;
}
