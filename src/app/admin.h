// Administrator check and login. Start-up installs both as the login offer of
// runtime/rights.h, through which every call site retries (TryWithLogin).
#pragma once

bool HasAdminRights();
// Shows the login dialog; returns when the user logged on or gave up.
void OfferLogin();
