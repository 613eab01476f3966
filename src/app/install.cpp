#include "app/install.h"

#include <algorithm>
#include <cstdint>

#include "actions/folders.h"
#include "actions/links.h"
#include "actions/registry.h"
#include "actions/script.h"
#include "actions/tasks.h"
#include "app/config.h"
#include "app/finish.h"
#include "app/hooks.h"
#include "app/setup_state.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/file.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/rights.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "ui/wizard.h"
#include "uninstall/record.h"

namespace {

// The package reader calls back without any context, so the copy step
// leaves its progress bar here for the length of the extraction. Both
// counts are 64-bit: entries are below 2 GiB each, but a package of
// compressed blocks may expand to more than 4 GiB in all, and a 32-bit
// count would wrap and send the bar back to its start.
struct CopyProgress {
  const InstallProgress* sink = nullptr;
  uint64_t total = 0;  // the sizes of the file entries that the callback counts
  uint64_t bytes = 0;
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
  const int32_t size = CurrentPackageEntry().size;
  if (size > 0) g_copy.bytes += static_cast<uint64_t>(size);
  g_copy.sink->setPosition(ProgressBarUnits(g_copy.bytes, g_copy.total));
}

// What the callback will add up: the sizes of the files with data. Folder
// entries carry size fields that nothing reads; counting them in the
// maximum would leave the bar short of its end after a whole copy.
uint64_t CountedPackageBytes() {
  uint64_t total = 0;
  for (const PackageEntry& entry : Package().entries) {
    if (entry.kind == kEntryKindFile && entry.size > 0) total += static_cast<uint64_t>(entry.size);
  }
  return total;
}

// The installation folder with its "\", published to every child process
// before the first file is copied.
void PublishInstallDir(InstallContext* context) {
  // A folder that could not be made sound (empty) is no folder: nothing of
  // the install may land at a path the system would read some other way.
  if (context->choices->installDir.empty()) {
    context->result->installDirFailed = true;
    AuditLine("install  refused  the installation folder cannot be made sound");
    return;
  }
  context->result->installDir = AddBackslash(context->choices->installDir);
  OsSetEnvironment("InstallDir", context->result->installDir);
  context->result->ran = true;
  AuditLine("install  folder  " + context->result->installDir);
}

// The folders above folder (ending in "\") that are not there yet, counted
// upwards to the first that is.
int MissingParents(const std::string& folder) {
  int count = 0;
  std::string path = folder.substr(0, folder.size() - 1);
  for (std::string parent = FolderPart(path); parent.size() > 3 && !FolderExists(parent) && count < kMaxMadeParents;
       parent = FolderPart(path)) {
    ++count;
    path = parent.substr(0, parent.size() - 1);
  }
  return count;
}

// Nothing of the program went down: the steps after the copy would claim
// files that are not there, so the install ends here. A folder this install
// made and left empty goes again, with the empty parents it made for it.
void HaltInstall(InstallContext* context, bool madeFolder, const std::string& why) {
  context->halted = true;
  context->copyFailed = true;
  context->result->stepFailed = context->result->filesFailed = true;
  std::string folder = context->result->installDir;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (madeFolder && !folder.empty() && OsRemoveDirectory(folder)) {
    for (int i = 0; i < context->result->parentsCreated; ++i) {
      folder = FolderPart(folder);
      while (!folder.empty() && folder.back() == '\\') folder.pop_back();
      if (folder.size() <= 3 || !OsRemoveDirectory(folder)) break;
    }
  }
  AuditLine("install  stopped  " + why);
}

// setup.pck from the work folder into the installation folder, leaving
// existing files of the no-copy list alone. A file kept so is no failure;
// one that should have been written and was not is, and a setup.pck that
// is there but does not open, or a folder that cannot be made, ends the
// install.
void CopyProgramFiles(InstallContext* context) {
  const std::string& copying = Text(kTextInstallMsg1);
  AddLogLine(context, copying + " .....");
  Drain(context);
  const std::string& target = context->result->installDir;
  bool madeFolder = false;
  if (!FolderExists(target)) {
    const int missingParents = MissingParents(target);
    context->result->installDirFailed = !TryWithLogin([&] { return EnsureFolderExists(target); });
    context->result->installDirCreated = madeFolder = !context->result->installDirFailed;
    context->result->parentsCreated = context->result->installDirCreated ? missingParents : 0;
    AuditStep("install", "folder made", !context->result->installDirFailed, target, "folder cannot be made");
    if (context->result->installDirFailed) {
      HaltInstall(context, false, "the installation folder cannot be made");
      return;
    }
  } else {
    // A folder that an earlier install made stays one the install made; the
    // copy below may replace its record with the package's prepared one.
    context->result->installDirCreated = RecordSaysFolderMade(target);
    context->result->parentsCreated = context->result->installDirCreated ? RecordedParentsMade(target) : 0;
  }
  g_copy = CopyProgress();
  g_copy.sink = context->progress;
  // Only the setup.pck that came in the package and is held since.
  const std::string pck = context->paths->workFolder + "setup.pck";
  const bool present = IsHeldWorkFile(pck);
  const bool opened = present && OpenPackage(pck, g_copy.sink ? CountCopiedFile : nullptr);
  g_copy.total = CountedPackageBytes();
  context->programBytes = g_copy.total;
  if (g_copy.sink) g_copy.sink->setMaximum(ProgressBarUnits(g_copy.total, g_copy.total));
  // A package without setup.pck has no program files to copy. A file of an
  // opened package that did not go down whole is told after the step. The
  // drain runs between files and between the pieces of a large one, so the
  // wizard keeps answering during a long copy.
  if (present && !opened) {
    const std::string why = PackageOpenResultText(Package().lastResult);
    ClosePackage();
    g_copy = CopyProgress();
    AuditLine("install  program files  refused  setup.pck  " + why);
    HaltInstall(context, madeFolder, "setup.pck cannot be read");
    return;
  }
  AuditLine(std::string("install  program files  ") + (opened ? "setup.pck" : "none"));
  ExtractReport report;
  if (opened) ExtractPackage(target, context->config->noCopyExt, context->drain, &report);
  context->copyFailed = report.failed;
  context->diskFull = report.diskFull;
  if (context->copyFailed) context->result->stepFailed = context->result->filesFailed = true;
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

// Log lines 1 to 3, from Info Date, Author and EMail of setup.ini; Author
// and EMail stay for the uninstall entry.
void AddHeaderLines(InstallContext* context) {
  IniOpen(context->paths->iniPath);
  IniSelectGroup("Info");
  const std::string date = IniReadString("Date");
  context->author = IniReadString("Author");
  context->email = IniReadString("EMail");
  IniClose();
  for (const std::string& line : InstallHeaderLines(context->product->title, context->product->version, date,
                                                    context->author, context->email)) {
    AddLogLine(context, line);
  }
  AddLogLine(context, std::string());
}

// The wizard tells once that a program file is not what the package holds;
// the quiet install has nobody to tell and goes on the same.
bool CopyFailedInWizard(const InstallContext& context) { return context.wizard && context.copyFailed; }
void TellCopyError(InstallContext* context) { ShowCopyError(context->diskFull); }

bool WantsUninstallEntry(const InstallContext& context) {
  return !context.config->progLink.empty() && context.config->noUninstall == 0;
}
void MakeUninstallEntry(InstallContext* context) {
  UninstallEntry entry;
  entry.guid = context->product->guid;
  entry.progLink = context->config->progLink;
  entry.title = context->product->title;
  entry.version = context->product->version;
  entry.author = context->author;
  entry.web = context->config->web;
  entry.email = context->email;
  entry.installDir = context->result->installDir;
  entry.progExe = context->product->progExe;
  entry.programBytes = context->programBytes;
  AuditLine("uninstall  entry  " + (entry.guid.empty() ? entry.progLink : entry.guid));
  WriteUninstallEntry(entry);
}

ProgramLink InstalledProgram(const InstallContext& context) {
  ProgramLink program;
  program.installDir = context.result->installDir;
  program.progExe = context.product->progExe;
  program.progLink = context.config->progLink;
  program.progParameter = context.config->progParameter;
  return program;
}

bool WantsDesktopLink(const InstallContext& context) { return context.choices->desktop; }
void MakeDesktopLink(InstallContext* context) {
  context->result->desktopLinkPath = CreateDesktopLink(InstalledProgram(*context));
}

// The wizard's field gets its "\"; the quiet install's configured name is
// used as it stands (the links add the "\" to the folder either way).
std::string StartMenuFolderName(const InstallContext& context) {
  return context.wizard ? AddBackslash(context.choices->startMenuFolder) : context.choices->startMenuFolder;
}

bool WantsStartMenuLinks(const InstallContext& context) { return context.choices->startMenu; }
void MakeStartMenuLinks(InstallContext* context) {
  const StartMenuLinks links =
      CreateStartMenuLinks(context->paths->iniPath, StartMenuFolderName(*context), InstalledProgram(*context));
  context->result->programMenuFolder = links.programMenuFolder;
  context->result->startMenuLinkFiles.clear();
  for (int kind = 0; kind < kStartMenuLinkCount; ++kind) {
    if (links.made[kind]) context->result->startMenuLinkFiles.push_back(links.linkFiles[kind]);
  }
}

// Quiet runs too: the next run, quiet or not, finds this folder again
// instead of installing a second copy.
bool WantsInstallState(const InstallContext& context) { return !context.product->guid.empty(); }
void SaveInstallState(InstallContext* context) {
  const std::string startMenu = context->choices->startMenu ? StartMenuFolderName(*context) : std::string();
  AuditLine("install  state  " + InstallStateKey(context->product->guid));
  WriteInstallState(context->product->guid, context->result->installDir, startMenu,
                    context->choices->desktop ? "1" : "0");
}

// The task lines of setup.ini, after the start-menu links have fixed the
// program menu folder; their records go into the uninstall record.
void RunUserTasks(InstallContext* context) {
  TaskListRun run;
  run.iniPath = context->paths->iniPath;
  run.installDir = context->result->installDir;
  run.workFolder = context->paths->workFolder;
  run.programMenuFolder = context->result->programMenuFolder;
  run.languageNumber = context->languageNumber;
  run.owner = context->window;
  context->result->taskRecords = RunTaskList(run);
}

bool WantsUninstallRecord(const InstallContext& context) { return context.config->noUninstall == 0; }
void SaveUninstallRecord(InstallContext* context) {
  UninstallRecord record;
  record.installDir = context->result->installDir;
  record.progExe = context->product->progExe;
  record.guid = context->product->guid;
  record.progLink = context->config->progLink;
  IniOpen(context->paths->iniPath);
  IniSelectGroup("StartMenue");
  record.startMenuExe = IniReadString("Exe");
  IniClose();
  record.programMenuFolder = context->result->programMenuFolder;
  record.desktopLinkPath = context->result->desktopLinkPath;
  record.loginAdmin = context->loggedInAsAdmin && *context->loggedInAsAdmin != 0;
  record.taskRecords = context->result->taskRecords;
  record.installDirCreated = context->result->installDirCreated;
  record.parentsCreated = context->result->parentsCreated;
  const bool written = WriteUninstallRecord(record);
  const uint32_t error = OsLastError();
  const std::string recordPath = UninstallRecordPath(record.installDir);
  if (!written) context->result->stepFailed = true;
  // Without any record the uninstaller refuses: the entry must not point at
  // it. An earlier record that stayed whole still serves it.
  if (!written && WantsUninstallEntry(*context) && !FileExists(recordPath)) {
    RemoveUninstallEntry(record.guid, context->config->progLink);
  }
  AuditLine(std::string("uninstall  record  ") + (written ? "written  " : "failed  ") + recordPath);
  // The wizard tells it as a copy that failed, unless it told one already.
  if (!written && context->wizard && !context->copyFailed) ShowCopyError(OsIsDiskFullError(error));
}

// The setup author's script from the work folder, when setup.ini names one
// that is there, with the folders this install used.
bool WantsScript(const InstallContext& context) {
  return !context.config->scriptFile.empty() && IsHeldWorkFile(context.paths->workFolder + context.config->scriptFile);
}
void RunSetupScript(InstallContext* context) {
  ScriptValues values;
  values.installDir = context->result->installDir;
  values.workFolder = context->paths->workFolder;
  values.programMenuFolder = context->result->programMenuFolder;
  values.guid = context->product->guid;
  RunScript(context->paths->workFolder + context->config->scriptFile, values);
}

// The install's steps in their fixed order: installation folder, log
// header, copy, copy error, uninstall entry, desktop shortcut, start-menu
// shortcuts, install state, task list, uninstall record, script. A step is
// one line: its log text, when it applies, what it does, and whether window
// events drain after it.
const InstallStep kInstallSteps[] = {
    {kNoLogLine, nullptr, PublishInstallDir, false},
    {kNoLogLine, nullptr, AddHeaderLines, true},
    {kNoLogLine, nullptr, CopyProgramFiles, true},
    {kNoLogLine, CopyFailedInWizard, TellCopyError, true},
    {kTextInstallMsg5, WantsUninstallEntry, MakeUninstallEntry, true},
    {kTextInstallMsg2, WantsDesktopLink, MakeDesktopLink, true},
    {kTextInstallMsg3, WantsStartMenuLinks, MakeStartMenuLinks, true},
    {kNoLogLine, WantsInstallState, SaveInstallState, false},
    {kTextInstallMsg6, nullptr, RunUserTasks, true},
    {kNoLogLine, WantsUninstallRecord, SaveUninstallRecord, false},
    {kNoLogLine, WantsScript, RunSetupScript, false},
};

}  // namespace

uint32_t ProgressBarUnits(uint64_t count, uint64_t total) {
  int shift = 0;
  while ((total >> shift) > static_cast<uint64_t>(INT32_MAX)) ++shift;
  return static_cast<uint32_t>(std::min(count, total) >> shift);
}

std::vector<std::string> InstallHeaderLines(const std::string& title, const std::string& version,
                                            const std::string& date, const std::string& author,
                                            const std::string& email) {
  std::string first = title;
  if (!version.empty()) first += "  -  Version " + version;
  if (!date.empty()) first += "   (" + date + ")";
  std::vector<std::string> lines = {first};
  // Without an author the line keeps only the e-mail part, and without
  // either there is no line 2: the sign alone would credit nobody.
  std::string second = author.empty() ? std::string() : "\xA9 " + author;
  if (!email.empty()) second += "   ( " + email + " )";
  if (!second.empty()) lines.push_back(second);
  return lines;
}

void RunInstall(InstallContext* context) {
  for (const InstallStep& step : kInstallSteps) {
    if (step.applies && !step.applies(*context)) continue;
    if (step.logText != kNoLogLine) AddLogLine(context, Text(step.logText));
    step.run(context);
    if (step.drainAfter) Drain(context);
    if (!context->result->ran || context->halted) {
      // Refused before anything began, or nothing of the program went down:
      // the wizard says so in the copy-error box.
      if (context->wizard) ShowCopyError(context->diskFull);
      return;
    }
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
  context.loggedInAsAdmin = &s.login.loggedInAsAdmin;
  context.languageNumber = s.languageNumber;
  RunInstall(&context);
  RunAfterHook(s.paths.workFolder, s.options.hookMode);
  DeleteWorkFolder(s.paths.workFolder);
  // Nobody may be at the machine: the restart is left to whoever deployed.
  if (s.config.reboot) AuditQuietAnswer("restart", "restart the computer now to finish the install", "No");
}

namespace {

// The wizard window that the install page's sinks write to; the sinks are
// plain functions, so it is kept here while the wizard install runs.
OsWindow g_wizard = 0;

// The units of ProgressBarUnits fit the bar's signed range as they come.
void SetWizardProgressMax(uint32_t units) { OsSetProgressMax(g_wizard, kWizardProgress, static_cast<int>(units)); }
void SetWizardProgress(uint32_t units) { OsSetProgress(g_wizard, kWizardProgress, static_cast<int>(units)); }
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

InstallChoices WizardChoices(OsWindow window, const SetupConfig& config) {
  InstallChoices choices;
  choices.installDir = SoundInstallFolder(OsGetText(window, kWizardInstallDirField), config.ownFolderName);
  choices.startMenuFolder = OsGetText(window, kWizardStartMenuField);
  choices.desktop = OsGetState(window, kWizardDesktop) == 1;
  choices.startMenu = config.startMenu != 0 && OsGetState(window, kWizardNoStartMenu) != 1;
  return choices;
}

void ShowWizardChoices(OsWindow window, const InstallChoices& choices) {
  OsSetText(window, kWizardInstallDirField, choices.installDir);
  OsSetText(window, kWizardStartMenuField, choices.startMenuFolder);
  OsSetState(window, kWizardDesktop, choices.desktop ? 1 : 0);
  OsSetState(window, kWizardNoStartMenu, choices.startMenu ? 0 : 1);
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
  s.choices = WizardChoices(window, s.config);

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
  context.wizard = true;
  context.loggedInAsAdmin = &s.login.loggedInAsAdmin;
  context.window = window;
  context.languageNumber = s.languageNumber;
  OsShowControl(window, kWizardProgress, true);
  RunInstall(&context);
  g_wizard = 0;
  // The steps after the task list (the uninstall record) leave no drain
  // behind them; what arrived meanwhile is handled before the page changes
  // to its end.
  OsDrainEvents();

  OsShowControl(window, kWizardProgress, false);
  OsSetText(window, kWizardStatusLine, Text(kTextPage05Ready));
  if (IsExeProgram(s.product.progExe)) {
    OsSetState(window, kWizardStartProgram, s.flags.start ? 1 : 0);
    OsShowControl(window, kWizardStartProgram, true);
  }
  OsShowControl(window, kWizardCancel, false);
  OsShowControl(window, kWizardFinish, true);
}
