// A Windows test program for the dialogs that the wizard opens: it shows a
// stand-in for the wizard window and a second window of its own, opens one
// dialog over them and checks from a timer, while the dialog is open, what
// only the running system can tell (which windows are disabled, the owner,
// size and place, the keyboard focus, the preselected tree item); a test
// drives the dialog with real keys and reads the answer from the log.
//   dialog_demo.exe LOG startmenu FIELD   the start-menu folder dialog
//   dialog_demo.exe LOG browser START     the folder browser
//   dialog_demo.exe LOG box               an error message box
//   dialog_demo.exe LOG login             the administrator login dialog
//                                         (answer: "logged on" or "none")
// Log lines: "ok: ..." and "FAIL: ..." for the checks, "info: ...", "open"
// once the dialog has been checked, "box open" for a message box over the
// start-menu dialog, "answer = ..." and "done". Exit code 0.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/window.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "ui/login_dialog.h"

namespace {

FILE* g_log = nullptr;
std::string g_mode;
HWND g_wizard = nullptr;
HWND g_other = nullptr;
HWND g_dialog = nullptr;  // the start-menu dialog once seen
bool g_dialogChecked = false;
bool g_boxChecked = false;

void Log(const std::string& line) {
  fprintf(g_log, "%s\n", line.c_str());
  fflush(g_log);
}

void Check(const std::string& what, bool good) { Log((good ? "ok: " : "FAIL: ") + what); }

void CheckEqual(const std::string& what, const std::string& got, const std::string& expected) {
  Check(what + " (got '" + got + "', expected '" + expected + "')", got == expected);
}

std::string ClassOf(HWND window) {
  char name[64] = {0};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool OurMessageBox(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return window && pid == GetCurrentProcessId() && ClassOf(window) == "#32770";
}

POINT Centre(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string SelectedTreeItem(HWND tree) {
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return "(none)";
  char text[260] = {0};
  TVITEMA query = {};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
  return text;
}

void CheckStartMenuDialog(HWND dialog) {
  Check("the wizard is disabled while the dialog is open", !IsWindowEnabled(g_wizard));
  Check("the dialog is owned by the wizard", GetWindow(dialog, GW_OWNER) == g_wizard);
  RECT client;
  GetClientRect(dialog, &client);
  CheckEqual("client area", std::to_string(client.right) + "x" + std::to_string(client.bottom), "220x300");
  POINT dialogCentre = Centre(dialog), wizardCentre = Centre(g_wizard);
  Check("centred on the wizard", std::abs(dialogCentre.x - wizardCentre.x) <= 1 &&
                                     std::abs(dialogCentre.y - wizardCentre.y) <= 1);
  Check("the dialog has a close box", (GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) != 0);
  HWND tree = FindWindowExA(dialog, nullptr, WC_TREEVIEWA, nullptr);
  Check("the tree has the keyboard focus", tree && GetFocus() == tree);
  RECT place;
  GetWindowRect(tree, &place);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  CheckEqual("tree place", std::to_string(place.left) + "," + std::to_string(place.top) + " " +
                               std::to_string(place.right - place.left) + "x" +
                               std::to_string(place.bottom - place.top),
             "10,10 200x260");
  Log("selected = " + SelectedTreeItem(tree));
}

// A message box or the folder browser: the window in front owns it (and the
// system disables it, as the owner of a modal dialog); the other visible
// window of the thread is disabled by hand.
void CheckMessageBox(HWND box, HWND front, HWND other) {
  Check("the window in front owns the box", GetWindow(box, GW_OWNER) == front);
  Check("the other window is disabled", !IsWindowEnabled(other));
}

// Left,top widthxheight of a control in its dialog's client area.
std::string PlaceOf(HWND control, HWND dialog) {
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  return std::to_string(place.left) + "," + std::to_string(place.top) + " " + std::to_string(place.right - place.left) +
         "x" + std::to_string(place.bottom - place.top);
}

// The child of the dialog with the class and, when given, the text.
HWND ChildOf(HWND dialog, const char* cls, const char* text, int skip = 0) {
  for (HWND child = FindWindowExA(dialog, nullptr, cls, text); child;
       child = FindWindowExA(dialog, child, cls, text)) {
    if (skip-- == 0) return child;
  }
  return nullptr;
}

void CheckLoginDialog(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  CheckEqual("client area", std::to_string(client.right) + "x" + std::to_string(client.bottom), "260x135");
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  POINT centre = Centre(dialog);
  Check("centred on the screen", std::abs(centre.x - (work.left + work.right) / 2) <= 1 &&
                                     std::abs(centre.y - (work.top + work.bottom) / 2) <= 1);
  Check("the dialog has a close box", (GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) != 0);
  HWND user = ChildOf(dialog, "Edit", nullptr, 0);
  HWND password = ChildOf(dialog, "Edit", nullptr, 1);
  Check("two edit fields", user && password);
  if (!user || !password) return;
  CheckEqual("user field place", PlaceOf(user, dialog), "115,25 120x20");
  CheckEqual("password field place", PlaceOf(password, dialog), "115,60 120x20");
  Check("the user field is plain", (GetWindowLongA(user, GWL_STYLE) & ES_PASSWORD) == 0);
  Check("the password field masks its characters", (GetWindowLongA(password, GWL_STYLE) & ES_PASSWORD) != 0);
  Check("the user field has the keyboard focus", GetFocus() == user);
  HWND userLabel = ChildOf(dialog, "Static", "Username:");
  HWND passwordLabel = ChildOf(dialog, "Static", "Password:");
  Check("both labels", userLabel && passwordLabel);
  if (userLabel && passwordLabel) {
    CheckEqual("user label place", PlaceOf(userLabel, dialog), "20,27 90x15");
    CheckEqual("password label place", PlaceOf(passwordLabel, dialog), "20,62 90x15");
    Check("labels are right-aligned", (GetWindowLongA(userLabel, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT &&
                                          (GetWindowLongA(passwordLabel, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT);
  }
  HWND frame = nullptr;
  for (HWND child = ChildOf(dialog, "Static", ""); child; child = FindWindowExA(dialog, child, "Static", "")) {
    if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_STATICEDGE) frame = child;
  }
  Check("a sunken frame", frame != nullptr);
  if (frame) CheckEqual("frame place", PlaceOf(frame, dialog), "10,10 240x85");
  HWND login = ChildOf(dialog, "Button", "Login");
  Check("the Login button", login != nullptr);
  if (!login) return;
  CheckEqual("Login button place", PlaceOf(login, dialog), "90,104 80x22");
  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(login, WM_GETFONT, 0, 0)), sizeof font, &font);
  CheckEqual("Login button font", std::string(font.lfFaceName) + " " + std::to_string(font.lfWeight), "System 700");
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND front = GetForegroundWindow();
  if (g_mode == "login") {
    HWND dialog = FindWindowA(nullptr, " Login as administrator");
    if (g_dialogChecked || !dialog || !IsWindowVisible(dialog)) return;
    g_dialogChecked = true;
    CheckLoginDialog(dialog);
    Log("open");
    return;
  }
  if (g_mode == "startmenu") {
    if (!g_dialogChecked) {
      HWND dialog = FindWindowA(nullptr, " Select Directory");
      if (!dialog || !IsWindowVisible(dialog)) return;
      g_dialog = dialog;
      g_dialogChecked = true;
      CheckStartMenuDialog(dialog);
      Log("open");
    } else if (!g_boxChecked && OurMessageBox(front)) {
      g_boxChecked = true;
      CheckMessageBox(front, g_dialog, g_other);
      Log("box open");
    }
    return;
  }
  if (g_dialogChecked || !OurMessageBox(front)) return;
  g_dialogChecked = true;
  CheckMessageBox(front, g_wizard, g_other);
  Log("open");
}

OsWindow ShowPlainWindow(const char* title, int width, int height) {
  WindowSpec shape;
  shape.title = title;
  shape.width = width;
  shape.height = height;
  shape.systemMenu = true;
  OsWindow window = OsOpenWindow(shape);
  ControlSpec button;
  button.id = 1;
  button.kind = kControlButton;
  button.left = 10;
  button.top = 10;
  button.width = 80;
  button.height = 24;
  button.text = "Change";
  OsAddControl(window, button);
  OsShowWindow(window);
  return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 0;
  g_log = fopen(__argv[1], "wb");
  if (!g_log) return 0;
  g_mode = __argv[2];
  std::string argument = __argc > 3 ? __argv[3] : "";
  LoadDefaultTexts("Demo", "1.0");

  OsWindow other = ShowPlainWindow(" Other", 200, 80);
  OsWindow wizard = ShowPlainWindow(" Demo Wizard", 480, 335);  // last shown: in front
  g_other = reinterpret_cast<HWND>(OsWindowHandle(other));
  g_wizard = reinterpret_cast<HWND>(OsWindowHandle(wizard));
  SetTimer(nullptr, 0, 200, Tick);

  std::string answer;
  if (g_mode == "startmenu") {
    answer = ChooseStartMenuFolder(wizard, argument);
  } else if (g_mode == "login") {
    OsLogon logon = ShowLoginDialog();
    answer = logon != 0 ? "logged on" : "none";
    if (logon != 0) OsEndLogon(logon);
  } else if (g_mode == "browser") {
    answer = BrowseForFolder(wizard, "Choose the installation folder", argument);
  } else {
    answer = std::to_string(ShowMessageBox(" Error", "Something failed.", kMessageError));
  }
  Check("the wizard is enabled again", IsWindowEnabled(g_wizard));
  Check("the other window is enabled again", IsWindowEnabled(g_other));
  Log("answer = " + answer);
  OsCloseWindow(wizard);
  OsCloseWindow(other);
  Log("done");
  fclose(g_log);
  return 0;
}
