#include "app/finish.h"

#include "app/admin.h"
#include "app/hooks.h"
#include "platform/file.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/program_runner.h"

void DeleteWorkFolder(const std::string& workFolder) {
  if (workFolder.empty()) return;
  ReleaseWorkFiles();
  DeleteFolder(workFolder, "*.*", 0);
}

void StartInstalledProgram(const std::string& installDir, const std::string& progExe) {
  std::string program = installDir + progExe;
  // Only the installed file, by its full path: a bare name would be looked
  // for in the current folder and started from the installer's own.
  if (progExe.empty() || installDir.empty() || !OsIsFullPath(program) || !FileExists(program)) return;
  RunProgram(program, "", installDir, 0);
}

void RunFinalStage(const RunOptions& options, const RunPaths& paths, const ProductInfo& product,
                   const InstallResult& installed, const RunFlags& flags, LoginState* login) {
  // The wizard window is closed by now; what follows runs as the program's
  // own account again.
  if (login) EndAdminLogin(login);
  if (!flags.cancelled) RunAfterHook(paths.workFolder, options.hookMode);
  DeleteWorkFolder(paths.workFolder);
  // Without an install there is nothing to restart for or to start.
  if (!installed.ran) return;
  if (flags.reboot) {
    OsPromptReboot();
    return;
  }
  if (flags.start) StartInstalledProgram(installed.installDir, product.progExe);
}
