#include "app/install.h"

#include <algorithm>
#include <cstdint>

#include "actions/folders.h"
#include "app/config.h"
#include "app/finish.h"
#include "app/hooks.h"
#include "app/setup_state.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/rights.h"
#include "runtime/text.h"
#include "ui/language.h"
#include "ui/wizard.h"

namespace {

// The package reader calls back without any context, so the copy step
// leaves its progress bar here for the length of the extraction.
struct CopyProgress {
  const InstallProgress* sink = nullptr;
  uint32_t bytes = 0;
};
CopyProgress g_copy;

void AddLogLine(const InstallContext* context, const std::string& line) {
  if (context->log) context->log->add(line);
}

void Drain(const InstallContext* context) {
  if (context->drain) context->drain();
}

// Each file adds the size the package directory records for it, so large
// files move the bar in proportion.
void CountCopiedFile() {
  g_copy.bytes += static_cast<uint32_t>(CurrentPackageEntry().size);
  g_copy.sink->setPosition(g_copy.bytes);
}

// The installation folder with its "\", published to every child process
// before the first file is copied.
void PublishInstallDir(InstallContext* context) {
  context->result->installDir = AddBackslash(context->choices->installDir);
  OsSetEnvironment("InstallDir", context->result->installDir);
}

// setup.pck from the work folder into the installation folder, leaving
// existing files of the no-copy list alone. Failures are not reported.
void CopyProgramFiles(InstallContext* context) {
  const std::string& copying = Text(kTextInstallMsg1);
  AddLogLine(context, copying + " .....");
  Drain(context);
  const std::string& target = context->result->installDir;
  if (!FolderExists(target)) TryWithLogin([&] { return EnsureFolderExists(target); });
  g_copy = CopyProgress();
  g_copy.sink = context->progress;
  OpenPackage(context->paths->workFolder + "setup.pck", g_copy.sink ? CountCopiedFile : nullptr);
  if (g_copy.sink) g_copy.sink->setMaximum(PackageTotalSize());
  ExtractPackage(target, context->config->noCopyExt);
  ClosePackage();
  g_copy = CopyProgress();
  if (context->log) {
    std::string done = copying + "   -->   *** ";
    done += Text(kTextInstallReady);
    done += " ***";
    context->log->replaceLast(done);
    context->log->add(std::string());
  }
}

// The install's steps in their fixed order: installation folder, copy,
// uninstall entry, desktop shortcut, start-menu shortcuts, install state,
// task list, uninstall record, script. A step is one line: its log text,
// when it applies, what it does, and whether window events drain after it.
const InstallStep kInstallSteps[] = {
    {kNoLogLine, nullptr, PublishInstallDir, false},
    {kNoLogLine, nullptr, CopyProgramFiles, true},
};

}  // namespace

void RunInstall(InstallContext* context) {
  for (const InstallStep& step : kInstallSteps) {
    if (step.applies && !step.applies(*context)) continue;
    if (step.logText != kNoLogLine) AddLogLine(context, Text(step.logText));
    step.run(context);
    if (step.drainAfter) Drain(context);
  }
}

void RunQuietInstall() {
  SetupState& s = Setup();
  LoadSettings(s.paths.iniPath, s.options, s.product, &s.config);
  // The quiet install takes the configured folders and defaults as they
  // stand and never starts the program.
  s.choices.installDir = s.config.installDir;
  s.choices.startMenuFolder = s.config.startMenuFolder;
  s.choices.desktop = s.config.desktopDefault != 0;
  s.choices.startMenu = s.config.startMenu != 0;
  s.choices.startProgram = false;
  s.flags.start = false;
  InstallContext context;
  context.paths = &s.paths;
  context.product = &s.product;
  context.config = &s.config;
  context.choices = &s.choices;
  context.result = &s.installed;
  RunInstall(&context);
  RunAfterHook(s.paths.workFolder, s.options.hookMode);
  DeleteWorkFolder(s.paths.workFolder);
  if (s.config.reboot) OsPromptReboot();
}

namespace {

// The wizard window that the install page's sinks write to; the sinks are
// plain functions, so it is kept here while the wizard install runs.
OsWindow g_wizard = 0;

void SetWizardProgressMax(uint32_t bytes) {
  OsSetProgressMax(g_wizard, kWizardProgress, static_cast<int>(std::min<uint32_t>(bytes, INT32_MAX)));
}
void SetWizardProgress(uint32_t bytes) {
  OsSetProgress(g_wizard, kWizardProgress, static_cast<int>(std::min<uint32_t>(bytes, INT32_MAX)));
}
void AddWizardLogLine(const std::string& line) { OsAddLine(g_wizard, kWizardInstallLog, line); }
void ReplaceLastWizardLogLine(const std::string& line) {
  int lines = OsCountLines(g_wizard, kWizardInstallLog);
  if (lines > 0) OsSetLine(g_wizard, kWizardInstallLog, lines - 1, line);
}

}  // namespace

bool IsExeProgram(const std::string& progExe) {
  size_t cut = progExe.find_last_of(".\\/");
  return cut != std::string::npos && progExe[cut] == '.' && EqualNoCase(progExe.substr(cut + 1), "exe");
}

void RunWizardInstall(OsWindow window) {
  SetupState& s = Setup();
  OsShowControl(window, kWizardInstallMessage, false);
  OsShowControl(window, kWizardStatusLine, true);
  OsShowControl(window, kWizardInstallLog, true);
  OsShowControl(window, kWizardBack, false);
  OsShowControl(window, kWizardInstall, false);
  OsSetState(window, kWizardStartProgram, 0);
  OsSetText(window, kWizardStatusLine, Text(kTextPage05Install) + " .....");
  OsDrainEvents();

  // Whatever the fields hold now is what the install uses.
  s.choices.installDir = OsGetText(window, kWizardInstallDirField);
  s.choices.startMenuFolder = OsGetText(window, kWizardStartMenuField);
  s.choices.desktop = OsGetState(window, kWizardDesktop) == 1;
  s.choices.startMenu = s.config.startMenu != 0 && OsGetState(window, kWizardNoStartMenu) != 1;

  g_wizard = window;
  const InstallProgress progress = {SetWizardProgressMax, SetWizardProgress};
  const InstallLog log = {AddWizardLogLine, ReplaceLastWizardLogLine};
  InstallContext context;
  context.paths = &s.paths;
  context.product = &s.product;
  context.config = &s.config;
  context.choices = &s.choices;
  context.result = &s.installed;
  context.progress = &progress;
  context.log = &log;
  context.drain = OsDrainEvents;
  OsShowControl(window, kWizardProgress, true);
  RunInstall(&context);
  g_wizard = 0;

  OsShowControl(window, kWizardProgress, false);
  OsSetText(window, kWizardStatusLine, Text(kTextPage05Ready));
  if (IsExeProgram(s.product.progExe)) {
    OsSetState(window, kWizardStartProgram, s.flags.start ? 1 : 0);
    OsShowControl(window, kWizardStartProgram, true);
  }
  OsShowControl(window, kWizardCancel, false);
  OsShowControl(window, kWizardFinish, true);
}
