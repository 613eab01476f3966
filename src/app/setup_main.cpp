// The setup run. Start-up runs in this order:
//   1 runtime   2 command line   3 work folder name, SetupExeDir
//   4 built-in header icon   5 work folder   6 outer package -> work folder
//   7 first keys of setup.ini   8 language   9 program-running check
//   10 before-hook   11 quiet install, or 12 wizard   13 final stage
// and every path ends in the exit path. After step 8, a run whose
// installation folder needs administrator rights may hand the whole run to
// an elevated one (app/elevation.h) and wait for it. Its exit code is 0, or
// with "/E" the code of how the run ended (app/exit_code.h).
#include "app/setup_main.h"

#include "app/elevation.h"
#include "app/exit_code.h"
#include "app/finish.h"
#include "app/hooks.h"
#include "app/install.h"
#include "app/leftovers.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "app/state_dump.h"
#include "app/wizard_flow.h"
#include "platform/elevation.h"
#include "platform/script.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/rights.h"
#include "ui/dialogs.h"
#include "ui/unpack_window.h"
#include "ui/wizard.h"

namespace {

// An elevated run takes what the starting process handed over: its account
// and per-user folders, its language, at Install its choices.
void TakeHandover(SetupState* s) {
  const std::string& path = s->options.handoverPath;
  if (path.empty()) return;
  // A run started with a handover never asks again, taken or not.
  s->elevation.prompted = true;
  Handover handover;
  if (!ReadHandover(path, &handover)) {
    AuditLine("elevate  handover refused  " + path);
    return;
  }
  s->elevation.elevatedRun = true;
  s->elevation.handover = handover;
  ApplyHandover(handover);
  AuditLine("elevate  elevated run  " + std::string(handover.atInstall ? "at Install" : "at start-up"));
}

// Start-up's elevation: when the folder that the settings load resolves
// needs rights that the prompt can give, an elevated run does the whole
// run, and this one only waits for it.
bool HandedOverAtStartup(SetupState* s) {
  SetupConfig config;
  LoadSettings(s->paths.iniPath, s->options, s->product, &config);
  const bool needs = InstallNeedsAdminRights(config.elevate, config.installDir, s->elevation);
  if (!ShouldPromptForRights(needs, &s->elevation)) return false;
  const Handover handover = CurrentUserHandover(s->languageFile, s->languageNumber);
  return RunElevated(s->paths.workFolder, s->paths.exePath, OsGetCommandLine(), handover, nullptr,
                     &s->elevation) == kElevationRan;
}

}  // namespace

