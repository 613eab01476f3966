// Removing an installation that uninstall.dat describes, in an order that
// never leaves a link pointing at a file already gone:
//
//   1 the task records, last first: links (types 0-4) deleted; files that
//     a task copied (type 5) deleted only when the user agrees (one Yes/No
//     question for all of them; a quiet run keeps them); registry values
//     (type 6) deleted, with keys they leave empty; components (type 9)
//     inside the installation folder unregistered with "regsvr32.exe /u /s"
//     and deleted; associations (type 10) removed while they still open
//     the program in the installation folder, each extension given back
//     the type it had before the install (ZandorPrevious beside it)
//   2 the start-menu links of group StartMenu and the program menu folder
//     when it is empty (and its parents up to the Programs folder)
//   3 the desktop link
//   4 the files of group Files
//   5 with deleteAll: everything else in the installation folder
//   6 the folders of group Dirs when empty, deepest first
//   7 the uninstall entry (only while its UninstallString names this
//     installation folder) and the install-state key (only while its
//     InstallDir does)
//   8 uninstall.dat
//
// The uninstaller's own program file and the installation folder itself
// are left for the cleanup copy (uninstall_run.h). Each step tries its
// entries one by one and goes on past a failure. The caller has checked
// ProgDir (safety.h); every entry is checked again here.
#pragma once
#include <string>
#include <vector>

#include "uninstall/uninstall_data.h"

struct RemovalChoices {
  bool quiet = false;      // no question is asked; copied files are kept
  bool deleteAll = false;  // every file of the folder goes
  std::string ownExeName;  // the running uninstaller's file name, never deleted here
};

// What the removal did, one line per thing removed or kept, in order:
// "file PATH", "link PATH", "folder PATH", "kept PATH", "value ROOT\KEY|NAME",
// "restored ROOT\KEY|=TYPE", "key ROOT\KEY", "unregister PATH", "skipped
// ENTRY" (refused by the checks).
struct RemovalReport {
  std::vector<std::string> lines;
};

void RemoveInstallation(const UninstallData& data, const RemovalChoices& choices, RemovalReport* report);
