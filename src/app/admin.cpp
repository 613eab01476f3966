#include "app/admin.h"

#include "platform/logon.h"
#include "platform/system.h"
#include "ui/login_dialog.h"

bool HasAdminRights() { return OsHasAdminRights(); }

void OfferLogin() {
  OsLogon logon = ShowLoginDialog();
  if (logon == 0) return;
  LoginState& login = Setup().login;
  // The thread acts as the new account already; the old token is only closed.
  if (login.logonToken != 0 && login.logonToken != logon) OsCloseLogon(login.logonToken);
  login.logonToken = logon;
  login.loggedInAsAdmin = 1;
}

void EndAdminLogin(LoginState* login) {
  if (login->logonToken == 0) return;
  OsEndLogon(login->logonToken);
  login->logonToken = 0;
}
