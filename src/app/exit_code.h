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
  bool filesFailed = false;       // a program file was not written
  bool lackedRights = false;      // the install needed administrator rights the run did not get
  bool handedOver = false;        // an elevated run did the work; its code is elevatedExitCode
  uint32_t elevatedExitCode = 0;
};

// The exit code of a run. A run that handed its work to an elevated run ends
// with that run's code. A start that failed outweighs everything after it,
// since nothing of the package was there to install; then the reasons the
// install never ran; a folder or files that could not be written for want
// of administrator rights count as nothing installed; then a failed step of
// an install that did.
int RunExitCode(const RunOutcome& outcome, bool honest);
