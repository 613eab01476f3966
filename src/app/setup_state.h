// The setup run state: one process-wide record that start-up owns for the
// whole run, made of one sub-record per writer. Only the drivers (SetupMain,
// the wizard flow and the install) reach it through Setup(); everything
// below them is handed the sub-records it reads and fills.
#pragma once
#include <cstdint>

#include "app/command_line.h"
#include "app/config.h"
#include "app/elevation.h"
#include "app/install.h"
#include "app/startup.h"
#include "platform/logon.h"
#include "runtime/program_runner.h"

// The flags of the wizard loop and the final stage.
struct RunFlags {
  bool cancelled = false;
  bool quit = false;
  bool start = false;   // start the installed program at the end
  bool reboot = false;  // ask for a restart at the end
  bool programRunning = false;
  Program whileHook = 0;
};

// The administrator login, when one was made.
struct LoginState {
  OsLogon logonToken = 0;  // the process acts as it while non-zero
  uint8_t loggedInAsAdmin = 0;
};

struct SetupState {
  RunOptions options;       // command line
  RunPaths paths;           // start-up: executable, setup folder, work folder, setup.ini
  ProductInfo product;      // start-up read of setup.ini
  SetupConfig config;       // settings load; read-only after it
  InstallChoices choices;   // wizard output, or the quiet install's defaults
  InstallResult installed;  // what the install did
  RunFlags flags;           // wizard loop and final stage
  LoginState login;         // administrator login
  ElevationState elevation; // the elevation prompt and the elevated run
  // Language number (low nine bits of the user's language), 0 when not chosen.
  int32_t languageNumber = 0;
  std::string languageFile;  // the language file used, empty for the built-in texts
};

SetupState& Setup();
void ResetSetup();
