// The setup configuration: the keys of setup.ini that drive the run, merged
// with the command-line overrides and with the install state that the last
// wizard install left in the registry. Everything lands in Setup().
#pragma once
#include <string>

// Start-up read: Settings Language, ProgExe; Info Titel, Version, GUID,
// PrgSize; Task MutexString (trimmed). A missing setup.ini gives defaults.
void ReadStartupConfig();

// Settings load: the install state first, then setup.ini's groups Info,
// Settings, StartMenue and Task, settling the installation folder ("/P" >
// previous install > Settings DefaultDir, expanded), the start-menu folder
// ("/S" > previous > StartMenue DefaultDir) and the desktop default.
void LoadSettings();

// HKEY_CURRENT_USER key of the install state: "SOFTWARE\Zandor\" + GUID.
std::string InstallStateKey();

// Stores the wizard's final choices for the next install; nothing is
// written when the GUID is empty. desktopIcon is "1" or "0".
void WriteInstallState(const std::string& installDir, const std::string& startMenu,
                       const std::string& desktopIcon);

// Last component of a configured default folder: %ProgramFiles%Tools\Viewer,
// C:\Tools\Viewer\ and Viewer all give Viewer; %ProgramFiles% gives "".
std::string ProgramFolderName(const std::string& defaultDir);
