#include "app/leftovers.h"

#include "platform/file.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"

namespace {

const char kInUseSuffix[] = ".zdrun";

// "{" 8-4-4-4-12 hex digits "}", as the work folder's name is made.
bool IsGuidName(const std::string& name) {
  if (name.size() != 38 || name.front() != '{' || name.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const char c = name[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

// Held until the process ends; the system then removes the file.
OsFile g_inUse = nullptr;

}  // namespace

int RemoveEarlierWorkFolders(const std::string& workFolder) {
  if (workFolder.size() < 40 || workFolder.back() != '\\') return 0;
  const std::string own = workFolder.substr(0, workFolder.size() - 1);
  const std::string temp = FolderPart(own);
  if (!IsGuidName(FileNamePart(own))) return 0;
  if (!g_inUse) g_inUse = OsOpenFile(own + kInUseSuffix, kOsOpenCreateNewHeld);
  int removed = 0;
  const int listing = ListFolder(temp, "{*}");
  while (listing && NextEntry(listing)) {
    const std::string name = EntryName(listing);
    const std::string folder = temp + name;
    if (EntryType(listing) != kEntryFolder || !IsGuidName(name) || folder == own) continue;
    if (!FileExists(folder + "\\setup.ini") && !FileExists(folder + "\\setup.pck")) continue;
    // A run that is alive holds its file: the delete is refused.
    const std::string inUse = folder + kInUseSuffix;
    if (FileSize(inUse) != -1 && !OsDeleteFile(inUse)) continue;
    const bool gone = DeleteFolder(folder, "", kDeleteSubfolders | kDeleteForce);
    AuditStep("start", "earlier work folder removed", gone, folder + "\\");
    removed += gone ? 1 : 0;
  }
  FinishListing(listing);
  return removed;
}
