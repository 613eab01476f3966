#include "uninstall/uninstall_run.h"

#include <algorithm>
#include <vector>

#include "actions/folders.h"
#include "platform/elevation.h"
#include "platform/file.h"
#include "platform/guard.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "ui/login_dialog.h"
#include "uninstall/removal.h"
#include "uninstall/safety.h"
#include "uninstall/uninstall_data.h"
#include "uninstall/uninstall_dialog.h"

namespace {

const char kRecordName[] = "uninstall.dat";
const char kCleanupSwitch[] = "/CLEANUP";
const char kElevatedSwitch[] = "/ELEVATED";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Shell folders beyond the install's folder variables that no installation
// folder may be or hold: the user profile (40), Program Files of either
// width (38, 42), the all-users documents and application data (46, 35),
// and the user's and all users' known folders: favorites (6), recent (8),
// send-to (9), start menu (11, 22), music (13, 53), videos (14, 55),
// templates (21), all users' startup and desktop (24, 25), local
// application data (28), internet cache, cookies, history (32, 33, 34),
// pictures (39, 54).
const int32_t kMoreShellFolders[] = {40, 38, 42, 46, 35, 6,  8,  9,  11, 22, 13, 53,
                                     14, 55, 21, 24, 25, 28, 32, 33, 34, 39, 54};
// Known folders of the profile that have no shell folder number.
const char* const kProfileFolders[] = {"Downloads", "Saved Games", "Contacts", "Links", "Searches",
                                       "Favorites", "Music", "Pictures", "Videos", "Documents", "Desktop"};
// The cleanup copy's patience with the first process: 120 tries, 250 ms apart.
const int kCleanupTries = 120;
const uint32_t kCleanupPause = 250;

// The command line's words: blanks separate them, double quotes group.
std::vector<std::string> Words(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

// A quiet run shows no box; the audit log holds the box and its answer.
void ShowError(const UninstallData& data) {
  ShowMessageBox(data.texts[kUnTitel], data.texts[kUnError], kMessageError);
}

// The install's administrator login, in the record's texts. The thread acts
// as the account logged on until the run ends; a closed dialog leaves the
// uninstaller's own rights, and what those cannot remove stays.
OsLogon OfferAdminLogin(const UninstallData& data) {
  const struct {
    TextId id;
    UninstallText text;
  } texts[] = {{kTextLoginAdminWindow, kUnLogon}, {kTextLoginAdminUser, kUnUser},
               {kTextLoginAdminPassword, kUnPassword}, {kTextRq7Titel, kUnRqTitel},
               {kTextRq7Msg, kUnRqMsg}, {kTextButtonLogin, kUnLogin}};
  for (const auto& t : texts) SetText(t.id, data.texts[t.text]);
  return ShowLoginDialog();
}

// True to go on: the program does not hold its mutex (any more).
bool WaitUntilProgramEnds(const UninstallData& data, bool quiet) {
  std::string name = TrimBlanks(data.mutexString);
  if (name.empty()) return true;
  while (OsProbeNamedMutex(name) == kMutexExisted) {
    // Quietly the box's Cancel: OK would ask again for ever.
    if (quiet) {
      AuditQuietAnswer(data.texts[kUnTitel], MutexMessage(data), "Cancel");
      return false;
    }
    if (ShowMessageBox(data.texts[kUnTitel], MutexMessage(data), kMessageWarningOkCancel) != kAnswerOk) return false;
  }
  return true;
}

std::string WithoutBackslash(const std::string& folder) {
  return folder.size() > 1 && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
}

const char kCleanupFolderPrefix[] = "zd-uninstall-";
const char kCleanupCopyName[] = "cleanup.exe";

// "zd-uninstall-" + 8 hex digits: the name of a cleanup copy's folder.
bool IsCleanupFolderName(const std::string& name) {
  const size_t prefix = sizeof kCleanupFolderPrefix - 1;
  return name.size() == prefix + 8 && EqualNoCase(name.substr(0, prefix), kCleanupFolderPrefix) &&
         name.find_first_not_of("0123456789ABCDEFabcdef", prefix) == std::string::npos;
}

// The folders of earlier cleanup copies, which cannot go while their copy
// runs in them: empty once it ended and its file went, they go now. One
// that holds anything stays.
void RemoveEarlierCleanupFolders(const std::string& temp) {
  OsFindData found;
  OsFind find = OsFindFirst(temp + kCleanupFolderPrefix + "*", &found, nullptr);
  if (!find) return;
  do {
    if (found.isFolder && !found.isLink && IsCleanupFolderName(found.name)) OsRemoveDirectory(temp + found.name);
  } while (OsFindNext(find, &found));
  OsFindClose(find);
}

// The cleanup copy lives in a private folder of its own in the temporary
// folder, made only where nothing was: temp + "zd-uninstall-" + 8 hex
// digits + "\cleanup.exe".
void StartCleanupCopy(const std::string& modulePath, const std::string& folder, int parents) {
  std::string temp = GetTemporaryFolder();
  if (temp.empty()) return;
  RemoveEarlierCleanupFolders(temp);
  const std::string own = temp + kCleanupFolderPrefix + HexDigits(OsNameSeed(), 8);
  if (!OsCreatePrivateFolder(own)) return;
  std::string copy = own + "\\" + kCleanupCopyName;
  if (!OsCopyFile(modulePath, copy, false)) {
    OsRemoveDirectory(own);
    return;
  }
  std::string commandLine = "\"" + copy + "\" " + kCleanupSwitch + " \"" + WithoutBackslash(folder) + "\" \"" +
                            FileNamePart(modulePath) + "\" " + std::to_string(parents);
  OsStartedProcess started;
  // The copy starts in the temporary folder, so it holds no handle on the
  // folder it is to remove; it is held from here (nobody writes it between
  // the copy and the start) and deleted when it ends, where the system
  // lets a file that ran go.
  bool ran = OsCreateProcessDeletingImage(commandLine, temp, copy, &started);
  // Where the system refuses that start, a copy made anew starts plainly; it
  // then goes at the next restart, as its own run asks.
  if (!ran && (FileSize(copy) >= 0 || OsCopyFile(modulePath, copy, false))) {
    ran = OsCreateProcess(commandLine, temp, false, &started);
  }
  if (ran) {
    OsCloseProcess(started.process);
  } else {
    OsDeleteFile(copy);
    OsRemoveDirectory(own);
  }
}

// The two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
  OsFile first = OsOpenFile(a, kOsOpenRead);
  OsFile second = OsOpenFile(b, kOsOpenRead);
  bool same = first != nullptr && second != nullptr && OsFileLength(first) == OsFileLength(second);
  std::vector<char> x(1 << 16), y(1 << 16);
  while (same) {
    uint32_t gotX = 0, gotY = 0;
    same = OsReadFile(first, x.data(), uint32_t(x.size()), &gotX) &&
           OsReadFile(second, y.data(), uint32_t(y.size()), &gotY) && gotX == gotY &&
           std::equal(x.begin(), x.begin() + gotX, y.begin());
    if (gotX == 0) break;
  }
  OsCloseFile(first);
  OsCloseFile(second);
  return same;
}

// The running program is a cleanup copy that StartCleanupCopy made: its
// final path is the temporary folder's + "zd-uninstall-" + 8 hex digits +
// "\cleanup.exe".
bool IsOwnCleanupCopy(const std::string& modulePath) {
  const std::string final = OsFinalPath(modulePath);
  const std::string temp = OsFinalPath(GetTemporaryFolder());
  if (final.empty() || temp.empty()) return false;
  const std::string folder = FolderPart(final);
  return SameFolder(FolderPart(WithoutBackslash(folder)), temp) &&
         IsCleanupFolderName(FileNamePart(WithoutBackslash(folder))) &&
         EqualNoCase(FileNamePart(final), kCleanupCopyName);
}

// The install was made for the whole machine, so its removal needs the rights.
bool PerMachineInstall(const UninstallData& data, const std::string& ownFolder) {
  const std::string name = data.guid.empty() ? data.progLink : data.guid;
  OsKey key = nullptr;
  if (IsSafeName(name) && OsRegOpenKey(kHkeyLocalMachine, kUninstallKey + name, kKeyRead, &key)) {
    OsRegCloseKey(key);
    return true;
  }
  return !OsCanCreateIn(ownFolder, false);
}

const char* OutcomeName(int code) {
  switch (code) {
    case kUninstallDone: return "removed";
    case kUninstallRefused: return "refused";
    case kUninstallCancelled: return "cancelled";
  }
  return "?";
}

// True when an elevated run did the removal: *code is its exit code.
bool RemovedElevated(const UninstallData& data, const UninstallOptions& options, const std::string& ownFolder,
                     const std::string& modulePath, int* code) {
  if (options.elevated || OsGetElevation() != kElevationAvailable || !PerMachineInstall(data, ownFolder)) {
    return false;
  }
  OsHandle process = nullptr;
  // The elevated run writes on at the end of this run's log, and this run
  // after it.
  const std::string log = AuditLogPath();
  std::string parameters = std::string(options.quiet ? "/Q " : "") + kElevatedSwitch;
  if (!log.empty()) parameters += " \"/L:" + log + "\"";
  AuditLine("elevate  starting an elevated run");
  CloseAuditLog();
  const bool started = OsStartElevated(modulePath, parameters, &process) == kElevatedStarted;
  if (started) {
    OsWaitProcess(process, -1);
    *code = static_cast<int>(OsProcessExitCode(process));
    OsCloseProcess(process);
  }
  if (!log.empty()) AppendAuditLog(log);
  AuditLine(started ? "elevate  elevated run ended  exit code " + std::to_string(*code)
                    : std::string("elevate  not elevated  going on with this run's rights"));
  return started;
}

bool FolderIsEmpty(const std::string& folder) {
  OsFindData found;
  OsFind find = OsFindFirst(folder + "*.*", &found, nullptr);
  if (!find) return true;
  bool empty = true;
  do {
    if (found.name != "." && found.name != "..") empty = false;
  } while (empty && OsFindNext(find, &found));
  OsFindClose(find);
  return empty;
}

int RunCleanup(const UninstallOptions& options, const std::string& modulePath) {
  std::string folder = NormaliseFolder(options.cleanupFolder);
  const std::string& name = options.cleanupName;
  bool exe = name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), ".exe");
  if (CheckProgDir(folder, std::string(), OsGetWindowsDirectory(), SystemFolders()) != kProgDirGood ||
      !IsSafeName(name) || !exe || !IsOwnCleanupCopy(modulePath)) {
    return kUninstallRefused;
  }
  // The folder judged on its final path too, and the one file it deletes
  // is the uninstaller this copy was made from: the same bytes as itself.
  const std::string finalFolder = OsFinalPath(folder);
  if (finalFolder.empty() ||
      CheckProgDir(finalFolder, std::string(), OsGetWindowsDirectory(), SystemFolders()) != kProgDirGood) {
    return kUninstallRefused;
  }
  folder = AddBackslash(finalFolder);
  std::string program = folder + name;
  if (!SameBytes(program, modulePath)) return kUninstallRefused;
  for (int i = 0; i < kCleanupTries && FileSize(program) != -1; ++i) {
    if (!OsDeleteFile(program)) OsSleep(kCleanupPause);
  }
  // The first process may still hold the folder as its working folder for
  // a moment after its file could go.
  for (int i = 0; i < kCleanupTries && FileSize(WithoutBackslash(folder)) == -2 && FolderIsEmpty(folder); ++i) {
    if (!OsRemoveDirectory(WithoutBackslash(folder))) OsSleep(kCleanupPause);
  }
  // Then the folders above it that the install made, nearest first, each
  // only while it is empty and an ordinary folder.
  std::string parent = WithoutBackslash(folder);
  for (int level = 0; level < options.cleanupParents && FileSize(parent) == -1; ++level) {
    parent = WithoutBackslash(FolderPart(parent));
    if (parent.size() <= 3 ||
        CheckProgDir(AddBackslash(parent), std::string(), OsGetWindowsDirectory(), SystemFolders()) != kProgDirGood ||
        !FolderIsEmpty(AddBackslash(parent)) || !OsRemoveDirectory(parent)) {
      break;
    }
  }
  OsDeleteFileAtRestart(modulePath);
  OsDeleteFileAtRestart(WithoutBackslash(FolderPart(modulePath)));
  return kUninstallDone;
}

