#include "app/config.h"

#include <cstdint>

#include "actions/folders.h"
#include "app/setup_state.h"
#include "platform/registry.h"
#include "runtime/ini.h"
#include "runtime/text.h"

namespace {

// A text value stored with its terminating zero, so ReadRegistryString (which
// drops the last byte) reads it back whole.
void WriteStateValue(OsKey key, const char* name, const std::string& value) {
  OsRegSetValue(key, name, kRegSz, value.c_str(), static_cast<uint32_t>(value.size() + 1));
}

}  // namespace

std::string InstallStateKey() { return "SOFTWARE\\Zandor\\" + Setup().guid; }

void ReadStartupConfig() {
  SetupState& s = Setup();
  IniOpen(s.iniPath);
  IniSelectGroup("Settings");
  s.languageList = IniReadString("Language");
  s.progExe = IniReadString("ProgExe");
  IniSelectGroup("Info");
  s.title = IniReadString("Titel", kDefaultTitle);
  s.version = IniReadString("Version");
  s.guid = IniReadString("GUID");
  s.prgSize = IniReadString("PrgSize");
  IniSelectGroup("Task");
  s.mutexName = TrimBlanks(IniReadString("MutexString"));
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

void LoadSettings() {
  SetupState& s = Setup();

  // With an empty GUID this reads the bare "SOFTWARE\Zandor\" key.
  std::string stateKey = InstallStateKey();
  std::string previousInstallDir = ReadRegistryString(kHkeyCurrentUser, stateKey, "InstallDir");
  std::string previousStartMenu = ReadRegistryString(kHkeyCurrentUser, stateKey, "StartMenu");
  std::string previousDesktop = ReadRegistryString(kHkeyCurrentUser, stateKey, "DesktopIcon");

  IniOpen(s.iniPath);

  IniSelectGroup("Info");
  s.web = IniReadString("Web");

  IniSelectGroup("Settings");
  std::string defaultDir = IniReadString("DefaultDir", previousInstallDir);
  s.progFolderName = ProgramFolderName(defaultDir);
  std::string installDir = !s.options.installDirOverride.empty() ? s.options.installDirOverride
                           : !previousInstallDir.empty()         ? previousInstallDir
                                                                 : defaultDir;
  s.installDirConfigured = ExpandFolderVariables(installDir, true);
  s.noCopyExt = IniReadString("NoCopyExt");

  IniSelectGroup("StartMenue");
  if (!s.options.startMenuOverride.empty()) {
    s.startMenuConfigured = s.options.startMenuOverride;
  } else if (!previousStartMenu.empty()) {
    s.startMenuConfigured = previousStartMenu;
  } else {
    s.startMenuConfigured = IniReadString("DefaultDir");
  }
  s.progLink = IniReadString("ProgLink", s.title);

  IniSelectGroup("Task");
  s.desktopDefault = !previousDesktop.empty() ? TextToInt(previousDesktop) : IniReadNumber("Desktop", 0);
  s.progParameter = IniReadString("ProgParameter");
  s.startProg = static_cast<uint8_t>(IniReadNumber("StartProg", 0));
  s.reboot = static_cast<uint8_t>(IniReadNumber("Reboot", 0));
  s.noUninstall = static_cast<uint8_t>(IniReadNumber("NoUninstall", 0));
  s.startMenu = static_cast<uint8_t>(IniReadNumber("StartMenu", 0));
  s.scriptFile = IniReadString("ScriptFile");

  IniClose();
}

void WriteInstallState(const std::string& installDir, const std::string& startMenu,
                       const std::string& desktopIcon) {
  if (Setup().guid.empty()) return;
  std::string stateKey = InstallStateKey();
  const char* names[3] = {"InstallDir", "StartMenu", "DesktopIcon"};
  const std::string* values[3] = {&installDir, &startMenu, &desktopIcon};
  // One create per value, as each value is an independent registry write.
  for (int i = 0; i < 3; i++) {
    OsKey key = nullptr;
    if (!OsRegCreateKey(kHkeyCurrentUser, stateKey, &key)) continue;
    WriteStateValue(key, names[i], *values[i]);
    OsRegCloseKey(key);
  }
}