int SetupMain() {
  SetupState& s = Setup();
  RunOutcome outcome;
  InitRuntime(s.product);
  // The script control lives from here to the exit path; without it the
  // install runs no script.
  OsCreateScriptControl();
  ReadRunOptions(&s.options);
  // An elevated run writes on at the end of the starting process's log.
  if (s.options.handoverPath.empty()) {
    OpenAuditLog(s.options.auditLogPath);
  } else {
    AppendAuditLog(s.options.auditLogPath);
  }
  AuditLine("start  command line  " + OsGetCommandLine());
  for (const std::string& argument : s.options.ignored) AuditLine("start  ignored argument  " + argument);
  // "/?" shows the switches and installs nothing.
  if (s.options.help) {
    ShowMessageBox("Setup", kCommandLineHelp, kMessageInformation);
    OsReleaseScriptControl();
    AuditLine("end  exit code 0");
    CloseAuditLog();
    return kExitInstalled;
  }
  // From here on a quiet run answers every question itself.
  SetQuietRun(s.options.quiet);
  TakeHandover(&s);
  const bool elevatedRun = s.elevation.elevatedRun;
  // Where the prompt can give the rights, the login cannot: a logon there
  // gives an administrator's filtered token, which the process cannot act as.
  if (RunElevation(s.elevation) == kElevationAvailable) SetLoginOffer(nullptr, nullptr);
  PrepareWorkFolderName(&s.paths, elevatedRun);
  // Step 4, the built-in header icon, is loaded into the wizard window when
  // the wizard prepares its pages.
  // Without a work folder of its own, or with files in it that changed
  // after their unpacking, the run installs nothing.
  const bool haveWorkFolder = CreateWorkFolder(s.paths.workFolder);
  RemoveEarlierWorkFolders(s.paths.workFolder);
  if (haveWorkFolder && !UnpackSetupFiles(s.paths, !s.options.quiet)) outcome.startFailed = true;
  const bool workReady = haveWorkFolder && HoldWorkFiles(s.paths, !s.options.quiet);
  CloseUnpackProgress();
  if (!workReady) outcome.startFailed = true;
  // Without the outer package's setup.ini there is nothing to install: no
  // defaults stand in for it.
  if (workReady && !outcome.startFailed && !IsHeldWorkFile(s.paths.iniPath)) {
    AuditLine("start  failed  no setup.ini in the package");
    ShowCopyError();
    outcome.startFailed = true;
  }
  if (workReady && !outcome.startFailed) {
    s.languageFile = ReadConfigurationAndLanguage(s.paths, &s.product, &s.languageNumber,
                                                  s.elevation.handover.languageFile);
    if (elevatedRun && !s.languageFile.empty() && s.languageFile == s.elevation.handover.languageFile) {
      s.languageNumber = s.elevation.handover.languageNumber;
    }
  }
  // A run elevated at Install was through the running check and the
  // before-hook in the starting process already.
  const bool atInstall = elevatedRun && s.elevation.handover.atInstall;
  // A start that failed has told so in the copy-error box and installs
  // nothing, with or without the wizard.
  if (!workReady || outcome.startFailed) {
    if (haveWorkFolder) DeleteWorkFolder(s.paths.workFolder);
  } else if (HandedOverAtStartup(&s)) {
    DeleteWorkFolder(s.paths.workFolder);
  } else if (!atInstall && !WarnIfProgramRunning(s.product, s.paths.workFolder, &s.flags.programRunning)) {
    outcome.runningCancelled = true;
  } else if (!atInstall && RunBeforeHook(s.paths.workFolder, s.options.hookMode) == kHookCancelsRun) {
    outcome.hookStopped = true;
  } else if (s.options.quiet) {
    RunQuietInstall();
  } else {
    const ProductInfo& product = s.product;
    OsWindow wizard = BuildWizardWindow(product.version.empty() ? product.title
                                                                : product.title + " " + product.version);
    if (wizard != 0) RunWizard(wizard, atInstall ? &s.elevation.handover.choices : nullptr);
    // The wizard ends without its install on Cancel and on a close before
    // the install page's Install; a wizard that never opened installs nothing.
    if (wizard == 0) outcome.startFailed = true;
    if (s.elevation.handedOver) {
      // The elevated run did the install and its final stage.
      DeleteWorkFolder(s.paths.workFolder);
    } else {
      if (s.flags.cancelled || !s.installed.ran) outcome.wizardCancelled = true;
      RunFinalStage(s.options, s.paths, s.product, s.installed, s.flags, &s.login);
    }
  }
  outcome.installDirFailed = s.installed.installDirFailed;
  outcome.stepFailed = s.installed.stepFailed;
  outcome.filesFailed = s.installed.filesFailed;
  outcome.lackedRights = s.elevation.lacksRights && s.installed.ran;
  outcome.handedOver = s.elevation.handedOver;
  outcome.elevatedExitCode = s.elevation.elevatedExitCode;
  if (outcome.lackedRights && (outcome.installDirFailed || outcome.filesFailed)) {
    AuditLine("install  nothing installed  the installation folder needs administrator rights");
  }
  const int exitCode = RunExitCode(outcome, s.options.honestExitCode);
  // Exit path: what the run resolved goes to the diagnostic dump (test builds).
  DumpRunState(s);
  OsReleaseScriptControl();
  AuditLine("end  exit code " + std::to_string(exitCode));
  CloseAuditLog();
  return exitCode;
}
