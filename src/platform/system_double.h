// Settings of the native system double (tests only).
#pragma once
#include <cstdint>
#include <string>

void ResetSystemDouble();
// An empty path makes the folder unknown to the shell.
void SystemDoubleSetSpecialFolder(int32_t csidl, const std::string& path);
void SystemDoubleSetSystemDirectory(const std::string& path);
void SystemDoubleSetWindowsDirectory(const std::string& path);
void SystemDoubleSetVersion(uint32_t version);
void SystemDoubleSetCommandLine(const std::string& commandLine);
void SystemDoubleSetModuleFileName(const std::string& path);
void SystemDoubleSetUserDefaultLangID(uint16_t id);
void SystemDoubleSetAdminRights(bool admin);
// Makes OsCreateGuidText answer empty, as when the system has no GUID to give.
void SystemDoubleSetGuidFails(bool fails);
void SystemDoubleSetTempPath(const std::string& path);
// Names of mutexes that count as held by another program.
void SystemDoubleHoldMutex(const std::string& name);
// How often the restart prompt was shown.
int SystemDoubleRebootPrompts();
