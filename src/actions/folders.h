// Folder lookup behind the folder variables of setup.ini and task lines,
// path expansion, and the folder creation the install actions share.
// Every folder path returned here is empty (not found) or ends in "\", so
// a variable is written directly before the next component: %ProgramFiles%Viewer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Folder identifiers: shell special-folder numbers (CSIDL), 43 and the
// installer's own negative codes.
enum : int32_t {
  kFolderDesktop = 0,
  kFolderPrograms = 2,
  kFolderPersonal = 5,
  kFolderStartup = 7,
  kFolderFonts = 20,
  kFolderCommonPrograms = 23,
  kFolderAppData = 26,
  kFolderCommonFiles = 43,  // from the registry, not the shell
  kFolderSystem = -2,
  kFolderWindows = -3,
  kFolderQuickLaunch = -5,
  kFolderProgramFiles = -6,
  kFolderKorvex = -7,  // where the Korvex development environment lives
};

// The ten folder variables of the general expansion, in the order in which
// ExpandFolderVariables replaces them.
struct FolderVariable {
  const char* name;  // "%ProgramFiles%"
  int32_t folder;
};
const size_t kFolderVariableCount = 10;
extern const FolderVariable kFolderVariables[kFolderVariableCount];

// The folder with a trailing "\", or empty when it cannot be found. Looked
// up afresh on every call, unless the folder is one of the per-user folders
// handed over from another process (SetUserFolder).
std::string GetFolderPath(int32_t folder);

// The per-user shell folders that belong to the user who started setup:
// desktop, Programs, Personal, Startup and application data. An elevated
// run may act as another account, so the starting process hands these over
// and they stand in for the shell's answers from then on.
const int32_t kUserFolders[] = {kFolderDesktop, kFolderPrograms, kFolderPersonal, kFolderStartup,
                                kFolderAppData};
// Takes path (made to end in "\") for one of kUserFolders; false for any
// other folder or an empty path.
bool SetUserFolder(int32_t folder, const std::string& path);
void ResetUserFolders();

// Replaces the ten folder variables (case-sensitive, every occurrence, in a
// fixed order). A path starting "X:\" is returned unchanged. With the
// Program Files fallback, a path holding fewer than two "%" is placed under
// the Program Files folder.
std::string ExpandFolderVariables(const std::string& path, bool programFilesFallback);

// Creates every missing folder of AddBackslash(path), stopping at the first
// that cannot be made; true on success.
bool EnsureFolderExists(const std::string& path);

// A registry value as text (its last byte dropped as the terminator), or
// empty on any failure, including values longer than 254 bytes.
std::string ReadRegistryString(uint32_t root, const std::string& subkey, const std::string& name);