// Everything after the checks and the login: the running program, the
// dialog or the quiet run, the removal and the cleanup copy.
int RunWithRights(const UninstallData& data, const UninstallOptions& options, const std::string& modulePath,
                  bool startCleanup) {
  if (!WaitUntilProgramEnds(data, options.quiet)) return kUninstallCancelled;

  RemovalChoices choices;
  choices.quiet = options.quiet;
  choices.ownExeName = FileNamePart(modulePath);
  RemovalReport report;
  if (options.quiet) {
    AuditLine("uninstall  quiet  removed without the dialog, delete all not ticked");
    RemoveInstallation(data, choices, &report);
  } else if (!RunUninstallDialog(data, [&](bool deleteAll) {
               choices.deleteAll = deleteAll;
               AuditLine(std::string("uninstall  dialog  ") + (deleteAll ? "delete all ticked" : "delete all not ticked"));
               RemoveInstallation(data, choices, &report);
             })) {
    AuditLine("uninstall  cancelled in the dialog");
    return kUninstallCancelled;
  }
  // The folders above it that the install made go when they are empty too.
  if (startCleanup) StartCleanupCopy(modulePath, NormaliseFolder(data.progDir), data.madeProgDir ? data.madeParents : 0);
  return kUninstallDone;
}

}  // namespace

