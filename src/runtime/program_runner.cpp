#include "runtime/program_runner.h"

#include <vector>

#include "platform/lock.h"
#include "platform/process.h"
#include "runtime/filesys.h"

namespace {

struct ProgramObject {
  OsHandle process = nullptr;
  int32_t id = -1;  // -1 for a start through the shell
};

// The list of open programs; every access holds the lock, which is made
// while the process starts, before its entry point runs.
const OsLock g_programsLock = OsCreateLock();
std::vector<ProgramObject*>& OpenPrograms() {
  static std::vector<ProgramObject*> list;
  return list;
}

ProgramObject* Find(Program program) {
  if (program == 0) return nullptr;
  OsEnterLock(g_programsLock);
  ProgramObject* found = nullptr;
  for (ProgramObject* p : OpenPrograms()) {
    if (reinterpret_cast<Program>(p) == program) found = p;
  }
  OsLeaveLock(g_programsLock);
  return found;
}

Program Keep(OsHandle process, int32_t id) {
  ProgramObject* p = new ProgramObject{process, id};
  OsEnterLock(g_programsLock);
  OpenPrograms().push_back(p);
  OsLeaveLock(g_programsLock);
  return reinterpret_cast<Program>(p);
}

}  // namespace

std::string BuildProgramCommandLine(const std::string& program, const std::string& parameters) {
  std::string line = !program.empty() && program[0] == '"' ? program : '"' + program + '"';
  if (!parameters.empty()) line += ' ' + parameters;
  return line;
}

Program RunProgram(const std::string& program, const std::string& parameters,
                   const std::string& folder, uint32_t flags) {
  bool hide = (flags & kRunHide) != 0;
  OsStartedProcess started;
  if (OsCreateProcess(BuildProgramCommandLine(program, parameters), folder, hide, &started)) {
    if (flags & kRunWait) OsWaitProcess(started.process, -1);
    if (flags & kRunOpen) return Keep(started.process, started.id);
    OsCloseProcess(started.process);
    return 1;
  }
  // The shell's "open" covers documents, addresses and programs that the
  // direct start cannot take. Without a working folder it gets the program's
  // own, up to its last "\" when that stands after the first character.
  std::string shellFolder = folder;
  if (shellFolder.empty()) {
    std::string own = FolderPart(program, "\\");
    if (own.size() > 1) shellFolder = own;
  }
  OsHandle process = nullptr;
  if (!OsShellOpen(program, parameters, shellFolder, hide, &process)) return 0;
  if ((flags & kRunWait) && process) OsWaitProcess(process, -1);
  if (flags & kRunOpen) return Keep(process, -1);
  OsCloseProcess(process);
  return 1;
}

uint32_t ProgramExitCode(Program program) {
  ProgramObject* p = Find(program);
  if (!p) return 0;
  if (!p->process) return kStillActive;
  return OsProcessExitCode(p->process);
}

bool ProgramRunning(Program program) {
  ProgramObject* p = Find(program);
  if (!p) return false;
  if (!p->process) return true;  // a shell start without a handle
  return !OsWaitProcess(p->process, 0);
}

bool KillProgram(Program program) {
  ProgramObject* p = Find(program);
  if (!p || !p->process) return false;
  return OsTerminateProcess(p->process, 0xFFFFFFFFu);
}

void CloseProgram(Program program) {
  ProgramObject* p = Find(program);
  if (!p) return;
  OsEnterLock(g_programsLock);
  std::vector<ProgramObject*>& list = OpenPrograms();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == p) {
      list.erase(list.begin() + static_cast<long>(i));
      break;
    }
  }
  OsLeaveLock(g_programsLock);
  OsCloseProcess(p->process);
  delete p;
}

bool IsProgram(Program program) { return Find(program) != nullptr; }

void ResetProcessRunner() {
  OsEnterLock(g_programsLock);
  std::vector<ProgramObject*> list;
  list.swap(OpenPrograms());
  OsLeaveLock(g_programsLock);
  for (ProgramObject* p : list) {
    OsCloseProcess(p->process);
    delete p;
  }
}
