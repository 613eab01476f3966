// Thin process layer: direct process creation, the shell's "open", waits.
#pragma once
#include <cstdint>
#include <string>

typedef void* OsHandle;  // nullptr: none

struct OsStartedProcess {
  OsHandle process = nullptr;
  int32_t id = -1;
};

// Creates a process from a full command line (program quoted as the caller
// wants it). An empty folder means: inherit the current folder.
bool OsCreateProcess(const std::string& commandLine, const std::string& folder, bool hide,
                     OsStartedProcess* out);
// As OsCreateProcess (shown, not hidden), for a program that is a copy to
// go when it ends: the image is opened for deletion on close (shared for
// reading and deleting only, so nobody writes it meanwhile) and that handle
// alone is inherited by the new process, whose end closes the last handle.
// Where the system keeps the file of an image that was mapped, it stays;
// callers keep a restart entry for that. False, with the image deleted,
// when the process cannot be started.
bool OsCreateProcessDeletingImage(const std::string& commandLine, const std::string& folder,
                                  const std::string& image, OsStartedProcess* out);
// Asks the shell to open a file with the verb "Open"; *process may stay
// nullptr when the shell hands the file to a running application.
bool OsShellOpen(const std::string& file, const std::string& parameters, const std::string& folder,
                 bool hide, OsHandle* process);
// True when the process ended within the time (-1: no limit).
bool OsWaitProcess(OsHandle process, int32_t timeoutMs);
// 259 while the process runs.
uint32_t OsProcessExitCode(OsHandle process);
bool OsTerminateProcess(OsHandle process, uint32_t exitCode);
void OsCloseProcess(OsHandle process);
void OsSleep(uint32_t ms);
