#include "app/install.h"

#include "actions/folders.h"
#include "app/config.h"
#include "app/finish.h"
#include "app/setup_state.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/rights.h"

void PublishInstallDir(const std::string& installDir) {
  Setup().installDir = AddBackslash(installDir);
  OsSetEnvironment("InstallDir", Setup().installDir);
}

void CopyProgramFiles(bool withProgress) {
  const std::string& target = Setup().installDir;
  if (!FolderExists(target)) TryWithLogin([&] { return EnsureFolderExists(target); });
  // The wizard's progress step joins here with the wizard window.
  OpenPackage(Setup().workFolder + "setup.pck", nullptr);
  ExtractPackage(target, Setup().noCopyExt);
  ClosePackage();
}

void RunQuietInstall() {
  LoadSettings();
  PublishInstallDir(Setup().installDirConfigured);
  Setup().startFlag = false;
  CopyProgramFiles(false);
  // Uninstall entry, shortcuts, task list, uninstall record and script join
  // here in that order as those actions land.
  RunAfterHook();
  DeleteWorkFolder();
  if (Setup().reboot) OsPromptReboot();
}
