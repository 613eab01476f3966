// The administrator login dialog: user name and password, logged on at the
// local computer when the user presses Login.
#pragma once
#include "platform/logon.h"

// The dialog's controls.
enum LoginDialogControl {
  kLoginFrame = 1,  // sunken rectangle around labels and fields
  kLoginUserLabel,
  kLoginUser,
  kLoginPasswordLabel,
  kLoginPassword,  // masked
  kLoginButton,
};

// Builds the dialog (" " + LoginAdmin/Window, client 260 x 135, centred on
// the screen, with a close box) and waits for its events. Login logs on with
// the two fields and the domain "."; a failed logon shows the login error box
// (Requester/RQ7_Titel, RQ7_Msg, error icon), empties both fields and waits
// again. Answers the token of the successful logon, which the thread now
// acts as; 0 when the dialog was closed or could not be built. A quiet run
// shows nothing and answers 0, as if the dialog was closed.
OsLogon ShowLoginDialog();
