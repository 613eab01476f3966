// Private folders and final paths for the native build.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/guard.h"
#include "platform/path_posix.h"

bool OsCreatePrivateFolder(const std::string& path) {
  std::string p = ToPosixPath(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  // mkdir never follows a link at the final name: anything there fails it.
  return mkdir(p.c_str(), 0700) == 0;
}

std::string OsFinalPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (realpath(ToPosixPath(path).c_str(), buffer) == nullptr) return std::string();
  // Back to the Windows form the callers compare in.
  std::string final = buffer;
  for (char& c : final) {
    if (c == '/') c = '\\';
  }
  return final;
}

bool OsIsLink(const std::string& path) {
  std::string p = ToPosixPath(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st;
  return lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
