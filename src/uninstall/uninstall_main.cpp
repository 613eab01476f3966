// Uninstall.exe is the program that the platform's entry point starts in
// this file, which only the Uninstall executable links (the uninstall layer
// library leaves it out; the installer has its own ProgramMain).
#include "platform/entry.h"
#include "platform/system.h"
#include "uninstall/uninstall_run.h"

int ProgramMain() {
  OsRestrictDllSearch();
  return RunUninstaller(OsGetCommandLine(), OsGetModuleFileName(), true);
}
