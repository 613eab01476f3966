// The real Windows system under the tests: the temporary folder follows the
// TMP variable of the process; rights, the time zone and doubles are not the
// tests' to set.
#include <windows.h>

#include <cctype>
#include <cstring>

#include "test_system.h"

namespace {

struct SavedTemp {
  bool saved = false;
  std::string value;
};

SavedTemp& Saved() {
  static SavedTemp saved;
  return saved;
}

}  // namespace

// Only the temporary folder is the tests' to put back.
void ResetTestSystem() {
  if (Saved().saved) SetTestTempPath("");
}

void SetTestTempPath(const std::string& path) {
  SavedTemp& saved = Saved();
  if (!saved.saved) {
    saved.value = OsGetEnvironment("TMP");
    saved.saved = true;
  }
  OsSetEnvironment("TMP", path.empty() ? saved.value : path);
  if (path.empty()) saved.saved = false;
}

bool SetTestAdminRights(bool admin) { return false; }

std::string TestChildProgram() { return FolderPart(OsGetModuleFileName()) + "child.exe"; }

bool PermissionBitsKept() { return false; }

bool FileCreationTimesKept() {
  static int kept = -1;
  if (kept < 0) {
    std::string path = GetTemporaryFolder() + "zd-creation-probe.tmp";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    FILETIME set = {0x12345600u, 0x01D00000u}, got = {0, 0};
    kept = file != INVALID_HANDLE_VALUE && SetFileTime(file, &set, nullptr, nullptr) &&
           GetFileTime(file, &got, nullptr, nullptr) && got.dwLowDateTime == set.dwLowDateTime &&
           got.dwHighDateTime == set.dwHighDateTime;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return kept == 1;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  // "UTC", or letters and a POSIX offset in hours ("XYZ-2" is two hours
  // east of UTC); Windows counts the bias the same way, in minutes.
  const char* p = zone;
  while (isalpha(static_cast<unsigned char>(*p))) ++p;
  int sign = *p == '-' ? -1 : 1;
  if (*p == '-' || *p == '+') ++p;
  int hours = 0;
  bool digits = false;
  for (; isdigit(static_cast<unsigned char>(*p)); ++p, digits = true) hours = hours * 10 + (*p - '0');
  if (*p != '\0' || p == zone || (!digits && strcmp(zone, "UTC") != 0)) return;
  TIME_ZONE_INFORMATION info;
  if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) return;
  bool fixed = info.StandardBias == 0 && (info.DaylightDate.wMonth == 0 || info.DaylightBias == 0);
  inForce_ = fixed && info.Bias == sign * hours * 60;
}

ScopedTimeZone::~ScopedTimeZone() {}
