// Administrator check and login. Call sites follow one pattern: try; when it
// fails and HasAdminRights() says no, OfferLogin() and try exactly once more.
#pragma once

bool HasAdminRights();
// Shows the login dialog; returns when the user logged on or gave up.
void OfferLogin();
