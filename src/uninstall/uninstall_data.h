// What the uninstaller reads from "uninstall.dat" beside it. The file is an
// INI file (runtime/ini.h) in this layout; the install writes the groups
// Settings (its keys), Language, StartMenu and UserTask over a record that
// the package may have delivered prepared (zandor build writes one) with
// the Settings keys ProgName ... Script and the groups Files and Dirs:
//
//   [Settings]  ProgDir      installation folder, ending in "\"
//               ProgExe GUID ProgLink
//               StartMenu    program menu folder ("\" at the end) or empty
//               DesktopIcon  full path of the desktop link or empty
//               LoginAdmin   1: the install needed an administrator login
//               ProgName Version MutexString
//               NoDelAll     1: the "delete all files" box is not offered
//               MadeProgDir  1: the install made ProgDir; without it the
//                            box is not offered either
//               MadeParents  how many folders above ProgDir the install
//                            made (capped at kMaxMadeParents)
//               Script       read and ignored: this uninstaller runs no script
//   [Files]     F0001, F0002 ...  file paths relative to ProgDir
//   [Dirs]      D0001, D0002 ...  folder paths relative to ProgDir, "\" at the end
//   [Language]  Titel Msg Version UninstInfo DelAll Error Mutex Status Logon
//               User Password RQ_Titel RQ_Msg OK Cancel Ready Login, and
//               optionally DelFiles (the question before files that task
//               lines copied are deleted; no install writes it)
//   [StartMenu] Program AddExe Help Homepage Uninstall   full link paths
//   [UserTask]  Number, Task1 ... TaskN   "type|field|..." task records
//
// Numbered keys are read from 1 up to the first one missing (an empty value
// is skipped, not an end); a missing text keeps the built-in English one.
// Counts from the file are capped before anything is kept.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

enum UninstallText {
  kUnTitel,
  kUnMsg,
  kUnVersion,
  kUnUninstInfo,
  kUnDelAll,
  kUnError,
  kUnMutex,  // two lines: "|" is the line break
  kUnStatus,
  kUnLogon,
  kUnUser,
  kUnPassword,
  kUnRqTitel,
  kUnRqMsg,
  kUnOk,
  kUnCancel,
  kUnReady,
  kUnLogin,
  kUnDelFiles,
  kUnTextCount
};

enum StartMenuLinkKey { kLinkProgram, kLinkAddExe, kLinkHelp, kLinkHomepage, kLinkUninstall, kLinkKeyCount };

// A cap on what a record may list; Files and Dirs have none but the size
// of the file that the INI store opens.
const int kMaxTaskRecords = 10000;        // UserTask Number
const int kMaxMadeParents = 32;           // Settings MadeParents

struct UninstallData {
  std::string progDir;
  std::string progExe;
  std::string guid;
  std::string progLink;
  std::string startMenu;
  std::string desktopIcon;
  bool loginAdmin = false;
  std::string progName;
  std::string version;
  std::string mutexString;
  bool noDelAll = false;
  bool madeProgDir = false;  // MadeProgDir=1: "delete all files" may be offered
  int madeParents = 0;       // MadeParents, 0 to kMaxMadeParents
  std::vector<std::string> files;
  std::vector<std::string> dirs;
  std::string startMenuLinks[kLinkKeyCount];
  std::vector<std::string> tasks;
  std::string texts[kUnTextCount];
};

enum UninstallDataResult {
  kDataRead,
  kDataMissing,  // no file (or one too large for the INI store)
  kDataDamaged,  // no Settings group, or no ProgDir in it
};

// Reads the record at path. Whatever the result, data->texts holds every
// text (the file's where it has them, else the built-in ones), so that the
// Error text can always be shown.
UninstallDataResult ReadUninstallData(const std::string& path, UninstallData* data);

// The record's Mutex text as a message: "$Titel" filled with the program's
// name, each "|" a line break.
std::string MutexMessage(const UninstallData& data);
