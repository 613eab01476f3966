#include "app/config.h"

#include <cstdint>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/registry.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/text.h"

void ReadStartupConfig(const std::string& iniPath, ProductInfo* product) {
  IniOpen(iniPath);
  IniSelectGroup("Settings");
  product->languageList = IniReadString("Language");
  product->progExe = IniReadString("ProgExe");
  IniSelectGroup("Info");
  product->title = IniReadString("Titel", kDefaultTitle);
  product->version = IniReadString("Version");
  product->guid = IniReadString("GUID");
  product->prgSize = IniReadString("PrgSize");
  IniSelectGroup("Task");
  product->mutexName = TrimBlanks(IniReadString("MutexString"));
  IniClose();
}

std::string ProgramFolderName(const std::string& defaultDir) {
  std::string rest = defaultDir;
  if (CountChar(rest, '%') == 2) rest = rest.substr(rest.rfind('%') + 1);
  // The last non-empty component between "\" separators.
  size_t end = rest.size();
  while (end > 0 && rest[end - 1] == '\\') end--;
  size_t start = rest.rfind('\\', end == 0 ? 0 : end - 1);
  start = (start == std::string::npos || end == 0) ? 0 : start + 1;
  return rest.substr(start, end - start);
}

namespace {

// Folders that hold other things than one program: installing into one of
// them, and uninstalling from it later, would mix with or remove the rest.
bool IsSharedFolder(const std::string& folder) {
  std::string bare = folder;
  while (bare.size() > 3 && bare.back() == '\\') bare.pop_back();
  if (bare.size() == 3 && bare[1] == ':' && bare[2] == '\\') return true;  // a drive root
  if (bare.size() == 2 && bare[1] == ':') return true;
  static const int32_t kShared[] = {kFolderProgramFiles, kFolderWindows, kFolderSystem, kFolderCommonFiles,
                                    kFolderAppData,      kFolderDesktop, kFolderPersonal, kFolderFonts,
                                    kFolderPrograms,     kFolderStartup, kFolderCommonPrograms,
                                    28 /* local AppData */, 35 /* common AppData */, 40 /* the user's profile */};
  const std::string withSeparator = bare + "\\";
  for (int32_t id : kShared) {
    const std::string path = GetFolderPath(id);
    if (!path.empty() && EqualNoCase(path, withSeparator)) return true;
  }
  const std::string profile = GetFolderPath(40);
  for (const char* name : {"Downloads\\", "Documents\\", "Music\\", "Pictures\\", "Videos\\"}) {
    if (!profile.empty() && EqualNoCase(profile + name, withSeparator)) return true;
  }
  return false;
}

// The name of the program's own folder when DefaultDir names none (it is
// missing, or a bare root): the title, without what a file name cannot hold.
std::string OwnFolderName(const std::string& progFolderName, const std::string& title) {
  if (!progFolderName.empty()) return progFolderName;
  if (title == kDefaultTitle) return "Program";
  std::string name;
  for (char c : title) {
    if (static_cast<unsigned char>(c) < 32 || std::string("\\/:*?\"<>|%").find(c) != std::string::npos) continue;
    name += c;
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  return name.empty() ? "Program" : name;
}

}  // namespace

std::string SoundInstallFolder(const std::string& folder, const std::string& programFolderName) {
  // Once, before the folder is used or recorded: the uninstaller later
  // compares its own place with the recorded one, which must be the form the
  // system gives it.
  std::string sound;
  if (!NormalizeFolderPath(folder, &sound)) return std::string();
  if (programFolderName.empty() || !IsSharedFolder(sound)) return sound;
  const bool closing = sound.size() > 3 && sound.back() == '\\';  // not a root's own
  return AddBackslash(sound) + programFolderName + (closing ? "\\" : "");
}

void LoadSettings(const std::string& iniPath, const RunOptions& options, const ProductInfo& product,
                  SetupConfig* config) {
  // With an empty GUID this reads the bare "SOFTWARE\Zandor\" key.
  std::string stateKey = InstallStateKey(product.guid);
  std::string previousInstallDir = ReadRegistryString(kHkeyCurrentUser, stateKey, "InstallDir");
  std::string previousStartMenu = ReadRegistryString(kHkeyCurrentUser, stateKey, "StartMenu");
  std::string previousDesktop = ReadRegistryString(kHkeyCurrentUser, stateKey, "DesktopIcon");

  IniOpen(iniPath);

  IniSelectGroup("Info");
  config->web = IniReadString("Web");

  IniSelectGroup("Settings");
  std::string defaultDir = IniReadString("DefaultDir", previousInstallDir);
  config->progFolderName = ProgramFolderName(defaultDir);
  config->ownFolderName = OwnFolderName(config->progFolderName, product.title);
  std::string installDir = !options.installDirOverride.empty() ? options.installDirOverride
                           : !previousInstallDir.empty()       ? previousInstallDir
                                                               : defaultDir;
  config->installDir = SoundInstallFolder(ExpandFolderVariables(installDir, true), config->ownFolderName);
  config->noCopyExt = IniReadString("NoCopyExt");
  config->elevate = static_cast<uint8_t>(IniReadNumber("Elevate", 0));

  IniSelectGroup("StartMenue");
  if (!options.startMenuOverride.empty()) {
    config->startMenuFolder = options.startMenuOverride;
  } else if (!previousStartMenu.empty()) {
    config->startMenuFolder = previousStartMenu;
  } else {
    config->startMenuFolder = IniReadString("DefaultDir");
  }
  config->progLink = IniReadString("ProgLink", product.title);

  IniSelectGroup("Task");
  config->desktopDefault = !previousDesktop.empty() ? TextToInt(previousDesktop) : IniReadNumber("Desktop", 0);
  config->progParameter = IniReadString("ProgParameter");
  config->startProg = static_cast<uint8_t>(IniReadNumber("StartProg", 0));
  config->reboot = static_cast<uint8_t>(IniReadNumber("Reboot", 0));
  config->noUninstall = static_cast<uint8_t>(IniReadNumber("NoUninstall", 0));
  config->startMenu = static_cast<uint8_t>(IniReadNumber("StartMenu", 0));
  config->scriptFile = IniReadString("ScriptFile");

  IniClose();
}
