// The version dialog of the confirmed copy: before a file outside the
// installation is replaced, the user sees the version resource of the
// installed file beside that of the file the setup brings, and answers Yes
// (replace) or No (keep).
#pragma once
#include <string>

#include "platform/window.h"

// "FileVersion|FileDescription|language name" of the file's version
// resource; "||" for a missing, empty or folder path and for a file without
// a version resource.
std::string GetFileVersionText(const std::string& path);

// What a frame of the dialog shows for one file.
struct VersionRows {
  std::string version;      // FileVersion, else the file's creation time
  std::string language;     // else FileVersion/NotAvailable
  std::string description;  // else FileVersion/NotAvailable
};
// The rows for a version text: an empty version gives the file's creation
// time in local time as "%yyyy-%mm-%dd  %hh:%ii" (NotAvailable when the
// file has none to give); the other two rows show NotAvailable when empty.
VersionRows VersionDialogRows(const std::string& versionText, const std::string& path);

// The dialog's two buttons, for drivers and tests that answer it.
enum : int { kVersionDialogYes = 16, kVersionDialogNo = 17 };

// The copy that Yes runs while the dialog is still open; its outcome does
// not change the answer.
typedef bool (*ReplaceFileFn)(const std::string& source, const std::string& target);

// The dialog, 340 x 236, centred on owner (0: on the screen), which is
// disabled while it is open; titled " " + FileVersion/Window + "  '" + the
// source's file name + "'". Yes runs replace(source, target) and answers
// true; No answers false. The close box and every other event are ignored.
// False when the window cannot be opened. A quiet run shows nothing and
// answers No: the installed file stays.
bool ShowVersionDialog(OsWindow owner, const std::string& source, const std::string& target,
                       ReplaceFileFn replace);
