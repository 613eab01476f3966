// Win32 files. Paths come in the single-byte form and go to the system
// through the wide calls, so that a long one can take the extended form.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/file.h"
#include "platform/filetime.h"

namespace {

uint64_t FromFt(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFt(uint64_t v) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(v);
  ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
  return ft;
}

// Text between the program's single-byte form and the system's own.
std::wstring ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string FromWide(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

// Below this length a path goes to the system as it is; from it on (the
// folder calls stop at MAX_PATH - 12) a full path goes as an extended-length
// path, "\\?\C:\..." or "\\?\UNC\server\share\...", after the clean-up that
// the calls by name give a path ("/" to "\", "." and ".." resolved), which
// the extended form would skip. So a file written beside its name has room
// for its temporary name at every length.
const size_t kPlainPathLimit = MAX_PATH - 12;

// The full path that the system makes of a path, as a call by name would
// ("/" to "\\", "." and ".." resolved); false when it makes none.
bool FullPathOf(const std::wstring& path, std::wstring* full) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return false;
  full->assign(size, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), size, &(*full)[0], nullptr);
  if (length == 0 || length >= size) return false;
  full->resize(length);
  return true;
}

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = ToWide(path);
  if (wide.size() < kPlainPathLimit || !OsIsFullPath(path)) return wide;
  if (wide.compare(0, 4, L"\\\\?\\") == 0 || wide.compare(0, 4, L"\\\\.\\") == 0) return wide;
  std::wstring full;
  if (!FullPathOf(wide, &full)) return wide;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

void Fill(const WIN32_FIND_DATAW& fd, OsFindData* data) {
  data->name = FromWide(fd.cFileName);
  data->isFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  data->readOnly = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  data->isLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  data->size = (static_cast<int64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  data->creationTime = FromFt(fd.ftCreationTime);
  data->accessTime = FromFt(fd.ftLastAccessTime);
  data->writeTime = FromFt(fd.ftLastWriteTime);
}

}  // namespace

