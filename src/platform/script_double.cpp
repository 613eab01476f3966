#include "platform/script.h"
#include "platform/script_double.h"

namespace {

struct ScriptDouble {
  bool creationFails = false;
  bool present = false;
  int releases = 0;
  std::vector<ScriptDoubleRun> runs;
};

ScriptDouble& Double() {
  static ScriptDouble d;
  return d;
}

}  // namespace

void ResetScriptDouble() { Double() = ScriptDouble(); }
void ScriptDoubleSetCreationFails(bool fails) { Double().creationFails = fails; }
const std::vector<ScriptDoubleRun>& ScriptDoubleRuns() { return Double().runs; }
int ScriptDoubleReleases() { return Double().releases; }

bool OsCreateScriptControl() {
  Double().present = !Double().creationFails;
  return Double().present;
}

void OsReleaseScriptControl() {
  if (!Double().present) return;
  Double().present = false;
  ++Double().releases;
}

bool OsScriptControlPresent() { return Double().present; }

bool OsRunScriptCode(const std::string& language, int32_t timeoutMs, const std::string& code) {
  if (!Double().present) return false;
  ScriptDoubleRun run;
  run.language = language;
  run.timeoutMs = timeoutMs;
  run.code = code;
  Double().runs.push_back(run);
  return true;
}
