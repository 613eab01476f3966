#include "app/finish.h"

#include "app/setup_state.h"
#include "platform/process.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/program_runner.h"

const char* const kBeforeHook = "BeforeZD.exe";
const char* const kWhileHook = "WhileZD.exe";
const char* const kAfterHook = "AfterZD.exe";

namespace {

bool HookPresent(const char* name) {
  return !Setup().workFolder.empty() && FileExists(Setup().workFolder + name);
}

bool HookModeAllows(bool before) {
  int8_t mode = Setup().options.hookMode;
  return mode == 1 || (before ? mode == 2 : mode == 3);
}

}  // namespace

uint32_t RunBeforeHook() {
  if (!HookModeAllows(true) || !HookPresent(kBeforeHook)) return 0;
  const std::string& work = Setup().workFolder;
  Program hook = RunProgram(work + kBeforeHook, "", work, kRunWait | kRunOpen);
  if (!hook) return 0;
  uint32_t code = ProgramExitCode(hook);
  CloseProgram(hook);
  return code;
}

void StartWhileHook() {
  Setup().whileHook = 0;
  if (!HookPresent(kWhileHook)) return;
  const std::string& work = Setup().workFolder;
  Setup().whileHook = RunProgram(work + kWhileHook, "", work, kRunOpen);
}

void TerminateWhileHook() {
  Program hook = Setup().whileHook;
  if (!hook || !IsProgram(hook) || !ProgramRunning(hook)) return;
  KillProgram(hook);
  CloseProgram(hook);
  Setup().whileHook = 0;
  OsSleep(500);
}

void RunAfterHook() {
  if (!HookModeAllows(false) || !HookPresent(kAfterHook)) return;
  const std::string& work = Setup().workFolder;
  Program hook = RunProgram(work + kAfterHook, "", work, kRunWait | kRunOpen);
  CloseProgram(hook);
}

void DeleteWorkFolder() {
  if (Setup().workFolder.empty()) return;
  DeleteFolder(Setup().workFolder, "*.*", 0);
}

void StartInstalledProgram() {
  const SetupState& s = Setup();
  std::string program = s.installDir + s.progExe;
  if (s.progExe.empty() || !FileExists(program)) return;
  RunProgram(program, "", s.installDir, 0);
}

void RunFinalStage() {
  // An administrator logon made during the run ends with the login work.
  if (!Setup().cancelled) RunAfterHook();
  DeleteWorkFolder();
  if (Setup().rebootFlag) {
    OsPromptReboot();
    return;
  }
  if (Setup().startFlag) StartInstalledProgram();
}
