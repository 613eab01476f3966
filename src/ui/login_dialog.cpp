#include "ui/login_dialog.h"

#include "platform/window.h"
#include "ui/dialogs.h"
#include "ui/language.h"

namespace {

bool AddLoginControls(OsWindow window) {
  ControlSpec frame = PlaceControl(kLoginFrame, kControlFrame, 10, 10, 240, 85, std::string());
  frame.border = kBorderSunken;
  ControlSpec userLabel = PlaceControl(kLoginUserLabel, kControlText, 20, 27, 90, 15, Text(kTextLoginAdminUser));
  userLabel.align = kAlignRight;
  ControlSpec passwordLabel =
      PlaceControl(kLoginPasswordLabel, kControlText, 20, 62, 90, 15, Text(kTextLoginAdminPassword));
  passwordLabel.align = kAlignRight;
  ControlSpec password = PlaceControl(kLoginPassword, kControlEdit, 115, 60, 120, 20, std::string());
  password.password = true;
  ControlSpec button = PlaceControl(kLoginButton, kControlButton, 90, 104, 80, 22, Text(kTextButtonLogin));
  button.font = OsCreateFont("System", 10, 700);
  return OsAddControl(window, frame) && OsAddControl(window, userLabel) &&
         OsAddControl(window, PlaceControl(kLoginUser, kControlEdit, 115, 25, 120, 20, std::string())) &&
         OsAddControl(window, passwordLabel) && OsAddControl(window, password) && OsAddControl(window, button);
}

}  // namespace

OsLogon ShowLoginDialog() {
  // Nobody is there to type a password.
  if (IsQuietRun()) {
    AuditQuietAnswer(" " + Text(kTextLoginAdminWindow), "login", "closed");
    return 0;
  }
  WindowSpec shape;
  shape.title = " " + Text(kTextLoginAdminWindow);
  shape.width = 260;
  shape.height = 135;
  shape.systemMenu = true;
  OsWindow window = OsOpenWindow(shape);
  if (window == 0) return 0;
  if (!AddLoginControls(window)) {
    OsCloseWindow(window);
    return 0;
  }
  OsSetDefaultButton(window, kLoginButton);
  OsShowWindow(window);

  OsLogon logon = 0;
  OsEvent event;
  while (logon == 0 && OsWaitEvent(&event)) {
    if (event.window != window) continue;
    if (event.kind == kEventClose) break;
    if (event.control != kLoginButton || event.detail != kDetailClicked) continue;
    logon = OsLogonUser(OsGetText(window, kLoginUser), ".", OsGetText(window, kLoginPassword));
    if (logon != 0) break;
    ShowMessageBox(Text(kTextRq7Titel), Text(kTextRq7Msg), kMessageError);
    OsSetText(window, kLoginUser, std::string());
    OsSetText(window, kLoginPassword, std::string());
    // The next try starts where the first did.
    OsSetFocus(window, kLoginUser);
  }
  OsCloseWindow(window);
  return logon;
}
