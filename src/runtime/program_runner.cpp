#include "runtime/program_runner.h"

#include <vector>

#include "platform/process.h"
#include "runtime/filesys.h"

namespace {

struct ProgramObject {
  OsHandle process = nullptr;
  int32_t id = -1;  // -1 for a start through the shell
};

// The list of open programs; every access holds the platform lock.
std::vector<ProgramObject*>& OpenPrograms() {
  static std::vector<ProgramObject*> list;
  return list;
}

ProgramObject* Find(Program program) {
  if (program == 0) return nullptr;
  OsLockPrograms();
  ProgramObject* found = nullptr;
  for (ProgramObject* p : OpenPrograms()) {
    if (reinterpret_cast<Program>(p) == program) found = p;
  }
  OsUnlockPrograms();
  return found;
}

Program Keep(OsHandle process, int32_t id) {
  ProgramObject* p = new ProgramObject{process, id};
  OsLockPrograms();
  OpenPrograms().push_back(p);
  OsUnlockPrograms();
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
  OsLockPrograms();
  std::vector<ProgramObject*>& list = OpenPrograms();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == p) {
      list.erase(list.begin() + static_cast<long>(i));
      break;
    }
  }
  OsUnlockPrograms();
  OsCloseProcess(p->process);
  delete p;
}

bool IsProgram(Program program) { return Find(program) != nullptr; }

void ResetProcessRunner() {
  OsLockPrograms();
  std::vector<ProgramObject*> list;
  list.swap(OpenPrograms());
  OsUnlockPrograms();
  for (ProgramObject* p : list) {
    OsCloseProcess(p->process);
    delete p;
  }
}
