// System services of the native build that POSIX has: environment, identity
// of the running program, a GUID from the system's random source, the clock
// and the terminal test. What only Windows has lives in the test double
// (system_double.cpp).
#include <errno.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/real_posix.h"
#include "platform/system.h"

void OsRestrictDllSearch() {}

std::string PosixGuidText() {
  static const char* hex = "0123456789ABCDEF";
  std::random_device device;
  std::string text = "{";
  uint32_t bits = 0;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) text += '-';
    if (i % 8 == 0) bits = device();
    text += hex[bits & 15];
    bits >>= 4;
  }
  text += "}";
  return text;
}

ZANDOR_DOUBLE_MAY_REPLACE std::string OsCreateGuidText() { return PosixGuidText(); }

uint32_t OsGetProcessId() { return static_cast<uint32_t>(getpid()); }

uint64_t OsGetClockTicks() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

std::string PosixModuleFileName() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

ZANDOR_DOUBLE_MAY_REPLACE std::string OsGetModuleFileName() { return PosixModuleFileName(); }

std::string PosixCommandLine() {
  // /proc/self/cmdline holds the arguments split at zero bytes; join them
  // back the way Windows hands over a command line, quoting those with blanks.
  std::string line;
  if (FILE* f = fopen("/proc/self/cmdline", "rb")) {
    std::string raw;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) raw.append(buffer, n);
    fclose(f);
    size_t start = 0;
    while (start < raw.size()) {
      size_t end = raw.find('\0', start);
      if (end == std::string::npos) end = raw.size();
      std::string arg = raw.substr(start, end - start);
      if (!line.empty()) line += ' ';
      if (arg.empty() || arg.find(' ') != std::string::npos) {
        line += '"' + arg + '"';
      } else {
        line += arg;
      }
      start = end + 1;
    }
  }
  return line;
}

ZANDOR_DOUBLE_MAY_REPLACE std::string OsGetCommandLine() { return PosixCommandLine(); }

bool OsSetEnvironment(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string OsGetEnvironment(const std::string& name) {
  const char* v = getenv(name.c_str());
  return v ? v : "";
}

bool OsStderrIsTerminal() { return isatty(2) != 0; }

uint32_t OsLastError() { return static_cast<uint32_t>(errno); }
void OsSetLastError(uint32_t code) { errno = static_cast<int>(code); }
bool OsIsDiskFullError(uint32_t code) {
  return code == static_cast<uint32_t>(ENOSPC) || code == static_cast<uint32_t>(EDQUOT);
}
