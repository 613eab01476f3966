// The steps of start-up, in the order SetupMain runs them. Each takes what
// it reads and returns or fills what it makes, so tests can run any part of
// the sequence on records of their own.
#pragma once
#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "app/config.h"

// Where the run finds itself and its files; fixed by start-up step 3.
struct RunPaths {
  std::string exePath;      // full path of the running executable
  std::string setupFolder;  // folder part of exePath, with its separator
  std::string workFolder;   // temporary folder + GUID + "\"; empty when there is none
  std::string iniPath;      // workFolder + "setup.ini"; empty without a work folder
};

// Restricts DLL loading and loads the built-in texts for product.
void InitRuntime(const ProductInfo& product);
// Sets *options to the defaults, then reads the process's command line.
void ReadRunOptions(RunOptions* options);
// Names a fresh work folder, fills *paths and publishes the setup folder as
// "SetupExeDir". Nothing is created yet. An elevated run (elevated) puts it
// into the Windows folder's Temp, where the user who started setup cannot
// put files of his own beside the ones it will run.
void PrepareWorkFolderName(RunPaths* paths, bool elevated = false);
// Creates the work folder (one retry after the login); the copy-error box
// when that fails. An elevated run's folder is writable by administrators
// and the system only.
bool CreateWorkFolder(const std::string& work, bool elevated = false);
// Extracts the package appended to the executable into the work folder.
bool UnpackSetupFiles(const RunPaths& paths);
// Start-up read of setup.ini, then the language: chosen from the list (the
// choice dialog when the user's language is not listed) and loaded. A
// chosen file (an elevated run's handover) is taken as it is when the list
// holds it. Answers the file name used, empty for the built-in texts.
std::string ReadConfigurationAndLanguage(const RunPaths& paths, ProductInfo* product, int32_t* languageNumber,
                                         const std::string& chosen = std::string());
// The program-running check and its warning. *programRunning tells whether
// the program counted as running; the answer is false when the user
// cancelled the warning (the work folder is then deleted) and true when the
// run goes on.
bool WarnIfProgramRunning(const ProductInfo& product, const std::string& workFolder, bool* programRunning);
