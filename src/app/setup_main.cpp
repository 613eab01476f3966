// The setup run. Start-up runs in this order:
//   1 runtime   2 command line   3 work folder name, SetupExeDir
//   4 built-in header icon   5 work folder   6 outer package -> work folder
//   7 first keys of setup.ini   8 language   9 program-running check
//   10 before-hook   11 quiet install, or 12 wizard   13 final stage
// and every path ends in the exit path. Its exit code is 0, or with "/E"
// the code of how the run ended (app/exit_code.h).
#include "app/setup_main.h"

#include "app/exit_code.h"
#include "app/finish.h"
#include "app/hooks.h"
#include "app/install.h"
#include "app/leftovers.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "app/state_dump.h"
#include "app/wizard_flow.h"
#include "platform/script.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "ui/wizard.h"

int SetupMain() {
  SetupState& s = Setup();
  RunOutcome outcome;
  InitRuntime(s.product);
  // The script control lives from here to the exit path; without it the
  // install runs no script.
  OsCreateScriptControl();
  ReadRunOptions(&s.options);
  OpenAuditLog(s.options.auditLogPath);
  AuditLine("start  command line  " + OsGetCommandLine());
  PrepareWorkFolderName(&s.paths);
  // Step 4, the built-in header icon, is loaded into the wizard window when
  // the wizard prepares its pages.
  if (!CreateWorkFolder(s.paths.workFolder)) outcome.startFailed = true;
  RemoveEarlierWorkFolders(s.paths.workFolder);
  if (!UnpackSetupFiles(s.paths)) outcome.startFailed = true;
  ReadConfigurationAndLanguage(s.paths, &s.product, &s.languageNumber);
  if (!WarnIfProgramRunning(s.product, s.paths.workFolder, &s.flags.programRunning)) {
    outcome.runningCancelled = true;
  } else if (RunBeforeHook(s.paths.workFolder, s.options.hookMode) == kHookCancelsRun) {
    outcome.hookStopped = true;
  } else if (s.options.quiet) {
    RunQuietInstall();
  } else {
    const ProductInfo& product = s.product;
    OsWindow wizard = BuildWizardWindow(product.version.empty() ? product.title
                                                                : product.title + " " + product.version);
    if (wizard != 0) RunWizard(wizard);
    // The wizard ends without its install on Cancel and on a close before
    // the install page's Install; a wizard that never opened installs nothing.
    if (wizard == 0) outcome.startFailed = true;
    if (s.flags.cancelled || !s.installed.ran) outcome.wizardCancelled = true;
    RunFinalStage(s.options, s.paths, s.product, s.installed, s.flags, &s.login);
  }
  outcome.installDirFailed = s.installed.installDirFailed;
  outcome.stepFailed = s.installed.stepFailed;
  const int exitCode = RunExitCode(outcome, s.options.honestExitCode);
  // Exit path: what the run resolved goes to the diagnostic dump (test builds).
  DumpRunState(s);
  OsReleaseScriptControl();
  AuditLine("end  exit code " + std::to_string(exitCode));
  CloseAuditLog();
  return exitCode;
}
