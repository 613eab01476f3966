// Settings of the native system double (tests and the native test program).
// ResetSystemDouble puts every setting back, the reboot-prompt count too,
// and drops the creation times the native file layer keeps.
#pragma once
#include <cstdint>
#include <string>

void ResetSystemDouble();
// An empty path makes the folder unknown to the shell.
void SystemDoubleSetSpecialFolder(int32_t csidl, const std::string& path);
void SystemDoubleSetSystemDirectory(const std::string& path);
void SystemDoubleSetWindowsDirectory(const std::string& path);
void SystemDoubleSetNtFamily(bool nt);
// An empty command line, module path or temporary folder gives back the
// process's real one.
void SystemDoubleSetCommandLine(const std::string& commandLine);
void SystemDoubleSetModuleFileName(const std::string& path);
void SystemDoubleSetTempPath(const std::string& path);
void SystemDoubleSetUserDefaultLangID(uint16_t id);
void SystemDoubleSetAdminRights(bool admin);
// Makes OsCreateGuidText answer empty, as when the system has no GUID to give.
void SystemDoubleSetGuidFails(bool fails);
// Names of mutexes that count as held by another program.
void SystemDoubleHoldMutex(const std::string& name);
// How often the restart prompt was shown since the last reset.
int SystemDoubleRebootPrompts();