UninstallOptions ReadUninstallOptions(const std::string& commandLine) {
  UninstallOptions options;
  std::vector<std::string> words = Words(commandLine);
  for (size_t i = 1; i < words.size(); ++i) {
    if (EqualNoCase(words[i], "/Q")) {
      options.quiet = true;
    } else if (words[i].size() > 3 && EqualNoCase(words[i].substr(0, 3), "/L:")) {
      options.auditLogPath = words[i].substr(3);
    } else if (EqualNoCase(words[i], kElevatedSwitch)) {
      options.elevated = true;
    } else if (EqualNoCase(words[i], kCleanupSwitch) && i + 2 < words.size()) {
      options.cleanup = true;
      options.cleanupFolder = words[i + 1];
      options.cleanupName = words[i + 2];
      i += 2;
      if (i + 1 < words.size() && !words[i + 1].empty() &&
          words[i + 1].find_first_not_of("0123456789") == std::string::npos) {
        options.cleanupParents = std::min<int>(TextToInt(words[i + 1]), kMaxMadeParents);
        ++i;
      }
    }
  }
  return options;
}

bool JudgeProgDir(UninstallData* data, const std::string& ownFolder) {
  const std::vector<std::string> system = SystemFolders();
  const std::string windows = OsGetWindowsDirectory();
  if (CheckProgDir(data->progDir, ownFolder, windows, system) != kProgDirGood) return false;
  // 8.3 names, case, trailing dots and blanks, "\\?\" and links all end
  // in the one final path, which must pass as well; the removal then works
  // on it.
  const std::string final = OsFinalPath(data->progDir);
  const std::string ownFinal = ownFolder.empty() ? std::string() : OsFinalPath(ownFolder);
  if (final.empty() || (!ownFolder.empty() && ownFinal.empty())) return false;
  const std::string windowsFinal = windows.empty() ? std::string() : OsFinalPath(windows);
  if (CheckProgDir(final, ownFinal.empty() ? std::string() : AddBackslash(ownFinal),
                   windowsFinal.empty() ? windows : windowsFinal, system) != kProgDirGood) {
    return false;
  }
  data->progDir = AddBackslash(final);
  return true;
}

