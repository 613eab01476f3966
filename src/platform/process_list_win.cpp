// The process list through Toolhelp, bound by name from "Kernel32.dll" at
// run time: a system without it simply has no running program to find.
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "platform/process_list.h"

// The ANSI record is 296 bytes in a 32-bit build and 304 in a 64-bit one
// (its ULONG_PTR fields widen); the size field must hold this build's own
// size, or the calls refuse the record.
static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 8 ? 304 : 296), "PROCESSENTRY32 size of this build");

namespace {

typedef HANDLE(WINAPI* SnapshotFn)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* WalkFn)(HANDLE snapshot, PROCESSENTRY32* entry);

template <class F>
F Lookup(HMODULE library, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

bool OsListProcessNames(std::vector<std::string>* names) {
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  if (!kernel) return false;
  SnapshotFn snapshot = Lookup<SnapshotFn>(kernel, "CreateToolhelp32Snapshot");
  WalkFn first = Lookup<WalkFn>(kernel, "Process32First");
  WalkFn next = Lookup<WalkFn>(kernel, "Process32Next");
  HANDLE list = snapshot && first && next ? snapshot(TH32CS_SNAPPROCESS, 0) : INVALID_HANDLE_VALUE;
  if (list == INVALID_HANDLE_VALUE) {
    FreeLibrary(kernel);
    return false;
  }
  PROCESSENTRY32 entry;
  ZeroMemory(&entry, sizeof entry);
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = first(list, &entry); more; more = next(list, &entry)) {
    if (entry.th32ProcessID == self) continue;
    // The name field is a fixed array; a name that fills it has no zero.
    names->push_back(std::string(entry.szExeFile, strnlen(entry.szExeFile, sizeof entry.szExeFile)));
  }
  CloseHandle(list);
  FreeLibrary(kernel);
  return true;
}
