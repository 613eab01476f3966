#include "app/admin.h"

#include "platform/system.h"

bool HasAdminRights() { return OsHasAdminRights(); }

void OfferLogin() {
  // The login dialog arrives with the dialog work; until then a caller's
  // single retry runs with the rights the process already has.
}
