#include "app/install.h"

#include "actions/folders.h"
#include "app/admin.h"
#include "app/config.h"
#include "app/finish.h"
#include "app/setup_state.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/text.h"
#include "ui/language.h"
#include "ui/wizard.h"

bool IsExeProgram(const std::string& progExe) {
  size_t cut = progExe.find_last_of(".\\/");
  return cut != std::string::npos && progExe[cut] == '.' && EqualNoCase(progExe.substr(cut + 1), "exe");
}

void PublishInstallDir(const std::string& installDir) {
  Setup().installDir = AddBackslash(installDir);
  OsSetEnvironment("InstallDir", Setup().installDir);
}

void CopyProgramFiles(bool withProgress) {
  const std::string& target = Setup().installDir;
  if (!FolderExists(target)) {
    if (!EnsureFolderExists(target) && !HasAdminRights()) {
      OfferLogin();
      EnsureFolderExists(target);
    }
  }
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

void RunWizardInstall(OsWindow window) {
  OsShowControl(window, kWizardInstallMessage, false);
  OsShowControl(window, kWizardStatusLine, true);
  OsShowControl(window, kWizardInstallLog, true);
  OsShowControl(window, kWizardBack, false);
  OsShowControl(window, kWizardInstall, false);
  OsSetState(window, kWizardStartProgram, 0);
  OsSetText(window, kWizardStatusLine, Text(kTextPage05Install) + " .....");
  OsDrainEvents();
  PublishInstallDir(OsGetText(window, kWizardInstallDirField));
  OsShowControl(window, kWizardProgress, true);
  CopyProgramFiles(true);
  OsShowControl(window, kWizardProgress, false);
  OsSetText(window, kWizardStatusLine, Text(kTextPage05Ready));
  if (IsExeProgram(Setup().progExe)) {
    OsSetState(window, kWizardStartProgram, Setup().startFlag ? 1 : 0);
    OsShowControl(window, kWizardStartProgram, true);
  }
  OsShowControl(window, kWizardCancel, false);
  OsShowControl(window, kWizardFinish, true);
}
