// Thin layer over the system services that are neither files, processes nor
// the registry: shell folders, identity of the running program, environment,
// named mutexes, locale and rights. Natively the test double
// (system_double.h) answers what only Windows has and may choose the
// answers the tests steer.
#pragma once
#include <cstdint>
#include <string>

// Restricts DLL loading to the system folder; first call of the process.
void OsRestrictDllSearch();
// Shell special folder by CSIDL number; false when the shell has none.
bool OsGetSpecialFolder(int32_t csidl, std::string* path);
std::string OsGetSystemDirectory();
std::string OsGetWindowsDirectory();
// The NT-family test: bit 31 of GetVersion() is clear.
bool OsIsNtFamily();
// A new GUID in registry text form: 38 characters, braces, upper-case hex;
// empty when the system could not make one.
std::string OsCreateGuidText();
// The running process's id and a fine-grained clock that only ever rises:
// raw material for a unique name when no GUID can be had.
uint32_t OsGetProcessId();
uint64_t OsGetClockTicks();
// Full path of the running program; empty when it does not fit the
// system's path limit.
std::string OsGetModuleFileName();
std::string OsGetCommandLine();
bool OsSetEnvironment(const std::string& name, const std::string& value);
std::string OsGetEnvironment(const std::string& name);

enum MutexProbe { kMutexFailed, kMutexCreated, kMutexExisted };
// Creates a named mutex without ownership and closes it again: whether it
// was new, existed already (another program holds it), or could not be made.
MutexProbe OsProbeNamedMutex(const std::string& name);
uint16_t OsGetUserDefaultLangID();
// The administrator test: the service manager opens with all access.
bool OsHasAdminRights();
// True when standard error is a terminal (progress displays of the tools).
bool OsStderrIsTerminal();
// The system's error code of the calling thread's last failed call
// (GetLastError; errno natively), and setting it back, so that a report
// written between a failure and its reader leaves the code as it was.
uint32_t OsLastError();
void OsSetLastError(uint32_t code);
// The code (of OsLastError) says the volume has no room left.
bool OsIsDiskFullError(uint32_t code);
// The system's restart prompt (no file queue, no owner, not scan-only).
void OsPromptReboot();
