// Elevation through the security services and the shell: the token's
// elevation type, a probe write, ShellExecuteEx with "runas", and the
// registry of another account.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <string>

#include "platform/elevation.h"

namespace {

// Whether the elevation prompt is on: the policy value EnableLUA, which a
// system without it (before Vista) does not have, and which counts as on
// when missing on a system that has the prompt.
bool ElevationPromptIsOn() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return true;
  }
  DWORD value = 1, size = sizeof value, type = 0;
  LONG result = RegQueryValueExA(key, "EnableLUA", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return result != ERROR_SUCCESS || type != REG_DWORD || value != 0;
}

bool ServiceManagerOpens() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, 0xF000F);
  if (!manager) return false;
  CloseServiceHandle(manager);
  return true;
}

std::string UniqueProbeName() {
  char name[64];
  wsprintfA(name, "~zdprobe%08lx%08lx", static_cast<unsigned long>(GetCurrentProcessId()),
            static_cast<unsigned long>(GetTickCount()));
  return name;
}

}  // namespace

OsElevation OsGetElevation() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return ServiceManagerOpens() ? kElevationFull : kElevationUnavailable;
  }
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  // Before Vista the token has no elevation type: rights are what they are.
  BOOL known = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size);
  TOKEN_ELEVATION elevation = {0};
  BOOL elevatedKnown = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  if (!known || !elevatedKnown) return ServiceManagerOpens() ? kElevationFull : kElevationUnavailable;
  if (type == TokenElevationTypeFull || elevation.TokenIsElevated) return kElevationFull;
  if (type == TokenElevationTypeLimited) return kElevationAvailable;
  // A default token: a standard user, or anybody while the prompt is off
  // (an administrator then has full rights already).
  if (ServiceManagerOpens()) return kElevationFull;
  return ElevationPromptIsOn() ? kElevationAvailable : kElevationUnavailable;
}

bool OsCanCreateIn(const std::string& folder, bool asSubfolder) {
  std::string base = folder;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  const std::string probe = base + UniqueProbeName();
  if (asSubfolder) {
    if (!CreateDirectoryA(probe.c_str(), nullptr)) return GetLastError() == ERROR_ALREADY_EXISTS;
    RemoveDirectoryA(probe.c_str());
    return true;
  }
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
  CloseHandle(file);
  return true;
}

OsElevatedStart OsStartElevated(const std::string& program, const std::string& parameters, OsHandle* process) {
  *process = nullptr;
  SHELLEXECUTEINFOA info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  // No box of the shell's own: the caller reports a failure itself.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = "runas";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info)) return GetLastError() == ERROR_CANCELLED ? kElevatedDeclined : kElevatedFailed;
  if (!info.hProcess) return kElevatedFailed;
  *process = info.hProcess;
  return kElevatedStarted;
}

std::string OsGetUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } buffer;
  DWORD size = 0;
  BOOL ok = GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size);
  CloseHandle(token);
  if (!ok) return std::string();
  char* text = nullptr;
  if (!ConvertSidToStringSidA(buffer.user.User.Sid, &text) || !text) return std::string();
  std::string sid = text;
  LocalFree(text);
  return sid;
}

bool OsUseUserRegistry(const std::string& sid) {
  HKEY key = nullptr;
  if (sid.empty() || RegOpenKeyExA(HKEY_USERS, sid.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  LONG result = RegOverridePredefKey(HKEY_CURRENT_USER, key);
  // The system keeps its own reference to the key it maps to.
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
