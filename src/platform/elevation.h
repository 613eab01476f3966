// Administrator rights through the system's elevation prompt: what the
// process's token can do, whether it may write into a folder, starting a
// program elevated, and acting on another account's part of the registry.
//
// The native build answers from what the tests set (elevation_double.h).
#pragma once
#include <cstdint>
#include <string>

#include "platform/process.h"

enum OsElevation {
  // The process holds administrator rights: elevated, or an administrator
  // on a system without the elevation prompt.
  kElevationFull,
  // It lacks them, and the prompt can give them: a filtered administrator
  // token, or a standard user's token, on a system with the prompt on.
  kElevationAvailable,
  // It lacks them, and no prompt can help (no elevation on this system, or
  // the prompt switched off): only another account's logon may.
  kElevationUnavailable,
};
OsElevation OsGetElevation();

// Whether this token may create a file in the folder (asSubfolder false) or
// a folder in it (true). The system is asked by trying: a probe made with a
// fresh name and removed at once, so the answer covers access lists, a
// read-only medium and everything else that would refuse the real write.
bool OsCanCreateIn(const std::string& folder, bool asSubfolder);

enum OsElevatedStart { kElevatedStarted, kElevatedDeclined, kElevatedFailed };
// Starts program with parameters through the shell's "runas" verb, which
// shows the elevation prompt. Started: *process is the new process (the
// caller closes it). Declined: the user said no to the prompt.
OsElevatedStart OsStartElevated(const std::string& program, const std::string& parameters, OsHandle* process);

// The process's user as a security identifier in text form ("S-1-5-..."),
// empty when it cannot be read.
std::string OsGetUserSid();
// From now on the process's HKEY_CURRENT_USER is the loaded profile of the
// account sid (HKEY_USERS\sid): an elevated run writes the starting user's
// values there. False when that profile is not loaded.
bool OsUseUserRegistry(const std::string& sid);
