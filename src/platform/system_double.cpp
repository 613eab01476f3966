// The system double of the native build: shell folders, the NT-family test,
// locale, rights, named mutexes and the restart prompt as settings that tests
// choose, and the command line, module path, temporary folder and GUID
// standing in front of the real ones (real_posix.h). All of it is one record
// that ResetSystemDouble puts back whole.
#include <map>
#include <set>
#include <string>

#include "platform/file.h"
#include "platform/real_posix.h"
#include "platform/system.h"
#include "platform/system_double.h"

namespace {

struct SystemDouble {
  std::map<int32_t, std::string> specialFolders;
  std::string systemDirectory = "C:\\WINDOWS\\system32\\";
  std::string windowsDirectory = "C:\\WINDOWS\\";
  bool ntFamily = true;
  std::string commandLine;     // empty: the real one
  std::string moduleFileName;  // empty: the real one
  std::string tempPath;        // empty: the real one
  bool guidFails = false;
  uint16_t langId = 0x0409;
  bool admin = true;
  std::set<std::string> heldMutexes;
  int rebootPrompts = 0;
};

SystemDouble& Double() {
  static SystemDouble d;
  return d;
}

}  // namespace

void ResetSystemDouble() {
  Double() = SystemDouble();
  PosixForgetCreationTimes();
}
void SystemDoubleSetSpecialFolder(int32_t csidl, const std::string& path) {
  Double().specialFolders[csidl] = path;
}
void SystemDoubleSetSystemDirectory(const std::string& path) { Double().systemDirectory = path; }
void SystemDoubleSetWindowsDirectory(const std::string& path) { Double().windowsDirectory = path; }
void SystemDoubleSetNtFamily(bool nt) { Double().ntFamily = nt; }
void SystemDoubleSetCommandLine(const std::string& commandLine) { Double().commandLine = commandLine; }
void SystemDoubleSetModuleFileName(const std::string& path) { Double().moduleFileName = path; }
void SystemDoubleSetTempPath(const std::string& path) { Double().tempPath = path; }
void SystemDoubleSetUserDefaultLangID(uint16_t id) { Double().langId = id; }
void SystemDoubleSetAdminRights(bool admin) { Double().admin = admin; }
void SystemDoubleSetGuidFails(bool fails) { Double().guidFails = fails; }
void SystemDoubleHoldMutex(const std::string& name) { Double().heldMutexes.insert(name); }
int SystemDoubleRebootPrompts() { return Double().rebootPrompts; }

bool OsGetSpecialFolder(int32_t csidl, std::string* path) {
  auto it = Double().specialFolders.find(csidl);
  if (it == Double().specialFolders.end() || it->second.empty()) return false;
  *path = it->second;
  return true;
}

std::string OsGetSystemDirectory() { return Double().systemDirectory; }
std::string OsGetWindowsDirectory() { return Double().windowsDirectory; }
bool OsIsNtFamily() { return Double().ntFamily; }

std::string OsCreateGuidText() { return Double().guidFails ? std::string() : PosixGuidText(); }

std::string OsGetModuleFileName() {
  return Double().moduleFileName.empty() ? PosixModuleFileName() : Double().moduleFileName;
}

std::string OsGetCommandLine() {
  return Double().commandLine.empty() ? PosixCommandLine() : Double().commandLine;
}

std::string OsGetTempPath() {
  const std::string& path = Double().tempPath;
  if (path.empty()) return PosixTempPath();
  return path.back() == '/' ? path : path + '/';
}

MutexProbe OsProbeNamedMutex(const std::string& name) {
  return Double().heldMutexes.count(name) ? kMutexExisted : kMutexCreated;
}

uint16_t OsGetUserDefaultLangID() { return Double().langId; }
bool OsHasAdminRights() { return Double().admin; }
void OsPromptReboot() { ++Double().rebootPrompts; }
