// The uninstaller's run, from its command line to its exit code:
//
//   Uninstall.exe [/Q] [/L:file]
//     reads uninstall.dat beside itself, refuses a missing or damaged
//     record and a ProgDir that is not its own folder (or is a folder no
//     uninstaller may empty, safety.h) with the Error text and deletes
//     nothing; offers the administrator login when the install needed
//     one; waits while the program holds its MutexString (the Mutex text:
//     OK looks again, Cancel ends); then asks in its dialog (the record's
//     texts, the DelAll box unless NoDelAll) and removes (removal.h). "/Q"
//     runs the same steps without any window: no DelAll, files that tasks
//     copied are kept, and a running program ends the run. "/L:file"
//     writes an audit log as the installer's does: the start, the
//     refusal's reason, each quiet answer, each step of the removal (and
//     each file that stays, with the system's reason) and the end with the
//     exit code.
//   Uninstall.exe [/Q] /ELEVATED ["/L:file"]
//     the same, started by the uninstaller itself through the system's
//     elevation prompt (below); it writes on at the end of the log.
//   COPY.exe /CLEANUP "FOLDER" "NAME.exe" [N]
//     the cleanup copy, see below; N folders above FOLDER (the record's
//     MadeParents) go too when they are empty.
//
// A running program cannot delete its own file, and the installation
// folder cannot go while that file is in it. So once the removal is done
// the uninstaller copies itself to the temporary folder and starts the
// copy with /CLEANUP, naming the folder and its own file name, and ends.
// The copy retries deleting that file until the first process has ended
// (about 30 seconds at most), removes the folder when it is empty, then
// the MadeParents folders above it while they are empty. The copy is
// started holding the only handle that deletes its own file on close, so
// it goes when the copy ends where the system lets the file of a program
// that ran go (Wine does; Windows may keep a mapped image). As the fallback
// it asks the system to delete the copy and its folder at the next restart
// (which needs the rights to do so; otherwise what is left stays in the
// temporary folder, where the system's own clean-up finds it). The copy checks the folder as
// the first process checked ProgDir, so it empties nothing but an ordinary
// folder.
//
// A per-machine install (the machine's uninstall entry points here, or
// this token cannot write the installation folder) needs administrator
// rights to remove. Where the prompt can give them, the uninstaller starts
// itself again elevated, waits and ends with that run's exit code; the
// elevated run's cleanup copy lies in a folder of the Windows folder's Temp
// that only administrators and the system may write. A declined prompt
// goes on with the user's rights; the login of the record is offered only
// where no prompt can help.
//
// Exit codes: 0 removed (or cleanup done), 1 refused (the Error text),
// 2 cancelled by the user or, quietly, because the program runs.
#pragma once
#include <string>
#include <vector>

#include "uninstall/uninstall_data.h"

enum : int { kUninstallDone = 0, kUninstallRefused = 1, kUninstallCancelled = 2 };

struct UninstallOptions {
  bool quiet = false;
  bool elevated = false;  // "/ELEVATED": started through the elevation prompt, never asks again
  std::string auditLogPath;  // "/L:file"
  bool cleanup = false;
  std::string cleanupFolder;
  std::string cleanupName;
  int cleanupParents = 0;  // folders above cleanupFolder to remove when empty
};

// Options from the whole command line (the program's own name first,
// quoted or not). Switches are case-insensitive; arguments may be quoted.
UninstallOptions ReadUninstallOptions(const std::string& commandLine);

// The folders that ProgDir must neither be nor hold: the shell folders of
// the install's folder variables, the Programs folders, the user profile,
// Program Files (both of a 64-bit system) and Common Files.
std::vector<std::string> SystemFolders();
// The record's ProgDir checked as written and in its final form (links
// resolved, long names, stored case); on success data->progDir becomes
// that final form, so the removal works on the path that was judged.
bool JudgeProgDir(UninstallData* data, const std::string& ownFolder);

// The whole run for the uninstaller whose program file is modulePath.
// startCleanup: whether a finished removal starts the cleanup copy (off in
// tests that run the uninstaller in-process).
int RunUninstaller(const std::string& commandLine, const std::string& modulePath, bool startCleanup);
