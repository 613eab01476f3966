// Start-up of a setup run: runtime, command line, work folder name and
// SetupExeDir, work folder, outer package -> work folder, first keys of
// setup.ini, language, program-running check. SetupMain runs them in order.
#include "app/startup.h"

#include "actions/running.h"
#include "app/admin.h"
#include "app/finish.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/elevation.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/rights.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"

void InitRuntime(const ProductInfo& product) {
  OsRestrictDllSearch();
  SetLoginOffer(HasAdminRights, OfferLogin);
  // Texts needed before the language file is read are the defaults.
  LoadDefaultTexts(product.title, product.version);
}

void ReadRunOptions(RunOptions* options) {
  *options = RunOptions();
  ReadCommandLine(OsGetCommandLine(), options);
}

// A GUID names the work folder. Should the system give none, a name in the
// same form is made from the process id and the clock and taken only while
// nothing is at that path, so the folder deleted at the end is one this run
// made. Without a temporary folder, or without a free name, there is no work
// folder at all: the temporary folder itself must never become one.
std::string NewWorkFolder(bool elevated) {
  std::string temp = elevated ? AddBackslash(OsGetWindowsDirectory()) + "Temp\\" : GetTemporaryFolder();
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

void PrepareWorkFolderName(RunPaths* paths, bool elevated) {
  paths->workFolder = NewWorkFolder(elevated);
  paths->exePath = OsGetModuleFileName();
  paths->setupFolder = FolderPart(paths->exePath);
  paths->iniPath = paths->workFolder.empty() ? std::string() : paths->workFolder + "setup.ini";
  OsSetEnvironment("SetupExeDir", paths->setupFolder);
}

bool CreateWorkFolder(const std::string& work, bool elevated) {
  const bool made = !work.empty() && (elevated ? OsCreateAdminFolder(work)
                                               : TryWithLogin([&] { return CreateFolder(work); }));
  AuditStep("start", "work folder", made, work);
  if (!made) ShowCopyError();
  return made;
}

bool UnpackSetupFiles(const RunPaths& paths) {
  if (paths.workFolder.empty()) return false;
  const bool opened = OpenPackage(paths.exePath, nullptr);
  AuditLine(std::string("start  package  ") + (opened ? "opened  " : "refused  ") + paths.exePath);
  const bool unpacked = ExtractPackage(paths.workFolder, "");
  AuditLine(std::string("start  package  ") + (unpacked ? "unpacked" : "failed"));
  if (!unpacked) ShowCopyError();
  ClosePackage();
  return opened && unpacked;
}

std::string ReadConfigurationAndLanguage(const RunPaths& paths, ProductInfo* product, int32_t* languageNumber,
                                         const std::string& chosen) {
  ReadStartupConfig(paths.iniPath, product);
  const std::string& list = product->languageList;
  std::string file;
  const std::string entries = "|" + list;
  if (!chosen.empty() && (entries.find("|" + chosen + "#") != std::string::npos ||
                          entries.find("|" + chosen + "|") != std::string::npos)) {
    file = chosen;
  } else if (CountChar(list, '|') > 1) {
    file = ChooseLanguageFile(list, OsGetUserDefaultLangID(), languageNumber);
    if (file.empty()) file = ShowLanguageChoiceDialog(list);
  } else {
    file = LanguageFileFromList(list);
  }
  AuditLine("start  setup.ini  " + product->title + "  " + product->version);
  AuditLine("start  language  " + (file.empty() ? std::string("built-in") : file));
  LoadLanguageTexts(file.empty() ? std::string() : paths.workFolder + file, product->title, product->version);
  return file;
}

bool WarnIfProgramRunning(const ProductInfo& product, const std::string& workFolder, bool* programRunning) {
  std::string mutex = TrimBlanks(product.mutexName);
  if (!mutex.empty()) {
    *programRunning = OsProbeNamedMutex(mutex) == kMutexExisted;
  } else {
    *programRunning = !product.progExe.empty() && IsProgramRunning(product.progExe);
  }
  if (!*programRunning) return true;
  AuditLine("start  program running  " + (mutex.empty() ? product.progExe : mutex));
  std::string text = ReplaceAll(Text(kTextRq4Msg), "$Titel", product.title) + "\n" + Text(kTextRq4Msg2);
  const bool goOn = ShowMessageBox(Text(kTextRq4Titel), text, kMessageWarningOkCancel) == kAnswerOk;
  AuditLine(goOn ? "start  running warning  OK" : "start  running warning  Cancel");
  if (goOn) return true;
  DeleteWorkFolder(workFolder);
  return false;
}
