#include <stdlib.h>
#include <time.h>

#include "platform/elevation_double.h"
#include "platform/folder_browser_double.h"
#include "platform/logon_double.h"
#include "platform/message_box_double.h"
#include "platform/process_list_double.h"
#include "platform/registry_double.h"
#include "platform/script_double.h"
#include "platform/shell_link_double.h"
#include "platform/system_double.h"
#include "platform/version_double.h"
#include "platform/window_double.h"
#include "test_system.h"

void ResetTestSystem() {
  ResetSystemDouble();
  ResetRegistryDouble();
  ResetMessageBoxDouble();
  ResetWindowDouble();
  ResetFolderBrowserDouble();
  ResetShellLinkDouble();
  ResetScriptDouble();
  ResetProcessListDouble();
  ResetLogonDouble();
  ResetVersionDouble();
  ResetElevationDouble();
  SystemDoubleSetTempPath("");
}

void SetTestTempPath(const std::string& path) { SystemDoubleSetTempPath(path); }

bool SetTestAdminRights(bool admin) {
  SystemDoubleSetAdminRights(admin);
  return true;
}

bool PermissionBitsKept() { return true; }

bool FileCreationTimesKept() { return true; }

std::string TestChildProgram() { return ZANDOR_CHILD_PROGRAM; }

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  const char* old = getenv("TZ");
  hadOld_ = old != nullptr;
  if (old) old_ = old;
  setenv("TZ", zone, 1);
  tzset();
  inForce_ = true;
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadOld_) {
    setenv("TZ", old_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
