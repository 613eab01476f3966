// The script control of the native build: it runs nothing and keeps what it
// was given, for the tests to read back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ScriptDoubleRun {
  std::string language;
  int32_t timeoutMs = 0;
  std::string code;
};

// Absent, not created, nothing run, nothing released.
void ResetScriptDouble();
// Makes the next OsCreateScriptControl fail, as on a system without the control.
void ScriptDoubleSetCreationFails(bool fails);
const std::vector<ScriptDoubleRun>& ScriptDoubleRuns();
int ScriptDoubleReleases();
