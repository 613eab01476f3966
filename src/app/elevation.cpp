#include "app/elevation.h"

#include "app/command_line.h"
#include "app/state_dump.h"
#include "platform/elevation.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/text.h"

namespace {

const size_t kUserFolderCount = sizeof kUserFolders / sizeof kUserFolders[0];
const char kHandoverSuffix[] = ".elevate.ini";
// How often the waiting process looks at the elevated one while it drains
// its own window's events.
const int32_t kWaitSlice = 100;

// The handover file:
//   [Run]     AtInstall=0|1  LanguageFile=name  LanguageNumber=n  UserSid=S-1-...
//   [Choices] InstallDir  StartMenuFolder  Desktop  StartMenu  StartProgram (0|1)
//   [Folders] 0= 2= 5= 7= 26=   (CSIDL numbers of the per-user folders)
// A folder of the handover names a place on a local drive by its full
// path: "X:\..." (or a path from the drive's root), never a share, a
// relative path or one that climbs with "..".
bool AbsoluteLocalPath(const std::string& path) {
  if (path.find("..") != std::string::npos) return false;
  const bool fromRoot = path.size() > 1 && (path[0] == '\\' || path[0] == '/') && path[1] != '\\' && path[1] != '/';
  if (fromRoot) return true;
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return false;
  const char drive = path[0];
  return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
}

bool LooksLikeSid(const std::string& sid) {
  if (sid.size() < 5 || sid.compare(0, 4, "S-1-") != 0) return false;
  for (char c : sid) {
    if (!((c >= '0' && c <= '9') || c == '-' || c == 'S')) return false;
  }
  return true;
}

bool PlainFileName(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos;
}

void Flag(const char* key, bool value) { IniWriteString(key, value ? "1" : "0"); }
bool ReadFlag(const char* key) { return IniReadNumber(key, 0) != 0; }

}  // namespace

std::string NearestExistingFolder(const std::string& path) {
  std::string folder = AddBackslash(path);
  while (!folder.empty()) {
    if (FolderExists(folder)) return folder;
    // Up one component: drop the "\" that ends it, then back to the one before.
    std::string cut = folder.substr(0, folder.size() - 1);
    size_t slash = cut.find_last_of("\\/");
    if (slash == std::string::npos) return std::string();
    folder = cut.substr(0, slash + 1);
  }
  return std::string();
}

bool CanWriteInstallFolder(const std::string& installDir) {
  const std::string target = AddBackslash(installDir);
  const std::string nearest = NearestExistingFolder(target);
  if (nearest.empty()) return true;  // nothing to judge by: the install's own failure tells
  // An existing installation folder needs its files; a missing one needs
  // the folder made in the nearest one that exists.
  return OsCanCreateIn(nearest, !EqualNoCase(nearest, target));
}

bool InstallNeedsAdminRights(uint8_t elevate, const std::string& installDir, const ElevationState& state) {
  if (installDir.empty()) return false;  // a refused folder: nothing to ask the rights for
  if (elevate == kElevateAlways) return true;
  if (elevate == kElevateNever) return false;
  if (!state.elevatedRun && TestBuildActsLimited()) return true;
  return !CanWriteInstallFolder(installDir);
}

OsElevation RunElevation(const ElevationState& state) {
  if (!state.elevatedRun && TestBuildActsLimited()) return kElevationAvailable;
  return OsGetElevation();
}

bool WriteHandover(const std::string& path, const Handover& h) {
  // A new file: the store keeps the path and creates it on close.
  IniOpen(path);
  IniSelectGroup("Run");
  Flag("AtInstall", h.atInstall);
  IniWriteString("LanguageFile", h.languageFile);
  IniWriteNumber("LanguageNumber", h.languageNumber);
  IniWriteString("UserSid", h.userSid);
  IniSelectGroup("Choices");
  IniWriteString("InstallDir", h.choices.installDir);
  IniWriteString("StartMenuFolder", h.choices.startMenuFolder);
  Flag("Desktop", h.choices.desktop);
  Flag("StartMenu", h.choices.startMenu);
  Flag("StartProgram", h.choices.startProgram);
  IniSelectGroup("Folders");
  for (size_t i = 0; i < kUserFolderCount; ++i) IniWriteString(std::to_string(kUserFolders[i]), h.userFolders[i]);
  IniClose();
  // The store reports no failure of its own: read it back.
  Handover back;
  return ReadHandover(path, &back) && back.userSid == h.userSid && back.choices.installDir == h.choices.installDir;
}

