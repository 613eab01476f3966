// Win32 processes: CreateProcessA, the shell's "Open" verb, waits.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/process.h"

bool OsCreateProcess(const std::string& commandLine, const std::string& folder, bool hide,
                     OsStartedProcess* out) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(hide ? SW_HIDE : SW_SHOWNORMAL);
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  DWORD flags = NORMAL_PRIORITY_CLASS | (hide ? DETACHED_PROCESS : 0);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    return false;
  }
  CloseHandle(pi.hThread);
  out->process = pi.hProcess;
  out->id = static_cast<int32_t>(pi.dwProcessId);
  return true;
}

bool OsCreateProcessDeletingImage(const std::string& commandLine, const std::string& folder,
                                  const std::string& image, OsStartedProcess* out) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE held = CreateFileA(image.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                            OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (held == INVALID_HANDLE_VALUE) return false;
  // Only this handle goes to the child, whatever else is inheritable.
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> buffer(size);
  LPPROC_THREAD_ATTRIBUTE_LIST list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
  const bool listed = size > 0 && InitializeProcThreadAttributeList(list, 1, 0, &size);
  bool started = listed && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &held, sizeof held,
                                                     nullptr, nullptr);
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOEXA si;
  ZeroMemory(&si, sizeof si);
  si.StartupInfo.cb = sizeof si;
  si.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  si.StartupInfo.wShowWindow = SW_SHOWNORMAL;
  si.lpAttributeList = list;
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  started = started && CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                      NORMAL_PRIORITY_CLASS | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                      folder.empty() ? nullptr : folder.c_str(), &si.StartupInfo, &pi);
  if (listed) DeleteProcThreadAttributeList(list);
  // The child's inherited handle keeps the file until the child ends; without
  // a child this was the last one, and the copy goes now.
  CloseHandle(held);
  if (!started) return false;
  CloseHandle(pi.hThread);
  out->process = pi.hProcess;
  out->id = static_cast<int32_t>(pi.dwProcessId);
  return true;
}

bool OsShellOpen(const std::string& file, const std::string& parameters, const std::string& folder,
                 bool hide, OsHandle* process) {
  *process = nullptr;
  // The shell would start the program in some other folder when the one
  // asked for is missing; not running beats running in the wrong place.
  if (!folder.empty()) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  }
  SHELLEXECUTEINFOA info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  // The runner reports a failure by its result; the shell must not put up a
  // box of its own that an unattended install would wait on.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "Open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = hide ? SW_HIDE : SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info)) return false;
  *process = info.hProcess;
  return true;
}

bool OsWaitProcess(OsHandle process, int32_t timeoutMs) {
  if (!process) return true;
  DWORD r = WaitForSingleObject(process, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
  return r == WAIT_OBJECT_0 || r == WAIT_FAILED;
}

uint32_t OsProcessExitCode(OsHandle process) {
  DWORD code = 0;
  if (!process || !GetExitCodeProcess(process, &code)) return 0;
  return code;
}

bool OsTerminateProcess(OsHandle process, uint32_t exitCode) {
  return process && TerminateProcess(process, exitCode);
}

void OsCloseProcess(OsHandle process) {
  if (process) CloseHandle(process);
}

void OsSleep(uint32_t ms) { Sleep(ms); }
