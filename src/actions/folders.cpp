#include "actions/folders.h"

#include <cstring>

#include "platform/file.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/text.h"

// Replaced in this order; a folder that itself contains a later variable's
// text is expanded again by that later variable.
const FolderVariable kFolderVariables[kFolderVariableCount] = {
    {"%ProgramFiles%", kFolderProgramFiles}, {"%Windows%", kFolderWindows},
    {"%System%", kFolderSystem},             {"%CommonFiles%", kFolderCommonFiles},
    {"%AppData%", kFolderAppData},           {"%StartUp%", kFolderStartup},
    {"%QuickLaunch%", kFolderQuickLaunch},   {"%MyDocuments%", kFolderPersonal},
    {"%Korvex%", kFolderKorvex},             {"%Fonts%", kFolderFonts},
};

namespace {

// Per-user folders handed over by the process that started this one.
struct UserFolders {
  std::string path[sizeof kUserFolders / sizeof kUserFolders[0]];
};
UserFolders g_userFolders;

int UserFolderIndex(int32_t folder) {
  for (size_t i = 0; i < sizeof kUserFolders / sizeof kUserFolders[0]; ++i) {
    if (kUserFolders[i] == folder) return static_cast<int>(i);
  }
  return -1;
}

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The Korvex "open" command, as its installer registers it:
//   "<path of Korvex.exe>" "%1"
// read into 260 bytes (cut at the first zero). Dropping the first character
// and the last six (`" "%1"`) leaves the executable path; its folder is the
// text up to and including the last "\" or "/". Anything shorter than those
// seven characters, or without a separator, gives no folder.
std::string KorvexFolder() {
  bool nt = OsIsNtFamily();
  uint32_t root = nt ? kHkeyClassesRoot : kHkeyLocalMachine;
  std::string key = std::string(nt ? "Applications\\Korvex.exe\\shell\\" : "Software\\Classes\\Korvex.exe\\shell\\") +
                    "open" + "\\command";
  OsKey handle = nullptr;
  if (!OsRegOpenKey(root, key, kKeyAllAccess, &handle)) return std::string();
  char buffer[260];
  uint32_t size = sizeof(buffer);
  uint32_t type = 0;
  bool ok = OsRegQueryValue(handle, "", &type, buffer, &size);
  OsRegCloseKey(handle);
  if (!ok || size > sizeof(buffer)) return std::string();
  std::string command(buffer, strnlen(buffer, size));
  if (command.size() < 7) return std::string();
  return FolderPart(command.substr(1, command.size() - 7));
}

}  // namespace

std::string ReadRegistryString(uint32_t root, const std::string& subkey, const std::string& name) {
  OsKey key = nullptr;
  if (!OsRegOpenKey(root, subkey, kKeyRead, &key)) return std::string();
  char buffer[255];
  uint32_t size = sizeof(buffer);
  uint32_t type = 0;
  bool ok = OsRegQueryValue(key, name, &type, buffer, &size);
  OsRegCloseKey(key);
  if (!ok || size == 0 || size > sizeof(buffer)) return std::string();
  // The last byte is taken as the terminator whatever it is; the text then
  // ends at its first zero, as the C string it was stored as.
  return std::string(buffer, strnlen(buffer, size - 1));
}

bool SetUserFolder(int32_t folder, const std::string& path) {
  const int index = UserFolderIndex(folder);
  if (index < 0 || path.empty()) return false;
  g_userFolders.path[index] = AddBackslash(path);
  return true;
}

void ResetUserFolders() { g_userFolders = UserFolders(); }

std::string GetFolderPath(int32_t folder) {
  const int index = UserFolderIndex(folder);
  if (index >= 0 && !g_userFolders.path[index].empty()) return g_userFolders.path[index];
  std::string path;
  switch (folder) {
    case kFolderKorvex:
      path = KorvexFolder();
      break;
    case kFolderSystem:
      path = OsGetSystemDirectory();
      break;
    case kFolderWindows:
      path = OsGetWindowsDirectory();
      break;
    case kFolderQuickLaunch:
      path = GetFolderPath(kFolderAppData) + "Microsoft\\Internet Explorer\\Quick Launch\\";
      break;
    case kFolderProgramFiles:
      path = ReadRegistryString(kHkeyLocalMachine, kCurrentVersionKey, "ProgramFilesDir");
      break;
    case kFolderCommonFiles:
      path = ReadRegistryString(kHkeyLocalMachine, kCurrentVersionKey, "CommonFilesDir");
      break;
    default:
      if (!OsGetSpecialFolder(folder, &path)) path.clear();
      break;
  }
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

std::string ExpandFolderVariables(const std::string& path, bool programFilesFallback) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return path;
  if (CountChar(path, '%') < 2) {
    return programFilesFallback ? GetFolderPath(kFolderProgramFiles) + path : path;
  }
  std::string out = path;
  for (const FolderVariable& variable : kFolderVariables) {
    // Only a variable that occurs costs a lookup (Korvex opens a registry key).
    if (out.find(variable.name) == std::string::npos) continue;
    out = ReplaceAll(out, variable.name, GetFolderPath(variable.folder));
  }
  return out;
}

bool EnsureFolderExists(const std::string& path) {
  return CreateFolderPath(AddBackslash(path), kStopAtFailure);
}
