// Process runner: starts programs directly or through the shell's "open",
// waits for them, and keeps program objects for exit code, running test,
// termination and release.
#pragma once
#include <cstdint>
#include <string>

enum : uint32_t { kRunWait = 1, kRunHide = 2, kRunOpen = 4 };
const uint32_t kStillActive = 259;

// A program object, or 0 for none. Without kRunOpen a successful start
// answers 1, which is no program object.
typedef uintptr_t Program;

Program RunProgram(const std::string& program, const std::string& parameters,
                   const std::string& folder, uint32_t flags);
uint32_t ProgramExitCode(Program program);  // 259 while it runs; 0 for no object
bool ProgramRunning(Program program);
bool KillProgram(Program program);  // exit code FFFFFFFF hexadecimal
void CloseProgram(Program program);
bool IsProgram(Program program);
// The command line that RunProgram builds (exposed for tests).
std::string BuildProgramCommandLine(const std::string& program, const std::string& parameters);
void ResetProcessRunner();  // tests: release every open program