std::vector<std::string> SystemFolders() {
  std::vector<std::string> folders;
  for (const FolderVariable& variable : kFolderVariables) folders.push_back(GetFolderPath(variable.folder));
  for (int32_t id : {kFolderDesktop, kFolderPrograms, kFolderCommonPrograms, kFolderPersonal, kFolderStartup,
                     kFolderAppData}) {
    folders.push_back(GetFolderPath(id));
  }
  for (int32_t id : kMoreShellFolders) folders.push_back(GetFolderPath(id));
  folders.push_back(GetFolderPath(kFolderSystem));
  const std::string profile = GetFolderPath(40);
  if (!profile.empty()) {
    for (const char* name : kProfileFolders) folders.push_back(profile + name + "\\");
  }
  folders.push_back(GetTemporaryFolder());
  // Each also in its final form (links resolved, long names, stored case),
  // which is how the installation folder is judged.
  const size_t count = folders.size();
  for (size_t i = 0; i < count; ++i) {
    std::string final = folders[i].empty() ? std::string() : OsFinalPath(folders[i]);
    if (!final.empty()) folders.push_back(final);
  }
  return folders;
}

namespace {

int RunUninstallSteps(const UninstallOptions& options, const std::string& modulePath, bool startCleanup) {
  std::string ownFolder = FolderPart(modulePath);
  UninstallData data;
  UninstallDataResult read = ReadUninstallData(ownFolder + kRecordName, &data);
  if (read != kDataRead) {
    AuditLine("uninstall  refused  the record is missing or damaged  " + ownFolder + kRecordName);
    ShowError(data);
    return kUninstallRefused;
  }
  if (!JudgeProgDir(&data, ownFolder)) {
    AuditLine("uninstall  refused  ProgDir is not this uninstaller's folder or a folder it may empty  " +
              data.progDir);
    ShowError(data);
    return kUninstallRefused;
  }
  AuditLine("uninstall  folder  " + data.progDir);
  int elevatedCode = 0;
  if (RemovedElevated(data, options, ownFolder, modulePath, &elevatedCode)) return elevatedCode;
  // Where the prompt can give the rights, a logon cannot: it gives a
  // filtered token that the process cannot act as.
  OsLogon logon = data.loginAdmin && !options.quiet && !OsHasAdminRights() && OsGetElevation() != kElevationAvailable
                      ? OfferAdminLogin(data)
                      : 0;
  int result = RunWithRights(data, options, modulePath, startCleanup);
  if (logon != 0) OsEndLogon(logon);
  return result;
}

}  // namespace

int RunUninstaller(const std::string& commandLine, const std::string& modulePath, bool startCleanup) {
  UninstallOptions options = ReadUninstallOptions(commandLine);
  // "/Q" shows no window: any box takes its quiet answer (ui/dialogs.h).
  SetQuietRun(options.quiet);
  if (options.cleanup) return RunCleanup(options, modulePath);
  // An elevated run writes on at the end of the starting run's log.
  if (!options.auditLogPath.empty()) {
    if (options.elevated) AppendAuditLog(options.auditLogPath);
    else OpenAuditLog(options.auditLogPath);
  }
  AuditLine("start  command line  " + commandLine);
  const int result = RunUninstallSteps(options, modulePath, startCleanup);
  AuditLine(std::string("end  ") + OutcomeName(result) + "  exit code " + std::to_string(result));
  CloseAuditLog();
  return result;
}
