// The setup run state: one process-wide record that start-up owns for the
// whole run and that the configuration, wizard, install and final stage share.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/program_runner.h"

struct RunOptions {
  bool quiet = false;
  std::string installDirOverride;    // "/P"; empty: not given
  std::string startMenuOverride;     // "/S"; empty: not given
  int8_t hookMode = 1;               // "/R": 1 both hooks, 2 before only, 3 after only
};

// The title until setup.ini names one, also when it names none (spelt so).
const char kDefaultTitle[] = "--- unkown ---";

struct SetupState {
  RunOptions options;

  // Start-up.
  std::string exePath;      // full path of the running executable
  std::string setupFolder;  // folder part of exePath, with its separator
  std::string workFolder;   // temporary folder + GUID + "\"
  std::string iniPath;      // workFolder + "setup.ini"

  // First keys of setup.ini, read at start-up.
  std::string languageList;
  std::string progExe;
  std::string title = kDefaultTitle;
  std::string version;
  std::string guid;
  std::string prgSize;
  std::string mutexName;

  // Settings load.
  std::string installDirConfigured;  // the expanded installation folder
  std::string startMenuConfigured;   // start-menu folder name, not expanded
  std::string progFolderName;        // last component of Settings/DefaultDir
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

  // Install.
  std::string installDir;       // the folder used, with "\"; empty until an install ran
  std::string desktopLinkPath;  // empty when no desktop link was made
  std::string programMenuFolder;

  // Wizard loop flags.
  bool programRunning = false;
  bool cancelled = false;
  bool quit = false;
  bool startFlag = false;
  bool rebootFlag = false;
  Program whileHook = 0;

  // Administrator login.
  void* logonToken = nullptr;
  uint8_t loggedInAsAdmin = 0;

  // Language number (low nine bits of the user's language), 0 when not chosen.
  int32_t languageNumber = 0;
};

SetupState& Setup();
void ResetSetup();