bool ReadHandover(const std::string& path, Handover* out) {
  if (!FileExists(path) || !IniOpen(path)) return false;
  Handover h;
  IniSelectGroup("Run");
  h.atInstall = ReadFlag("AtInstall");
  h.languageFile = IniReadString("LanguageFile");
  h.languageNumber = IniReadNumber("LanguageNumber", 0);
  h.userSid = IniReadString("UserSid");
  IniSelectGroup("Choices");
  h.choices.installDir = IniReadString("InstallDir");
  h.choices.startMenuFolder = IniReadString("StartMenuFolder");
  h.choices.desktop = ReadFlag("Desktop");
  h.choices.startMenu = ReadFlag("StartMenu");
  h.choices.startProgram = ReadFlag("StartProgram");
  IniSelectGroup("Folders");
  bool good = LooksLikeSid(h.userSid) && PlainFileName(h.languageFile);
  for (size_t i = 0; i < kUserFolderCount; ++i) {
    h.userFolders[i] = IniReadString(std::to_string(kUserFolders[i]));
    if (!h.userFolders[i].empty() && !AbsoluteLocalPath(h.userFolders[i])) good = false;
  }
  if (h.atInstall && !h.choices.installDir.empty() && !AbsoluteLocalPath(h.choices.installDir)) good = false;
  IniClose();
  if (good) *out = h;
  return good;
}

void ApplyHandover(const Handover& h) {
  // Another account answered the prompt: its own profile is not the user's.
  if (h.userSid != OsGetUserSid()) {
    const bool mapped = OsUseUserRegistry(h.userSid);
    AuditStep("elevate", "user registry", mapped, h.userSid);
  }
  for (size_t i = 0; i < kUserFolderCount; ++i) SetUserFolder(kUserFolders[i], h.userFolders[i]);
}

Handover CurrentUserHandover(const std::string& languageFile, int32_t languageNumber) {
  Handover h;
  h.languageFile = languageFile;
  h.languageNumber = languageNumber;
  h.userSid = OsGetUserSid();
  for (size_t i = 0; i < kUserFolderCount; ++i) h.userFolders[i] = GetFolderPath(kUserFolders[i]);
  return h;
}

bool ShouldPromptForRights(bool needsRights, ElevationState* state) {
  state->lacksRights = false;
  if (!needsRights) return false;
  const OsElevation elevation = RunElevation(*state);
  if (elevation == kElevationFull) return false;
  state->lacksRights = true;
  if (state->elevatedRun) return false;
  if (elevation == kElevationUnavailable || state->prompted) {
    AuditLine(std::string("elevate  no prompt  ") +
              (elevation == kElevationUnavailable ? "the system has no elevation prompt" : "asked once already"));
    return false;
  }
  return true;
}

ElevationAnswer RunElevated(const std::string& workFolder, const std::string& exePath,
                            const std::string& commandLine, const Handover& handover, void (*drain)(),
                            ElevationState* state) {
  if (state->prompted || workFolder.empty()) return kElevationRefused;
  state->prompted = true;
  // Beside the work folder, not in it: the work folder is private to this
  // account, and an administrator who answered the prompt with his own
  // account could not read it there.
  const std::string path = workFolder.substr(0, workFolder.size() - 1) + kHandoverSuffix;
  if (!WriteHandover(path, handover)) {
    AuditStep("elevate", "handover", false, path);
    return kElevationRefused;
  }
  std::string arguments = CommandLineArguments(commandLine);
  arguments += std::string(arguments.empty() ? "" : " ") + "\"/Z:" + path + "\"";
  AuditLine("elevate  prompt  " + exePath + "  " + arguments);
  // The elevated run writes the audit log on from here.
  const bool logOpen = AuditLogOpen();
  const std::string logPath = logOpen ? AuditLogPath() : std::string();
  if (logOpen) CloseAuditLog();
  OsHandle process = nullptr;
  const OsElevatedStart started = OsStartElevated(exePath, arguments, &process);
  if (started == kElevatedStarted) {
    while (!OsWaitProcess(process, drain ? kWaitSlice : -1)) {
      if (drain) drain();
    }
    state->elevatedExitCode = OsProcessExitCode(process);
    OsCloseProcess(process);
    state->handedOver = true;
    state->lacksRights = false;
  }
  if (logOpen) AppendAuditLog(logPath);
  OsDeleteFile(path);
  if (started == kElevatedStarted) {
    AuditLine("elevate  elevated run ended  exit code " + std::to_string(state->elevatedExitCode));
    return kElevationRan;
  }
  AuditLine(started == kElevatedDeclined ? "elevate  declined  the user said no to the prompt"
                                         : "elevate  failed  the elevated run could not start");
  return kElevationRefused;
}
