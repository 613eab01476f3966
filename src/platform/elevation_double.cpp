#include "platform/elevation_double.h"

#include <string>

#include "platform/elevation.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/system.h"

namespace {

struct ElevationDouble {
  OsElevation state = kElevationFull;
  std::vector<std::string> denied;
  OsElevatedStart answer = kElevatedStarted;
  uint32_t (*run)(const ElevationDoubleStart&) = nullptr;
  std::vector<ElevationDoubleStart> starts;
  std::string sid = "S-1-5-21-1000";
  std::string userRegistry;
};

ElevationDouble& Double() {
  static ElevationDouble d;
  return d;
}

bool Below(const std::string& path, const std::string& folder) {
  if (path.size() < folder.size()) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    char a = path[i], b = folder[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return path.size() == folder.size() || folder.back() == '\\' || path[folder.size()] == '\\';
}

}  // namespace

void ResetElevationDouble() { Double() = ElevationDouble(); }
void ElevationDoubleSetState(OsElevation state) { Double().state = state; }
void ElevationDoubleDenyWrites(const std::string& folder) { Double().denied.push_back(folder); }
void ElevationDoubleSetPromptAnswer(OsElevatedStart answer) { Double().answer = answer; }
void ElevationDoubleOnStart(uint32_t (*run)(const ElevationDoubleStart&)) { Double().run = run; }
const std::vector<ElevationDoubleStart>& ElevationDoubleStarts() { return Double().starts; }
void ElevationDoubleSetUserSid(const std::string& sid) { Double().sid = sid; }
const std::string& ElevationDoubleUserRegistry() { return Double().userRegistry; }

OsElevation OsGetElevation() { return Double().state; }

bool OsCanCreateIn(const std::string& folder, bool) {
  ElevationDouble& d = Double();
  if (d.state == kElevationFull) return true;
  for (const std::string& denied : d.denied) {
    if (Below(folder, denied)) return false;
  }
  return true;
}

OsElevatedStart OsStartElevated(const std::string& program, const std::string& parameters, OsHandle* process) {
  ElevationDouble& d = Double();
  *process = nullptr;
  if (d.answer != kElevatedStarted) return d.answer;
  ElevationDoubleStart start{program, parameters};
  d.starts.push_back(start);
  const uint32_t code = d.run ? d.run(start) : 0;
  OsStartedProcess started;
  if (!OsCreateProcess("/bin/sh -c \"exit " + std::to_string(code & 0xFF) + "\"", "", true, &started)) {
    return kElevatedFailed;
  }
  *process = started.process;
  return kElevatedStarted;
}

std::string OsGetUserSid() { return Double().sid; }

bool OsUseUserRegistry(const std::string& sid) {
  if (sid.empty()) return false;
  Double().userRegistry = sid;
  return true;
}
