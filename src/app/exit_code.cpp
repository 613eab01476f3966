#include "app/exit_code.h"

int RunExitCode(const RunOutcome& outcome, bool honest) {
  if (!honest) return kExitInstalled;
  if (outcome.handedOver) return static_cast<int>(outcome.elevatedExitCode);
  if (outcome.startFailed) return kExitNothingInstalled;
  if (outcome.runningCancelled) return kExitCancelled;
  if (outcome.hookStopped) return kExitHookStopped;
  if (outcome.wizardCancelled) return kExitCancelled;
  if (outcome.installDirFailed) return kExitNothingInstalled;
  if (outcome.lackedRights && outcome.filesFailed) return kExitNothingInstalled;
  if (outcome.stepFailed) return kExitStepFailed;
  return kExitInstalled;
}
