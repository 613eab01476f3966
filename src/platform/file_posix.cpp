// POSIX files for the native build. Times are FILETIME values (100 ns since
// 1601, UTC) at this boundary. POSIX cannot set a creation time, so the
// creation times asked for are kept here by inode, for as long as the inode
// holds that file (see CreationTimes); a file without one reports its
// last-write time as its creation time.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/filetime.h"
#include "platform/path_posix.h"
#include "platform/real_posix.h"

namespace {


struct PosixFile {
  int fd;
  std::string path;
};

uint64_t ToFileTime(const struct timespec& ts) {
  if (ts.tv_sec < 0) return 0;
  return static_cast<uint64_t>(ts.tv_sec) * kFileTimeTicksPerSecond + static_cast<uint64_t>(ts.tv_nsec) / 100 +
         kFileTimeUnixEpoch;
}

struct timespec FromFileTime(uint64_t ft) {
  struct timespec ts;
  if (ft < kFileTimeUnixEpoch) {
    ts.tv_sec = 0;
    ts.tv_nsec = 0;
    return ts;
  }
  uint64_t rel = ft - kFileTimeUnixEpoch;
  ts.tv_sec = static_cast<time_t>(rel / kFileTimeTicksPerSecond);
  ts.tv_nsec = static_cast<long>((rel % kFileTimeTicksPerSecond) * 100);
  return ts;
}

// Creation times cannot be set on POSIX file systems; the native build keeps
// the ones it was asked to set, so that code reading them back sees what a
// Windows file would hold. An entry goes when its inode stops holding the
// file (deleted, or replaced by a rename), so that a new file reusing the
// inode number does not take over a dead file's time.
typedef std::pair<dev_t, ino_t> InodeKey;
std::mutex g_creationLock;
std::map<InodeKey, uint64_t>& CreationTimes() {
  static std::map<InodeKey, uint64_t> times;
  return times;
}

InodeKey KeyOf(const struct stat& st) { return InodeKey(st.st_dev, st.st_ino); }

// After the last name of a file is gone its inode is free for reuse.
void ForgetCreationTimeOfLastLink(const struct stat& st) {
  if (st.st_nlink > 1) return;
  std::lock_guard<std::mutex> lock(g_creationLock);
  CreationTimes().erase(KeyOf(st));
}

void FillFindData(const std::string& name, const struct stat& st, OsFindData* data) {
  data->name = name;
  data->isFolder = S_ISDIR(st.st_mode);
  data->readOnly = (st.st_mode & S_IWUSR) == 0;
  data->size = data->isFolder ? 0 : static_cast<int64_t>(st.st_size);
  data->accessTime = ToFileTime(st.st_atim);
  data->writeTime = ToFileTime(st.st_mtim);
  data->creationTime = data->writeTime;
  std::lock_guard<std::mutex> lock(g_creationLock);
  auto it = CreationTimes().find(KeyOf(st));
  if (it != CreationTimes().end()) data->creationTime = it->second;
}

// Windows wildcard match, case-insensitive; "*.*" matches every name.
bool MatchPattern(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

struct PosixFind {
  std::string folder;
  std::vector<OsFindData> entries;
  size_t next = 0;
};

}  // namespace

OsFile OsOpenFile(const std::string& path, OsOpenMode mode) {
  std::string p = ToPosixPath(path);
  int flags = O_CLOEXEC;
  switch (mode) {
    case kOsOpenRead: flags |= O_RDONLY; break;
    case kOsOpenReadHeld: flags |= O_RDONLY | O_NOFOLLOW; break;
    case kOsOpenReadWrite: flags |= O_RDWR; break;
    case kOsOpenCreateAlways: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case kOsOpenAlways: flags |= O_RDWR | O_CREAT; break;
    case kOsOpenCreateNew:
    case kOsOpenCreateNewMovable:
    case kOsOpenCreateNewHeld: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  int fd = open(p.c_str(), flags, 0644);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  return new PosixFile{fd, p};
}

bool OsReadFile(OsFile file, void* buffer, uint32_t size, uint32_t* got) {
  *got = 0;
  if (!file) return false;
  int fd = static_cast<PosixFile*>(file)->fd;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (*got < size) {
    ssize_t n = read(fd, out + *got, size - *got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    *got += static_cast<uint32_t>(n);
  }
  return true;
}

bool OsWriteFile(OsFile file, const void* data, uint32_t size) {
  if (!file) return false;
  int fd = static_cast<PosixFile*>(file)->fd;
  const uint8_t* in = static_cast<const uint8_t*>(data);
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, in + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<uint32_t>(n);
  }
  return true;
}

bool OsSeekFile(OsFile file, int64_t position) {
  if (!file || position < 0) return false;
  return lseek(static_cast<PosixFile*>(file)->fd, position, SEEK_SET) == position;
}

int64_t OsFileLength(OsFile file) {
  if (!file) return -1;
  struct stat st;
  if (fstat(static_cast<PosixFile*>(file)->fd, &st) != 0) return -1;
  return st.st_size;
}

bool OsTruncateFile(OsFile file) {
  if (!file) return false;
  int fd = static_cast<PosixFile*>(file)->fd;
  off_t pos = lseek(fd, 0, SEEK_CUR);
  return pos >= 0 && ftruncate(fd, pos) == 0;
}

bool OsSetFileTimes(OsFile file, uint64_t creation, uint64_t lastWrite) {
  if (!file) return false;
  int fd = static_cast<PosixFile*>(file)->fd;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = lastWrite ? FromFileTime(lastWrite) : times[0];
  if (futimens(fd, times) != 0) return false;
  if (creation) {
    struct stat st;
    if (fstat(fd, &st) == 0) {
      std::lock_guard<std::mutex> lock(g_creationLock);
      CreationTimes()[KeyOf(st)] = creation;
    }
  }
  return true;
}

bool OsFlushFile(OsFile file) { return file && fsync(static_cast<PosixFile*>(file)->fd) == 0; }

void OsCloseFile(OsFile file) {
  if (!file) return;
  close(static_cast<PosixFile*>(file)->fd);
  delete static_cast<PosixFile*>(file);
}

bool OsDeleteFile(const std::string& path) {
  std::string p = ToPosixPath(path);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  // Windows refuses to delete a read-only file; the native build answers alike.
  if ((st.st_mode & S_IWUSR) == 0) return false;
  if (unlink(p.c_str()) != 0) return false;
  ForgetCreationTimeOfLastLink(st);
  return true;
}

bool OsReplaceFile(const std::string& from, const std::string& to) {
  // The rename is atomic. The new file is a new
  // inode: it takes over the old one's permission bits (owner and group stay
  // those of the writer), and other hard links keep the old bytes.
  std::string f = ToPosixPath(from), t = ToPosixPath(to);
  struct stat old;
  const bool present = stat(t.c_str(), &old) == 0;
  if (present && S_ISDIR(old.st_mode)) return false;
  bool existed = present && S_ISREG(old.st_mode);
  if (existed && chmod(f.c_str(), old.st_mode & 07777) != 0) return false;
  if (rename(f.c_str(), t.c_str()) != 0) return false;
  struct stat now;
  if (existed && stat(t.c_str(), &now) == 0) {
    // Windows' replace keeps the replaced file's creation time.
    std::lock_guard<std::mutex> lock(g_creationLock);
    auto it = CreationTimes().find(KeyOf(old));
    uint64_t creation = it != CreationTimes().end() ? it->second : ToFileTime(old.st_mtim);
    if (it != CreationTimes().end() && old.st_nlink <= 1) CreationTimes().erase(it);
    CreationTimes()[KeyOf(now)] = creation;
  }
  return true;
}

bool OsMoveOpenFile(OsFile, const std::string& from, const std::string& to) {
  // A hard link fails when the name is taken, so the check and the move are
  // one step.
  std::string f = ToPosixPath(from), t = ToPosixPath(to);
  if (link(f.c_str(), t.c_str()) != 0) return false;
  unlink(f.c_str());
  return true;
}

bool OsCopyFile(const std::string& source, const std::string& target, bool replace) {
  std::string s = ToPosixPath(source), t = ToPosixPath(target);
  int in = open(s.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (replace ? 0 : O_EXCL);
  int out = open(t.c_str(), flags, st.st_mode & 0777);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) { ok = false; break; }
    if (n == 0) break;
    ssize_t done = 0;
    while (done < n) {
      ssize_t w = write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) { ok = false; break; }
      done += w;
    }
    if (!ok) break;
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  futimens(out, times);  // the platform copy keeps the last-write time
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(t.c_str());
  return ok;
}

bool OsCreateDirectory(const std::string& path) {
  return mkdir(ToPosixPath(path).c_str(), 0755) == 0;
}

bool OsRemoveDirectory(const std::string& path) {
  return rmdir(ToPosixPath(path).c_str()) == 0;
}

bool OsDeleteFileAtRestart(const std::string&) { return false; }

bool OsSetNormalAttributes(const std::string& path) {
  std::string p = ToPosixPath(path);
  struct stat st;
  if (stat(p.c_str(), &st) != 0) return false;
  return chmod(p.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

int OsDriveType(const std::string& root) {
  // No drive letters here: only "/" counts as a root that exists.
  return root == "/" || root == "\\" ? 3 : 1;
}

bool OsPathAttributes(const std::string& path, bool* isFolder, bool* readOnly) {
  struct stat st;
  if (stat(ToPosixPath(path).c_str(), &st) != 0) return false;
  *isFolder = S_ISDIR(st.st_mode);
  *readOnly = (st.st_mode & S_IWUSR) == 0;
  return true;
}

OsFind OsFindFirst(const std::string& pattern, OsFindData* data, bool* noMatch) {
  if (noMatch) *noMatch = false;
  std::string p = ToPosixPath(pattern);
  size_t slash = p.rfind('/');
  std::string folder = slash == std::string::npos ? "." : p.substr(0, slash == 0 ? 1 : slash);
  std::string namePattern = slash == std::string::npos ? p : p.substr(slash + 1);
  if (namePattern.empty()) return nullptr;
  PosixFind* find = new PosixFind;
  find->folder = folder;
  bool wild = namePattern.find_first_of("*?") != std::string::npos;
  if (!wild) {
    struct stat st;
    if (stat(p.c_str(), &st) != 0) {
      delete find;
      if (noMatch && errno == ENOENT) {
        struct stat parent;
        *noMatch = stat(folder.c_str(), &parent) == 0 && S_ISDIR(parent.st_mode);
      }
      return nullptr;
    }
    OsFindData d;
    FillFindData(namePattern, st, &d);
    find->entries.push_back(d);
  } else {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
      delete find;
      return nullptr;
    }
    while (struct dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (!MatchPattern(namePattern, name)) continue;
      struct stat st;
      std::string full = folder + "/" + name;
      if (stat(full.c_str(), &st) != 0) continue;
      OsFindData d;
      FillFindData(name, st, &d);
      find->entries.push_back(d);
    }
    closedir(dir);
  }
  if (find->entries.empty()) {
    delete find;
    if (noMatch) *noMatch = true;
    return nullptr;
  }
  *data = find->entries[0];
  find->next = 1;
  return find;
}

bool OsFindNext(OsFind handle, OsFindData* data) {
  PosixFind* find = static_cast<PosixFind*>(handle);
  if (!find || find->next >= find->entries.size()) return false;
  *data = find->entries[find->next++];
  return true;
}

void OsFindClose(OsFind handle) { delete static_cast<PosixFind*>(handle); }

bool OsFileTimeToLocalSeconds(uint64_t fileTime, int64_t* seconds) {
  if (fileTime < kFileTimeUnixEpoch) return false;
  time_t t = static_cast<time_t>((fileTime - kFileTimeUnixEpoch) / kFileTimeTicksPerSecond);
  struct tm local;
  if (!localtime_r(&t, &local)) return false;
  *seconds = static_cast<int64_t>(t) + local.tm_gmtoff;
  return true;
}

std::string PosixTempPath() {
  const char* env = getenv("TMPDIR");
  std::string path = env && *env ? env : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

ZANDOR_DOUBLE_MAY_REPLACE std::string OsGetTempPath() { return PosixTempPath(); }

void PosixForgetCreationTimes() {
  std::lock_guard<std::mutex> lock(g_creationLock);
  CreationTimes().clear();
}

uint32_t OsNameSeed() {
  static std::atomic<uint32_t> calls{0};
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint32_t ticks = static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
  return static_cast<uint32_t>(getpid()) * 2654435761u ^ ticks ^ (++calls * 40503u);
}

bool OsIsFullPath(const std::string& path) { return !path.empty() && (path[0] == '/' || path[0] == '\\'); }