OsFile OsOpenFile(const std::string& path, OsOpenMode mode) {
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING, flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    // Others may write, rename or delete meanwhile: the reader holds nothing
    // (a file opened for deletion on close opens only so).
    case kOsOpenRead: share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE; break;
    case kOsOpenReadHeld: break;
    case kOsOpenReadWrite: access |= GENERIC_WRITE; break;
    case kOsOpenCreateAlways: access |= GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case kOsOpenAlways: access |= GENERIC_WRITE; disposition = OPEN_ALWAYS; break;
    case kOsOpenCreateNew: access |= GENERIC_WRITE; disposition = CREATE_NEW; break;
    case kOsOpenCreateNewMovable:
      // Moved through this handle (OsMoveOpenFile); nobody else may delete
      // or rename it meanwhile.
      access |= GENERIC_WRITE | DELETE;
      disposition = CREATE_NEW;
      break;
    case kOsOpenCreateNewHeld:
      access |= GENERIC_WRITE | DELETE;
      share = 0;
      disposition = CREATE_NEW;
      flags |= FILE_FLAG_DELETE_ON_CLOSE;
      break;
  }
  HANDLE h = CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool OsReadFile(OsFile file, void* buffer, uint32_t size, uint32_t* got) {
  *got = 0;
  if (!file) return false;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (*got < size) {
    DWORD n = 0;
    if (!ReadFile(file, out + *got, size - *got, &n, nullptr)) return false;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

bool OsWriteFile(OsFile file, const void* data, uint32_t size) {
  if (!file) return false;
  const uint8_t* in = static_cast<const uint8_t*>(data);
  uint32_t done = 0;
  while (done < size) {
    DWORD n = 0;
    if (!WriteFile(file, in + done, size - done, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

bool OsSeekFile(OsFile file, int64_t position) {
  if (!file || position < 0) return false;
  LONG high = static_cast<LONG>(position >> 32);
  DWORD low = SetFilePointer(file, static_cast<LONG>(position & 0xFFFFFFFF), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

int64_t OsFileLength(OsFile file) {
  if (!file) return -1;
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

bool OsTruncateFile(OsFile file) { return file && SetEndOfFile(file); }

bool OsSetFileTimes(OsFile file, uint64_t creation, uint64_t lastWrite) {
  if (!file) return false;
  FILETIME c = ToFt(creation), w = ToFt(lastWrite);
  return SetFileTime(file, creation ? &c : nullptr, nullptr, lastWrite ? &w : nullptr) != 0;
}

bool OsFlushFile(OsFile file) { return file && FlushFileBuffers(file); }

void OsCloseFile(OsFile file) {
  if (file) CloseHandle(file);
}

bool OsDeleteFile(const std::string& path) { return DeleteFileW(SystemPath(path).c_str()) != 0; }

namespace {

// The attributes that SetFileAttributes accepts, less read-only: a file that
// is read-only is never replaced, and a temporary file marked so could not
// be removed after a refused move.
const DWORD kSettableAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Gives the new file the replaced one's identity before it takes the name:
// its access list, its creation time and its attributes. Each is best
// effort, as a replace that ignores access-list errors would be; the owner
// stays the writer's, since setting another needs the restore privilege.
void TakeOverIdentity(const std::wstring& from, const std::wstring& to, const WIN32_FILE_ATTRIBUTE_DATA& old) {
  DWORD needed = 0;
  GetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed > 0) {
    std::vector<char> descriptor(needed);
    if (GetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
      SetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
    }
  }
  HANDLE h = CreateFileW(from.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    SetFileTime(h, &old.ftCreationTime, nullptr, nullptr);
    CloseHandle(h);
  }
  DWORD attributes = old.dwFileAttributes & kSettableAttributes;
  SetFileAttributesW(from.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

bool OsReplaceFile(const std::string& from, const std::string& to) {
  // One rename that replaces: at every moment the name holds the old file
  // or the new one, never neither, also when the process dies half-way.
  // The system's replace moves the old file aside first and is two steps.
  // A file in use (a running program, a file open without delete sharing)
  // cannot be replaced this way: the move fails and both files keep their
  // names.
  const std::wstring f = SystemPath(from), t = SystemPath(to);
  WIN32_FILE_ATTRIBUTE_DATA old;
  if (GetFileAttributesExW(t.c_str(), GetFileExInfoStandard, &old)) {
    if (old.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    TakeOverIdentity(f, t, old);
  }
  return MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool OsMoveOpenFile(OsFile file, const std::string&, const std::string& to) {
  // A rename through the open handle, which a move by name would have to
  // open a second time. The new name goes down as a full path in the
  // system's own form ("\??\C:\...", "\??\UNC\server\..."), after the
  // same clean-up that the calls by name give a path.
  if (!file) return false;
  std::wstring path;
  if (!FullPathOf(ToWide(to), &path)) return false;
  std::wstring full;
  if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) {
    full = L"\\??\\" + path.substr(4);
  } else if (path.compare(0, 2, L"\\\\") == 0) {
    full = L"\\??\\UNC\\" + path.substr(2);
  } else if (path.size() > 2 && path[1] == L':') {
    full = L"\\??\\" + path;
  } else {
    return false;
  }
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (full.size() + 1) * sizeof(WCHAR));
  FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(full.size() * sizeof(WCHAR));
  std::copy(full.begin(), full.end(), info->FileName);
  info->FileName[full.size()] = L'\0';
  return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
}

bool OsCopyFile(const std::string& source, const std::string& target, bool replace) {
  return CopyFileW(SystemPath(source).c_str(), SystemPath(target).c_str(), replace ? FALSE : TRUE) != 0;
}

bool OsCreateDirectory(const std::string& path) { return CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0; }
bool OsRemoveDirectory(const std::string& path) { return RemoveDirectoryW(SystemPath(path).c_str()) != 0; }
bool OsDeleteFileAtRestart(const std::string& path) {
  return MoveFileExW(SystemPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}
bool OsSetNormalAttributes(const std::string& path) {
  return SetFileAttributesW(SystemPath(path).c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool OsPathAttributes(const std::string& path, bool* isFolder, bool* readOnly) {
  DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  *isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  *readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return true;
}

int OsDriveType(const std::string& root) { return static_cast<int>(GetDriveTypeA(root.c_str())); }

OsFind OsFindFirst(const std::string& pattern, OsFindData* data, bool* noMatch) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(SystemPath(pattern).c_str(), &fd);
  if (noMatch) *noMatch = false;
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (noMatch) *noMatch = error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    return nullptr;
  }
  Fill(fd, data);
  return h;
}

bool OsFindNext(OsFind find, OsFindData* data) {
  WIN32_FIND_DATAW fd;
  if (!find || !FindNextFileW(find, &fd)) return false;
  Fill(fd, data);
  return true;
}

void OsFindClose(OsFind find) {
  if (find) FindClose(find);
}

bool OsFileTimeToLocalSeconds(uint64_t fileTime, int64_t* seconds) {
  FILETIME utc = ToFt(fileTime), local;
  if (!FileTimeToLocalFileTime(&utc, &local)) return false;
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&local, &st)) return false;
  uint64_t v = FromFt(local);
  if (v < kFileTimeUnixEpoch) return false;
  *seconds = static_cast<int64_t>((v - kFileTimeUnixEpoch) / kFileTimeTicksPerSecond);
  return true;
}

std::string OsGetTempPath() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(MAX_PATH, buffer);
  if (n == 0 || n > MAX_PATH) return std::string();
  typedef DWORD(WINAPI * LongPathFn)(LPCSTR, LPSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("Kernel32.DLL");
  LongPathFn longPath =
      kernel ? reinterpret_cast<LongPathFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameA")))
             : nullptr;
  if (longPath) {
    char full[MAX_PATH + 1];
    DWORD m = longPath(buffer, full, MAX_PATH);
    if (m > 0 && m <= MAX_PATH) return full;
  }
  return buffer;
}

uint32_t OsNameSeed() {
  static uint32_t calls = 0;
  return GetCurrentProcessId() * 2654435761u ^ GetTickCount() ^ (++calls * 40503u);
}

bool OsIsFullPath(const std::string& path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 3 && path[1] == ':' && separator(path[2])) {
    const char drive = path[0];
    return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  }
  return path.size() > 2 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}
