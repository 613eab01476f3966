// The uninstall record: "uninstall.dat" in the installation folder, the INI
// file that tells the separate uninstaller (Uninstall.exe, carried among the
// program files) where the program went, which links were made, whether an
// administrator login was needed, the texts it shows in the user's language
// and the user tasks it has to undo.
//
// The package usually carries a prepared record that the copy step has
// already installed (groups Settings with ProgName, Version, MutexString,
// NoDelAll, Script; Files with F0001...; Dirs with D0001...). Those lines are
// the uninstaller's business: only the keys below are written over them,
// each replaced where it stands or added at the end of its group, and every
// other group and key stays as delivered.
//
//   [Settings]   ProgDir ProgExe GUID ProgLink StartMenu DesktopIcon LoginAdmin
//                MadeProgDir (1: the install made ProgDir, which the
//                uninstaller may then empty with "delete all files")
//                MadeParents (how many folders above ProgDir the install
//                made with it; the uninstaller removes them when empty)
//   [Language]   Titel Msg Version UninstInfo DelAll Error Mutex Status Logon
//                User Password RQ_Titel RQ_Msg OK Cancel Ready Login
//   [StartMenu]  Program AddExe Help Homepage Uninstall   (always all five)
//   [UserTask]   Number Task1 Task2 ...
//
// The Language group comes from the loaded language texts (ui/language.h).
#pragma once
#include <string>
#include <vector>

#include "uninstall/uninstall_data.h"  // kMaxMadeParents

// What the record holds besides the language texts; every field is what the
// install settled or made.
struct UninstallRecord {
  std::string installDir;         // the installation folder, ending in "\"
  std::string progExe;            // Settings ProgExe of setup.ini
  std::string guid;               // Info GUID of setup.ini
  std::string progLink;           // name of the program link; empty: ProgExe before its first "."
  std::string startMenuExe;       // StartMenue Exe of setup.ini, for the AddExe link's name
  std::string programMenuFolder;  // full path with "\"; empty when no start-menu links were made
  std::string desktopLinkPath;    // empty when no desktop link was made
  bool loginAdmin = false;        // an administrator login succeeded during this run
  bool installDirCreated = false;  // the install made the folder: Settings MadeProgDir=1
  int parentsCreated = 0;          // Settings MadeParents
  std::vector<std::string> taskRecords;  // "type|..." lines of the task list, in list order
};

// installDir + "uninstall.dat".
std::string UninstallRecordPath(const std::string& installDir);
// The record in installDir says the install made that folder (MadeProgDir
// is 1 and ProgDir names installDir).
bool RecordSaysFolderMade(const std::string& installDir);
// The MadeParents of that record (0 without one), at most kMaxMadeParents.
int RecordedParentsMade(const std::string& installDir);

// Writes setup's keys into installDir + "uninstall.dat", creating the file
// when the package delivered none. Nothing is written outside the
// installation folder. False when the record did not go down whole (a
// full disk, no rights, or a prepared record too large for the INI store):
// the old file, if any, then stays as it was.
bool WriteUninstallRecord(const UninstallRecord& record);
