// Administrator check and login. Start-up installs both as the login offer of
// runtime/rights.h, through which every call site retries (TryWithLogin).
#pragma once
#include "app/setup_state.h"

bool HasAdminRights();
// Shows the login dialog; returns when the user logged on or gave up. A
// logon is kept in the run state (Setup().login): its token, which the
// process now acts as, replacing an earlier one, and the flag that the
// uninstall record carries as LoginAdmin.
void OfferLogin();
// Ends a logon that the run state holds: back to the program's own
// identity, the token closed. Nothing to do without one; the flag stays.
void EndAdminLogin(LoginState* login);
