// System services of the native build: settable doubles for the shell
// folders, locale and rights; the real environment and temporary folder.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>

#include "platform/system.h"
#include "platform/system_double.h"

namespace {

struct SystemDouble {
  std::map<int32_t, std::string> specialFolders;
  std::string systemDirectory = "C:\\WINDOWS\\system32\\";
  std::string windowsDirectory = "C:\\WINDOWS\\";
  uint32_t version = 0x0A280106;  // a build byte that is not zero
  std::string commandLine;
  std::string moduleFileName;
  bool guidFails = false;
  uint16_t langId = 0x0409;
  bool admin = true;
  std::set<std::string> heldMutexes;
  std::set<std::string> ownMutexes;
};

SystemDouble& Double() {
  static SystemDouble d;
  return d;
}

}  // namespace

void ResetSystemDouble() { Double() = SystemDouble(); }
void SystemDoubleSetSpecialFolder(int32_t csidl, const std::string& path) {
  Double().specialFolders[csidl] = path;
}
void SystemDoubleSetSystemDirectory(const std::string& path) { Double().systemDirectory = path; }
void SystemDoubleSetWindowsDirectory(const std::string& path) { Double().windowsDirectory = path; }
void SystemDoubleSetVersion(uint32_t version) { Double().version = version; }
void SystemDoubleSetCommandLine(const std::string& commandLine) { Double().commandLine = commandLine; }
void SystemDoubleSetModuleFileName(const std::string& path) { Double().moduleFileName = path; }
void SystemDoubleSetUserDefaultLangID(uint16_t id) { Double().langId = id; }
void SystemDoubleSetAdminRights(bool admin) { Double().admin = admin; }
void SystemDoubleSetGuidFails(bool fails) { Double().guidFails = fails; }
void SystemDoubleSetTempPath(const std::string& path) {
  if (path.empty()) {
    unsetenv("ZANDOR_TEMP");
  } else {
    setenv("ZANDOR_TEMP", path.c_str(), 1);
  }
}
void SystemDoubleHoldMutex(const std::string& name) { Double().heldMutexes.insert(name); }

void OsRestrictDllSearch() {}

bool OsGetSpecialFolder(int32_t csidl, std::string* path) {
  auto it = Double().specialFolders.find(csidl);
  if (it == Double().specialFolders.end() || it->second.empty()) return false;
  *path = it->second;
  return true;
}

std::string OsGetSystemDirectory() { return Double().systemDirectory; }
std::string OsGetWindowsDirectory() { return Double().windowsDirectory; }
uint32_t OsGetVersion() { return Double().version; }
bool OsIsNtFamily() { return ((Double().version >> 16) & 0xFFu) != 0; }

std::string OsCreateGuidText() {
  if (Double().guidFails) return std::string();
  static std::random_device device;
  static std::mt19937_64 generator(device());
  static const char* hex = "0123456789ABCDEF";
  std::string text = "{";
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) text += '-';
    text += hex[generator() & 15];
  }
  text += "}";
  return text;
}

uint32_t OsGetProcessId() { return static_cast<uint32_t>(getpid()); }

uint64_t OsGetClockTicks() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

std::string OsGetModuleFileName() {
  if (!Double().moduleFileName.empty()) return Double().moduleFileName;
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string OsGetCommandLine() {
  if (!Double().commandLine.empty()) return Double().commandLine;
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

bool OsSetEnvironment(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string OsGetEnvironment(const std::string& name) {
  const char* v = getenv(name.c_str());
  return v ? v : "";
}

int OsProbeNamedMutex(const std::string& name) {
  if (Double().heldMutexes.count(name)) return 2;
  return 1;
}

uint16_t OsGetUserDefaultLangID() { return Double().langId; }
bool OsHasAdminRights() { return Double().admin; }
void OsPumpEvents() {}
bool OsStderrIsTerminal() { return isatty(2) != 0; }

namespace {
int g_rebootPrompts = 0;
}
void OsPromptReboot() { ++g_rebootPrompts; }
int SystemDoubleRebootPrompts() { return g_rebootPrompts; }
