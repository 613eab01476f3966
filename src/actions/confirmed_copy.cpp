#include "actions/confirmed_copy.h"

#include "runtime/filesys.h"
#include "runtime/rights.h"
#include "ui/dialogs.h"
#include "ui/version_dialog.h"

bool CopyFileWithLogin(const std::string& source, const std::string& target) {
  if (CopyFileReplace(source, target)) return true;
  // With the rights already there a login would change nothing, and the
  // failure is not one to tell.
  if (!OfferLoginAfterFailure()) return false;
  if (CopyFileReplace(source, target)) return true;
  ShowCopyError();
  return false;
}

bool CopyFileConfirmed(OsWindow owner, const std::string& source, const std::string& target) {
  // The dialog shows even when both files carry the same version: no
  // version is compared, the user decides.
  if (FileExists(target)) return ShowVersionDialog(owner, source, target, CopyFileWithLogin);
  CopyFileWithLogin(source, target);
  return true;
}
