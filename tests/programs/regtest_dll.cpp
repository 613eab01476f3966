// A Windows test component for the task list's registration: regsvr32
// calls DllRegisterServer, which writes "registered" and a line end into a
// file beside the DLL named like it with ".registered" appended;
// DllUnregisterServer ("regsvr32 /u", the uninstaller) writes
// "unregistered" into one with ".unregistered" appended. Its
// version resource (regtest_dll.rc) gives the version dialog something to
// show.
#include <windows.h>

namespace {
HINSTANCE g_self = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}

namespace {
HRESULT WriteMarker(const char* ending, const char* text) {
  char path[MAX_PATH + 16];
  DWORD length = GetModuleFileNameA(g_self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  lstrcatA(path, ending);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  DWORD written = 0;
  WriteFile(file, text, lstrlenA(text), &written, nullptr);
  CloseHandle(file);
  return S_OK;
}
}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  return WriteMarker(".registered", "registered\r\n");
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  return WriteMarker(".unregistered", "unregistered\r\n");
}
