#include "app/admin.h"

#include "platform/system.h"

bool HasAdminRights() { return OsHasAdminRights(); }

void OfferLogin() {
  // No login dialog yet: the caller's single retry runs with the rights the
  // process already has.
}
