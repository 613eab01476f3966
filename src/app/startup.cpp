// Start-up of a setup run. The steps run in this order:
//   1 runtime   2 command line   3 work folder name, SetupExeDir
//   4 built-in header icon   5 work folder   6 outer package -> work folder
//   7 first keys of setup.ini   8 language   9 program-running check
//   10 before-hook   11 quiet install, or 12 wizard   13 final stage
// and every path ends in the exit path with exit code 0.
#include "app/startup.h"

#include "actions/running.h"
#include "app/admin.h"
#include "app/command_line.h"
#include "app/config.h"
#include "app/finish.h"
#include "app/install.h"
#include "app/setup_state.h"
#include "app/state_dump.h"
#include "app/wizard_flow.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "ui/wizard.h"

void InitRuntime() {
  OsRestrictDllSearch();
  // Texts needed before the language file is read are the defaults.
  LoadDefaultTexts(Setup().title, Setup().version);
  // The script control is created here once the script runner lands.
}

void ReadRunOptions() {
  Setup().options = RunOptions();
  ReadCommandLine(OsGetCommandLine(), &Setup().options);
}

// A GUID names the work folder. Should the system give none, a name in the
// same form is made from the process id and the clock and taken only while
// nothing is at that path, so the folder deleted at the end is one this run
// made. Without a temporary folder, or without a free name, there is no work
// folder at all: the temporary folder itself must never become one.
std::string NewWorkFolder() {
  std::string temp = GetTemporaryFolder();
  if (temp.empty()) return std::string();
  std::string guid = OsCreateGuidText();
  if (guid.size() == 38) return temp + guid + "\\";
  uint64_t seed = OsGetClockTicks();
  for (uint32_t attempt = 0; attempt < 64; ++attempt) {
    std::string name = "{" + HexDigits(OsGetProcessId(), 8) + "-" + HexDigits(attempt, 4) + "-0000-0000-" +
                       HexDigits(seed + attempt * 7919u, 12) + "}";
    if (FileSize(temp + name) == -1) return temp + name + "\\";
  }
  return std::string();
}

void PrepareWorkFolderName() {
  SetupState& s = Setup();
  s.workFolder = NewWorkFolder();
  s.exePath = OsGetModuleFileName();
  s.setupFolder = FolderPart(s.exePath);
  s.iniPath = s.workFolder.empty() ? std::string() : s.workFolder + "setup.ini";
  OsSetEnvironment("SetupExeDir", s.setupFolder);
}

void CreateWorkFolder() {
  const std::string& work = Setup().workFolder;
  if (!work.empty() && CreateFolder(work)) return;
  if (!work.empty() && !HasAdminRights()) {
    OfferLogin();
    if (CreateFolder(work)) return;
  }
  ShowCopyError();
}

void UnpackSetupFiles() {
  if (Setup().workFolder.empty()) return;
  OpenPackage(Setup().exePath, nullptr);
  if (!ExtractPackage(Setup().workFolder, "")) ShowCopyError();
  ClosePackage();
}

void ReadConfigurationAndLanguage() {
  ReadStartupConfig();
  SetupState& s = Setup();
  const std::string& list = s.languageList;
  std::string file;
  if (CountChar(list, '|') > 1) {
    file = ChooseLanguageFile(list, OsGetUserDefaultLangID(), &s.languageNumber);
    if (file.empty()) file = ShowLanguageChoiceDialog(list);
  } else {
    file = LanguageFileFromList(list);
  }
  LoadLanguageTexts(file.empty() ? std::string() : s.workFolder + file, s.title, s.version);
}

bool CheckProgramRunning() {
  SetupState& s = Setup();
  std::string mutex = TrimBlanks(s.mutexName);
  if (!mutex.empty()) {
    s.programRunning = OsProbeNamedMutex(mutex) == 2;
  } else {
    s.programRunning = !s.progExe.empty() && IsProgramRunning(s.progExe);
  }
  if (!s.programRunning) return true;
  std::string text = ReplaceAll(Text(kTextRq4Msg), "$Titel", s.title) + "\n" + Text(kTextRq4Msg2);
  if (ShowMessageBox(Text(kTextRq4Titel), text, kMessageWarningOkCancel) == kAnswerOk) return true;
  DeleteWorkFolder();
  return false;
}

void ShutdownRuntime() {
  // The script control is released here once the script runner lands.
  DumpRunState();
}

int SetupMain() {
  InitRuntime();
  ReadRunOptions();
  PrepareWorkFolderName();
  // The built-in header icon is loaded with the wizard window.
  CreateWorkFolder();
  UnpackSetupFiles();
  ReadConfigurationAndLanguage();
  if (CheckProgramRunning() && RunBeforeHook() != 1) {
    if (Setup().options.quiet) {
      RunQuietInstall();
    } else {
      const SetupState& s = Setup();
      OsWindow wizard = BuildWizardWindow(s.version.empty() ? s.title : s.title + " " + s.version);
      if (wizard != 0) RunWizard(wizard);
      RunFinalStage();
    }
  }
  ShutdownRuntime();
  return 0;
}
