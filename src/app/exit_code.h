// How a setup run ended, and the exit code that tells it under "/E".
// Without "/E" every run exits with 0.
#pragma once
#include <cstdint>

enum : int {
  kExitInstalled = 0,         // the install ran and every step did its work
  kExitCancelled = 1,         // the user cancelled: wizard Cancel or close, Cancel on the running warning
  kExitHookStopped = 2,       // the before-hook's exit code stopped the run
  kExitStepFailed = 3,        // the install ran, but a file or step failed
  kExitNothingInstalled = 4,  // work folder, outer package or installation folder failed
};

// What the run recorded on its way; SetupMain fills it.
struct RunOutcome {
  bool startFailed = false;       // the work folder or the outer package failed
  bool runningCancelled = false;  // Cancel on the running-program warning
  bool hookStopped = false;       // the before-hook stopped the run
  bool wizardCancelled = false;   // the wizard ended without its install
  bool installDirFailed = false;  // the installation folder could not be made
  bool stepFailed = false;        // a file or another step of the install failed
};

// The exit code of a run. A start that failed outweighs everything after
// it, since nothing of the package was there to install; then the reasons
// the install never ran; then a failed step of an install that did.
int RunExitCode(const RunOutcome& outcome, bool honest);
