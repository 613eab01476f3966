#include "app/hooks.h"

#include "app/command_line.h"
#include "app/startup.h"
#include "platform/process.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"

const char* const kBeforeHook = "BeforeZD.exe";
const char* const kWhileHook = "WhileZD.exe";
const char* const kAfterHook = "AfterZD.exe";

namespace {

// Only a hook that came in the package and is held since its unpacking
// runs: a file another process put into the work folder does not.
bool HookPresent(const std::string& workFolder, const char* name) {
  return !workFolder.empty() && IsHeldWorkFile(workFolder + name);
}

bool HookModeAllows(int8_t mode, bool before) {
  return mode == kHookModeBoth || (before ? mode == kHookModeBeforeOnly : mode == kHookModeAfterOnly);
}

}  // namespace

uint32_t RunBeforeHook(const std::string& workFolder, int8_t hookMode) {
  if (!HookModeAllows(hookMode, true) || !HookPresent(workFolder, kBeforeHook)) return 0;
  Program hook = RunProgram(workFolder + kBeforeHook, "", workFolder, kRunWait | kRunOpen);
  if (!hook) AuditStep("hook", "", false, kBeforeHook, "cannot be started");
  if (!hook) return 0;
  uint32_t code = ProgramExitCode(hook);
  CloseProgram(hook);
  AuditLine(std::string("hook  ") + kBeforeHook + "  exit " + std::to_string(code));
  return code;
}

Program StartWhileHook(const std::string& workFolder) {
  if (!HookPresent(workFolder, kWhileHook)) return 0;
  Program hook = RunProgram(workFolder + kWhileHook, "", workFolder, kRunOpen);
  AuditStep("hook", "started", hook != 0, kWhileHook, "cannot be started");
  return hook;
}

void TerminateWhileHook(Program* hook) {
  if (!*hook || !IsProgram(*hook) || !ProgramRunning(*hook)) return;
  KillProgram(*hook);
  CloseProgram(*hook);
  *hook = 0;
  OsSleep(500);
}

void RunAfterHook(const std::string& workFolder, int8_t hookMode) {
  if (!HookModeAllows(hookMode, false) || !HookPresent(workFolder, kAfterHook)) return;
  Program hook = RunProgram(workFolder + kAfterHook, "", workFolder, kRunWait | kRunOpen);
  if (!hook) AuditStep("hook", "", false, kAfterHook, "cannot be started");
  if (hook) AuditLine(std::string("hook  ") + kAfterHook + "  exit " + std::to_string(ProgramExitCode(hook)));
  CloseProgram(hook);
}
