// What the tests set up of the system they run on: the native build answers
// from the platform doubles (test_system_posix.cpp), the Windows build from
// the real system (test_system_win.cpp).
#pragma once
#include <string>

#include "platform/system.h"
#include "runtime/filesys.h"

// Puts the system, registry, dialog and link doubles and the temporary folder back
// to their start; of the real system only the temporary folder.
void ResetTestSystem();
// Points the system's temporary folder at a path; empty gives back the
// system's own.
void SetTestTempPath(const std::string& path);
// Makes the process count as holding administrator rights or not; false
// where the real system decides, which the test then lives with.
bool SetTestAdminRights(bool admin);
// Whether the file system keeps the creation times set on its files. The
// native build keeps them itself; Wine on a Linux file system cannot.
bool FileCreationTimesKept();
// Whether files carry POSIX permission bits (group and others included) and
// symbolic links can be made.
bool PermissionBitsKept();

// Sets the local time zone (a POSIX TZ text) for the life of the record and
// puts the old one back. A Windows process cannot change its zone: there the
// record only tells whether the system already runs on a zone of the form
// "UTC" or "ABC-2" (a fixed offset; Wine takes it from TZ when it starts).
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
  bool InForce() const { return inForce_; }

 private:
  bool inForce_ = false;
  bool hadOld_ = false;
  std::string old_;
};

// The child program of the process tests (tests/programs/child.cpp).
std::string TestChildProgram();

// A new empty folder under the temporary folder, named by the prefix and a
// fresh GUID: the system's path form, without a trailing separator.
inline std::string MakeTestFolder(const std::string& prefix) {
  std::string guid = OsCreateGuidText();
  std::string folder = GetTemporaryFolder() + prefix + guid.substr(1, 8) + guid.substr(25, 4);
  return CreateFolder(folder) ? folder : std::string();
}
