// The setup configuration: the keys of setup.ini that drive the run, merged
// with the command-line overrides and with the install state that the last
// wizard install left in the registry. Each read fills the record it is
// given; the caller decides where the record lives.
#pragma once
#include <cstdint>
#include <string>

#include "actions/registry.h"  // the install state: InstallStateKey, WriteInstallState
#include "app/command_line.h"

// The title when setup.ini gives none, or is missing.
inline constexpr char kDefaultTitle[] = "--- unknown ---";

// What the start-up read takes from setup.ini.
struct ProductInfo {
  std::string title = kDefaultTitle;  // Info Titel
  std::string version;                // Info Version
  std::string guid;                   // Info GUID, exactly as written
  std::string progExe;                // Settings ProgExe
  std::string prgSize;                // Info PrgSize, a free text
  std::string languageList;           // Settings Language
  std::string mutexName;              // Task MutexString, blanks trimmed
};

// What the settings load derives; nothing changes it afterwards.
struct SetupConfig {
  std::string installDir;       // the expanded installation folder
  std::string startMenuFolder;  // start-menu folder name, not expanded
  std::string progFolderName;   // last component of Settings DefaultDir
  std::string ownFolderName;    // what a shared folder gets appended: the above, else the title
  int32_t desktopDefault = 0;
  std::string progLink;
  std::string progParameter;
  std::string web;
  std::string noCopyExt;
  std::string scriptFile;
  uint8_t startProg = 0;
  uint8_t reboot = 0;
  uint8_t noUninstall = 0;
  uint8_t startMenu = 0;
  uint8_t elevate = 0;  // Settings Elevate: 0 decide by the folder, 1 always, 2 never (app/elevation.h)
};

// Start-up read: Settings Language, ProgExe; Info Titel, Version, GUID,
// PrgSize; Task MutexString (trimmed). A missing setup.ini gives defaults.
void ReadStartupConfig(const std::string& iniPath, ProductInfo* product);

// The installation folder in the form the system gives it (see
// NormalizeFolderPath); one that cannot be made sound is given back as it
// is. A folder that holds more than one program (a drive root, Program
// Files, Windows, the system folder, a shell or user folder such as the
// desktop, Documents, Downloads or AppData) gets programFolderName appended.
// Empty for a folder that cannot be made sound: the install then refuses it.
std::string SoundInstallFolder(const std::string& folder, const std::string& programFolderName);
// Settings load: the install state of product.guid first, then setup.ini's
// groups Info, Settings, StartMenue and Task, settling the installation
// folder ("/P" > previous install > Settings DefaultDir, expanded), the
// start-menu folder ("/S" > previous > StartMenue DefaultDir) and the
// desktop default. ProgLink defaults to product.title.
void LoadSettings(const std::string& iniPath, const RunOptions& options, const ProductInfo& product,
                  SetupConfig* config);

// Last component of a configured default folder: %ProgramFiles%Tools\Viewer,
// C:\Tools\Viewer\ and Viewer all give Viewer; %ProgramFiles% gives "".
std::string ProgramFolderName(const std::string& defaultDir);
