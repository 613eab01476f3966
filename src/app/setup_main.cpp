// The setup run. Start-up runs in this order:
//   1 runtime   2 command line   3 work folder name, SetupExeDir
//   4 built-in header icon   5 work folder   6 outer package -> work folder
//   7 first keys of setup.ini   8 language   9 program-running check
//   10 before-hook   11 quiet install, or 12 wizard   13 final stage
// and every path ends in the exit path with exit code 0.
#include "app/setup_main.h"

#include "app/finish.h"
#include "app/hooks.h"
#include "app/install.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "app/state_dump.h"
#include "app/wizard_flow.h"
#include "platform/script.h"
#include "ui/wizard.h"

int SetupMain() {
  SetupState& s = Setup();
  InitRuntime(s.product);
  // The script control lives from here to the exit path; without it the
  // install runs no script.
  OsCreateScriptControl();
  ReadRunOptions(&s.options);
  PrepareWorkFolderName(&s.paths);
  // Step 4, the built-in header icon, is loaded into the wizard window when
  // the wizard prepares its pages.
  CreateWorkFolder(s.paths.workFolder);
  UnpackSetupFiles(s.paths);
  ReadConfigurationAndLanguage(s.paths, &s.product, &s.languageNumber);
  if (WarnIfProgramRunning(s.product, s.paths.workFolder, &s.flags.programRunning) &&
      RunBeforeHook(s.paths.workFolder, s.options.hookMode) != kHookCancelsRun) {
    if (s.options.quiet) {
      RunQuietInstall();
    } else {
      const ProductInfo& product = s.product;
      OsWindow wizard = BuildWizardWindow(product.version.empty() ? product.title
                                                                  : product.title + " " + product.version);
      if (wizard != 0) RunWizard(wizard);
      RunFinalStage(s.options, s.paths, s.product, s.installed, s.flags, &s.login);
    }
  }
  // Exit path: what the run resolved goes to the diagnostic dump (test builds).
  DumpRunState(s);
  OsReleaseScriptControl();
  return 0;
}
