// The install: one ordered table of steps that the quiet install and the
// wizard install both run, each step taking what it needs from an
// InstallContext.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/startup.h"
#include "platform/window.h"
#include "ui/language.h"

// What the install is asked to do: the wizard's fields and boxes, or in the
// quiet install the settings load's defaults.
struct InstallChoices {
  std::string installDir;       // a trailing "\" is added when missing
  std::string startMenuFolder;  // start-menu folder name
  bool desktop = false;         // make the desktop shortcut
  bool startMenu = false;       // make the start-menu shortcuts
  bool startProgram = false;    // start the program when setup ends
};

// What the install did, kept for the uninstall record and the final stage.
struct InstallResult {
  std::string installDir;         // the folder used, with "\"; empty until an install ran
  std::string desktopLinkPath;    // empty when no desktop shortcut was made
  std::string programMenuFolder;  // fixed by the start-menu shortcuts; empty when none were made
  std::vector<std::string> startMenuLinkFiles;  // the start-menu links asked of the shell, in order
  std::vector<std::string> taskRecords;  // "type|..." lines for the uninstall record
  bool ran = false;               // the install's steps ran
  bool installDirFailed = false;  // the installation folder could not be made
  bool stepFailed = false;        // a program file or the uninstall record did not go down
  bool filesFailed = false;       // a program file did not go down
  // This install, or the one before it that recorded so, made the folder.
  bool installDirCreated = false;
  // How many folders above it this install (or the one before that
  // recorded so) made on the way, nearest first.
  int parentsCreated = 0;
};

// The install page's progress bar, in the units of ProgressBarUnits.
struct InstallProgress {
  void (*setMaximum)(uint32_t units);
  void (*setPosition)(uint32_t units);
};

// A count of copied bytes on the progress bar, whose range is a signed
// 32-bit number: the count itself while the total stays below 2 GiB, beyond
// that count and total halved as often as the total needs. A count above
// the total shows as the total, so the bar never runs past its end nor,
// by wrapping, back to its start.
uint32_t ProgressBarUnits(uint64_t count, uint64_t total);

// The install page's log list.
struct InstallLog {
  void (*add)(const std::string& line);
  void (*replaceLast)(const std::string& line);
};

struct InstallContext {
  const RunPaths* paths = nullptr;
  const ProductInfo* product = nullptr;
  const SetupConfig* config = nullptr;
  const InstallChoices* choices = nullptr;
  InstallResult* result = nullptr;
  const InstallProgress* progress = nullptr;  // null: no progress bar (quiet)
  const InstallLog* log = nullptr;            // null: no install log (quiet)
  // Handles pending window events: after the steps that ask for it and
  // during the copy, between files and between the pieces of a large one.
  // Null: none (the quiet install).
  void (*drain)() = nullptr;
  // The wizard install: it shows the copy error; the quiet install does not.
  bool wizard = false;
  const uint8_t* loggedInAsAdmin = nullptr;  // the run's login flag, read when the record is written
  OsWindow window = 0;         // the wizard window, over which the task list's dialogs open; 0: quiet
  int32_t languageNumber = 0;  // %LanguageID% of the task list

  // Filled by the steps for the steps after them.
  std::string author;       // Info Author
  std::string email;        // Info EMail
  bool copyFailed = false;  // a program file that should have been written was not
  bool diskFull = false;    // a program file failed for want of room on the volume
  bool halted = false;      // nothing of the program went down: the steps after the copy do not run
  uint64_t programBytes = 0;  // the program files' size in the package, for the uninstall entry
};

// A step's log text when it has none.
const TextId kNoLogLine = kTextCount;

// One step of the install. When applies is null or answers true, the loop
// adds the log line (when there is a log and a text), runs the step, then
// drains when drainAfter is set. A step fails silently: the next one runs.
struct InstallStep {
  TextId logText;
  bool (*applies)(const InstallContext& context);
  void (*run)(InstallContext* context);
  bool drainAfter;
};

// Runs every step of the table in its fixed order.
void RunInstall(InstallContext* context);

// Log lines 1 and 2 of the install: the title line and the author line
// (none when Author and EMail are both empty).
std::vector<std::string> InstallHeaderLines(const std::string& title, const std::string& version,
                                            const std::string& date, const std::string& author,
                                            const std::string& email);

// The install of the wizard's Install button, on the run state and the
// install page of the wizard window: the choices from the fields and boxes,
// progress and log on the page, and the page left in its finished state
// (Finish instead of Cancel, the start-program box for an "exe").
void RunWizardInstall(OsWindow window);
// The choices that the settings page's fields and boxes hold now, and the
// other way round, choices put into them.
InstallChoices WizardChoices(OsWindow window, const SetupConfig& config);
void ShowWizardChoices(OsWindow window, const InstallChoices& choices);

// ProgExe names a program that can be started: its extension, in any case,
// is "exe". Anything else is neither started nor offered a desktop box.
bool IsExeProgram(const std::string& progExe);

// The install without wizard ("/Q") on the run state, including its own
// after-hook, clean-up and restart prompt.
void RunQuietInstall();
