// POSIX processes for the native build. A Windows command line is split the
// simple way (blanks separate, double quotes group) and the program path has
// "\" mapped to "/". "Open" through the shell has no counterpart here: it
// fails, as it does on Windows for a file without a handler.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "platform/path_posix.h"
#include "platform/process.h"

extern char** environ;

namespace {

struct PosixProcess {
  pid_t pid;
  bool ended;
  uint32_t exitCode;
  bool killed;
  uint32_t killCode;
};

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        arg += line[i];
      }
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

// Collects the child's status once; later calls answer from the record.
void Reap(PosixProcess* p, bool block) {
  if (p->ended) return;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(p->pid, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == p->pid) {
    p->ended = true;
    if (p->killed) {
      p->exitCode = p->killCode;
    } else if (WIFEXITED(status)) {
      p->exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
    } else {
      p->exitCode = 0xFFFFFFFFu;
    }
  } else if (r < 0) {
    p->ended = true;
    p->exitCode = p->killed ? p->killCode : 0xFFFFFFFFu;
  }
}

}  // namespace

bool OsCreateProcess(const std::string& commandLine, const std::string& folder, bool hide,
                     OsStartedProcess* out) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) return false;
  args[0] = ToPosixPath(args[0]);
  if (access(args[0].c_str(), X_OK) != 0) return false;
  std::string dir = folder.empty() ? std::string() : ToPosixPath(folder);
  if (!dir.empty() && access(dir.c_str(), X_OK) != 0) return false;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  // A child that cannot change into its folder must not run elsewhere: fork
  // and exec by hand so the chdir result is seen before exec.
  int pipefd[2];
  if (pipe(pipefd) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) {
    close(pipefd[0]);
    close(pipefd[1]);
    return false;
  }
  if (pid == 0) {
    close(pipefd[0]);
    fcntl(pipefd[1], F_SETFD, FD_CLOEXEC);
    if (!dir.empty() && chdir(dir.c_str()) != 0) {
      int e = errno;
      ssize_t ignored = write(pipefd[1], &e, sizeof e);
      (void)ignored;
      _exit(127);
    }
    execv(argv[0], argv.data());
    int e = errno;
    ssize_t ignored = write(pipefd[1], &e, sizeof e);
    (void)ignored;
    _exit(127);
  }
  close(pipefd[1]);
  int childErr = 0;
  ssize_t n;
  do {
    n = read(pipefd[0], &childErr, sizeof childErr);
  } while (n < 0 && errno == EINTR);
  close(pipefd[0]);
  if (n > 0) {
    int status;
    waitpid(pid, &status, 0);
    return false;
  }
  PosixProcess* p = new PosixProcess{pid, false, 259, false, 0};
  out->process = p;
  out->id = static_cast<int32_t>(pid);
  return true;
}

// Unlinked at once: a started program keeps its file until it ends.
bool OsCreateProcessDeletingImage(const std::string& commandLine, const std::string& folder,
                                  const std::string& image, OsStartedProcess* out) {
  const bool started = OsCreateProcess(commandLine, folder, false, out);
  unlink(ToPosixPath(image).c_str());
  return started;
}

bool OsShellOpen(const std::string& file, const std::string& parameters, const std::string& folder,
                 bool hide, OsHandle* process) {
  *process = nullptr;
  return false;
}

bool OsWaitProcess(OsHandle process, int32_t timeoutMs) {
  PosixProcess* p = static_cast<PosixProcess*>(process);
  if (!p) return true;
  if (timeoutMs < 0) {
    Reap(p, true);
    return true;
  }
  for (int32_t waited = 0;; waited += 5) {
    Reap(p, false);
    if (p->ended) return true;
    if (waited >= timeoutMs) return false;
    struct timespec ts = {0, 5 * 1000 * 1000};
    nanosleep(&ts, nullptr);
  }
}

uint32_t OsProcessExitCode(OsHandle process) {
  PosixProcess* p = static_cast<PosixProcess*>(process);
  if (!p) return 0;
  Reap(p, false);
  return p->ended ? p->exitCode : 259;
}

bool OsTerminateProcess(OsHandle process, uint32_t exitCode) {
  PosixProcess* p = static_cast<PosixProcess*>(process);
  if (!p) return false;
  Reap(p, false);
  if (p->ended) return false;
  p->killed = true;
  p->killCode = exitCode;
  return kill(p->pid, SIGKILL) == 0;
}

void OsCloseProcess(OsHandle process) {
  PosixProcess* p = static_cast<PosixProcess*>(process);
  if (!p) return;
  // A child still running goes on; nobody waits for it any more, so once it
  // ends it stays a zombie until this process ends and init collects it.
  Reap(p, false);
  delete p;
}

void OsSleep(uint32_t ms) {
  struct timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}
