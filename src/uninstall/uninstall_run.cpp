#include "uninstall/uninstall_run.h"

#include "actions/folders.h"
#include "platform/file.h"
#include "platform/guard.h"
#include "platform/process.h"
#include "platform/system.h"
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

void ShowError(const UninstallData& data, bool quiet) {
  if (!quiet) ShowMessageBox(data.texts[kUnTitel], data.texts[kUnError], kMessageError);
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
    if (quiet) return false;
    if (ShowMessageBox(data.texts[kUnTitel], MutexMessage(data), kMessageWarningOkCancel) != kAnswerOk) return false;
  }
  return true;
}

std::string WithoutBackslash(const std::string& folder) {
  return folder.size() > 1 && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
}

void StartCleanupCopy(const std::string& modulePath, const std::string& folder) {
  std::string temp = GetTemporaryFolder();
  if (temp.empty()) return;
  std::string copy = temp + "zd-uninstall-" + HexDigits(OsNameSeed(), 8) + ".exe";
  if (!OsCopyFile(modulePath, copy, false)) return;
  std::string commandLine = "\"" + copy + "\" " + kCleanupSwitch + " \"" + WithoutBackslash(folder) + "\" \"" +
                            FileNamePart(modulePath) + "\"";
  OsStartedProcess started;
  // The copy starts in the temporary folder, so it holds no handle on the
  // folder it is to remove.
  if (OsCreateProcess(commandLine, temp, false, &started)) OsCloseProcess(started.process);
  else OsDeleteFile(copy);
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
      !IsSafeName(name) || !exe) {
    return kUninstallRefused;
  }
  std::string program = folder + name;
  for (int i = 0; i < kCleanupTries && FileSize(program) != -1; ++i) {
    if (!OsDeleteFile(program)) OsSleep(kCleanupPause);
  }
  // The first process may still hold the folder as its working folder for
  // a moment after its file could go.
  for (int i = 0; i < kCleanupTries && FileSize(WithoutBackslash(folder)) == -2 && FolderIsEmpty(folder); ++i) {
    if (!OsRemoveDirectory(WithoutBackslash(folder))) OsSleep(kCleanupPause);
  }
  OsDeleteFileAtRestart(modulePath);
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
    RemoveInstallation(data, choices, &report);
  } else if (!RunUninstallDialog(data, [&](bool deleteAll) {
               choices.deleteAll = deleteAll;
               RemoveInstallation(data, choices, &report);
             })) {
    return kUninstallCancelled;
  }
  if (startCleanup) StartCleanupCopy(modulePath, NormaliseFolder(data.progDir));
  return kUninstallDone;
}

}  // namespace

UninstallOptions ReadUninstallOptions(const std::string& commandLine) {
  UninstallOptions options;
  std::vector<std::string> words = Words(commandLine);
  for (size_t i = 1; i < words.size(); ++i) {
    if (EqualNoCase(words[i], "/Q")) {
      options.quiet = true;
    } else if (EqualNoCase(words[i], kCleanupSwitch) && i + 2 < words.size()) {
      options.cleanup = true;
      options.cleanupFolder = words[i + 1];
      options.cleanupName = words[i + 2];
      i += 2;
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

int RunUninstaller(const std::string& commandLine, const std::string& modulePath, bool startCleanup) {
  UninstallOptions options = ReadUninstallOptions(commandLine);
  if (options.cleanup) return RunCleanup(options, modulePath);

  std::string ownFolder = FolderPart(modulePath);
  UninstallData data;
  UninstallDataResult read = ReadUninstallData(ownFolder + kRecordName, &data);
  if (read != kDataRead || !JudgeProgDir(&data, ownFolder)) {
    ShowError(data, options.quiet);
    return kUninstallRefused;
  }
  OsLogon logon = data.loginAdmin && !options.quiet && !OsHasAdminRights() ? OfferAdminLogin(data) : 0;
  int result = RunWithRights(data, options, modulePath, startCleanup);
  if (logon != 0) OsEndLogon(logon);
  return result;
}
