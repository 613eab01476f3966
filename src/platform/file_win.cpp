// Win32 files through the ANSI calls.
#include <windows.h>

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

void Fill(const WIN32_FIND_DATAA& fd, OsFindData* data) {
  data->name = fd.cFileName;
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
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (mode) {
    case kOsOpenRead: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
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
  }
  HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
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

bool OsDeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

namespace {

bool MoveOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The attributes that SetFileAttributesA accepts.
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Windows' replace keeps the replaced file's attributes and creation time;
// Wine's hands over neither, so put back what went missing.
void KeepIdentity(const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& old) {
  WIN32_FILE_ATTRIBUTE_DATA now;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now)) return;
  if ((now.dwFileAttributes & kSettableAttributes) != (old.dwFileAttributes & kSettableAttributes)) {
    DWORD attributes = old.dwFileAttributes & kSettableAttributes;
    SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
  }
  if (CompareFileTime(&now.ftCreationTime, &old.ftCreationTime) != 0) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      SetFileTime(h, &old.ftCreationTime, nullptr, nullptr);
      CloseHandle(h);
    }
  }
}

}  // namespace

bool OsReplaceFile(const std::string& from, const std::string& to, const std::string& backup) {
  WIN32_FILE_ATTRIBUTE_DATA old;
  if (!GetFileAttributesExA(to.c_str(), GetFileExInfoStandard, &old)) return MoveOver(from, to);
  // The replace swaps the content under the old file's name, attributes and
  // security, and needs rights on that file rather than on its folder. The
  // replaced file passes through the backup name: without one, a replace
  // that fails late can leave neither file under the name.
  DWORD flags = REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
  if (ReplaceFileA(to.c_str(), from.c_str(), backup.c_str(), flags, nullptr, nullptr)) {
    if (!DeleteFileA(backup.c_str())) {
      // The old file is in use: a running program can be renamed but not
      // deleted. Put it back under its name rather than leave its image
      // beside the new file, so a file in use stays as it was.
      if (MoveFileExA(to.c_str(), from.c_str(), MOVEFILE_WRITE_THROUGH)) {
        if (MoveFileExA(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
        MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
      }
      // Could not undo: the new file stays and the old image goes at the
      // next restart, where the rights allow that.
      MoveFileExA(backup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    KeepIdentity(to, old);
    return true;
  }
  switch (GetLastError()) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // The old file is under the backup name and the new one under its own.
      MoveFileExA(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
      return false;
    case ERROR_FILE_NOT_FOUND:         // the old file went away meanwhile
    case ERROR_INVALID_FUNCTION:       // a file system without the replace
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
      return MoveOver(from, to);
    default:
      // Rights, a file in use, or a name that cannot be removed: the old
      // file and the new one both keep their names.
      return false;
  }
}

bool OsMoveOpenFile(OsFile file, const std::string&, const std::string& to) {
  // A rename through the open handle, which a move by name would have to
  // open a second time. The new name goes down as a full path in the
  // system's own form ("\??\C:\...", "\??\UNC\server\..."), after the
  // same clean-up that the calls by name give a path.
  if (!file) return false;
  DWORD size = GetFullPathNameA(to.c_str(), 0, nullptr, nullptr);
  if (size == 0) return false;
  std::vector<char> cleaned(size + 1);
  DWORD length = GetFullPathNameA(to.c_str(), size + 1, cleaned.data(), nullptr);
  if (length == 0 || length > size) return false;
  const std::string path(cleaned.data(), length);
  std::string full;
  if (path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "\\\\.\\") == 0) {
    full = "\\??\\" + path.substr(4);
  } else if (path.compare(0, 2, "\\\\") == 0) {
    full = "\\??\\UNC\\" + path.substr(2);
  } else if (path.size() > 2 && path[1] == ':') {
    full = "\\??\\" + path;
  } else {
    return false;
  }
  int chars = MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, nullptr, 0);
  if (chars < 2) return false;
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + static_cast<size_t>(chars) * sizeof(WCHAR));
  FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>((chars - 1) * sizeof(WCHAR));
  MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, info->FileName, chars);
  return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
}

bool OsCopyFile(const std::string& source, const std::string& target, bool replace) {
  return CopyFileA(source.c_str(), target.c_str(), replace ? FALSE : TRUE) != 0;
}

bool OsCreateDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }
bool OsRemoveDirectory(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }
bool OsDeleteFileAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}
bool OsSetNormalAttributes(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool OsPathAttributes(const std::string& path, bool* isFolder, bool* readOnly) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  *isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  *readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return true;
}

int OsDriveType(const std::string& root) { return static_cast<int>(GetDriveTypeA(root.c_str())); }

OsFind OsFindFirst(const std::string& pattern, OsFindData* data, bool* noMatch) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
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
  WIN32_FIND_DATAA fd;
  if (!find || !FindNextFileA(find, &fd)) return false;
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
