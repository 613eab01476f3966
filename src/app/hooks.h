// Hook programs of the work folder: the before-hook at start-up, the
// while-hook beside the wizard, the after-hook at the end of the run. Each
// runs with no arguments and the work folder as its working folder.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/program_runner.h"

extern const char* const kBeforeHook;  // "BeforeZD.exe"
extern const char* const kWhileHook;   // "WhileZD.exe"
extern const char* const kAfterHook;   // "AfterZD.exe"

// The before-hook's exit code that ends the run at once.
const uint32_t kHookCancelsRun = 1;

// Runs the before-hook when present and hookMode allows it; its exit code,
// or 0 when it did not run.
uint32_t RunBeforeHook(const std::string& workFolder, int8_t hookMode);
// Starts the while-hook when present; its program object, or 0.
Program StartWhileHook(const std::string& workFolder);
// Ends a still-running while-hook, releases it, sets *hook to 0 and pauses
// 500 ms. A hook that has ended already is left as it is.
void TerminateWhileHook(Program* hook);
// Runs the after-hook when present and hookMode allows it, and waits.
void RunAfterHook(const std::string& workFolder, int8_t hookMode);
