// Win32 system services: shell folders, identity, environment, mutexes,
// locale, rights and the restart prompt.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <setupapi.h>

#include "platform/system.h"

void OsRestrictDllSearch() {
  // An installer runs from a downloads folder next to whatever landed there:
  // no DLL may ever come from that folder or the current one.
  typedef BOOL(WINAPI * SetDefaultDirsFn)(DWORD);
  typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  SetDefaultDirsFn setDefault = reinterpret_cast<SetDefaultDirsFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  SetDllDirectoryFn setDir = reinterpret_cast<SetDllDirectoryFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (setDir) setDir("");
}

bool OsGetSpecialFolder(int32_t csidl, std::string* path) {
  LPITEMIDLIST list = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, csidl, &list) != S_OK || !list) return false;
  char buffer[MAX_PATH + 1];
  BOOL ok = SHGetPathFromIDListA(list, buffer);
  CoTaskMemFree(list);
  if (!ok) return false;
  *path = buffer;
  return true;
}

std::string OsGetSystemDirectory() {
  char buffer[MAX_PATH];
  UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

std::string OsGetWindowsDirectory() {
  char buffer[MAX_PATH];
  UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

bool OsIsNtFamily() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  DWORD version = GetVersion();
#pragma GCC diagnostic pop
  // Bit 31 is set on Windows 9x and clear on the NT family. The build byte
  // (bits 16 to 23) is no test: Windows 10's build 10240 is 0x2800.
  return (version & 0x80000000u) == 0;
}

std::string OsCreateGuidText() {
  GUID guid;
  if (CoCreateGuid(&guid) != S_OK) return std::string();
  wchar_t wide[40];
  if (StringFromGUID2(guid, wide, 40) <= 0) return std::string();
  std::string text;
  for (int i = 0; wide[i]; ++i) text += static_cast<char>(wide[i]);
  return text;
}

uint32_t OsGetProcessId() { return GetCurrentProcessId(); }

uint64_t OsGetClockTicks() {
  LARGE_INTEGER now;
  if (QueryPerformanceCounter(&now)) return static_cast<uint64_t>(now.QuadPart);
  return GetTickCount();
}

std::string OsGetModuleFileName() {
  // A path that fills the buffer comes back cut short and, before Vista,
  // without its zero byte: a cut path names some other file, so it is none.
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

std::string OsGetCommandLine() {
  const char* line = GetCommandLineA();
  return line ? line : "";
}

bool OsSetEnvironment(const std::string& name, const std::string& value) {
  return SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

std::string OsGetEnvironment(const std::string& name) {
  char buffer[1024];
  DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

MutexProbe OsProbeNamedMutex(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  DWORD error = GetLastError();
  if (!mutex) return kMutexFailed;
  CloseHandle(mutex);
  return error == ERROR_ALREADY_EXISTS ? kMutexExisted : kMutexCreated;
}

uint16_t OsGetUserDefaultLangID() { return GetUserDefaultLangID(); }

bool OsHasAdminRights() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, 0xF000F);
  if (!manager) return false;
  CloseServiceHandle(manager);
  return true;
}

bool OsStderrIsTerminal() {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  return h && h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR;
}

void OsPromptReboot() { SetupPromptReboot(nullptr, nullptr, FALSE); }

uint32_t OsLastError() { return GetLastError(); }
void OsSetLastError(uint32_t code) { SetLastError(code); }
// ERROR_HANDLE_DISK_FULL comes from some writes and moves, ERROR_DISK_FULL
// from most.
bool OsIsDiskFullError(uint32_t code) { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }
