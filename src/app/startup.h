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
// into the Windows folder's Temp, where the user who started setup can
// neither add nor rename anything.
void PrepareWorkFolderName(RunPaths* paths, bool elevated = false);
// Creates the work folder, private to this account and only where nothing
// is (one retry after the login); the copy-error box when that fails. A run
// without its work folder installs nothing. An elevated run's folder belongs
// to the administrators, so the user's own unelevated processes are shut out.
bool CreateWorkFolder(const std::string& work);
// Extracts the package appended to the executable into the work folder.
// With showProgress, a block large enough to take a noticeable time (a
// solid setup.pck) is expanded under a small progress window
// (ui/unpack_window.h), which stays open through HoldWorkFiles until
// CloseUnpackProgress.
bool UnpackSetupFiles(const RunPaths& paths, bool showProgress = false);
// Holds every unpacked file of the work folder open so that nobody may
// write, rename or delete it, and checks that each holds the bytes of its
// entry in the executable's package; the files the run reads or runs later
// (setup.pck, the hooks, the script) are used only while held. False, after
// the copy-error box, when a file cannot be held or was changed after its
// unpacking: the run then installs nothing. Entries that were not unpacked
// (damaged, refused names) are not held and count as absent.
bool HoldWorkFiles(const RunPaths& paths, bool showProgress = false);
// path is a file that HoldWorkFiles holds (any case). Before any hold is
// made (a caller that put the work folder's files in place itself, as the
// tests do), every file that is there counts.
bool IsHeldWorkFile(const std::string& path);
// Closes the held files and ends the hold; DeleteWorkFolder does it first.
void ReleaseWorkFiles();
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
