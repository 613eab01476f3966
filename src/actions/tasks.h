// The task list: the extra work that group UserTask of setup.ini asks of an
// install after the start-menu links (further links, confirmed copies,
// registry and INI values, components to register or run, file
// associations), and the task records that tell the uninstaller what to
// undo.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// What the task list takes from the run. Folders end in "\".
struct TaskListRun {
  std::string iniPath;            // setup.ini in the work folder
  std::string installDir;         // %InstallDir% and %ProgDir%
  std::string workFolder;         // where copied files and components come from
  std::string programMenuFolder;  // %StartMenuDir%; empty when no start-menu links were made
  int32_t languageNumber = 0;     // %LanguageID%
  OsWindow owner = 0;             // the wizard window over which dialogs open; 0 in a quiet install
};

// Runs every task line in order and answers the task records in the order
// the tasks ran ("type|..."), for group UserTask of uninstall.dat. No task
// reports a failure and none stops the list.
std::vector<std::string> RunTaskList(const TaskListRun& run);
