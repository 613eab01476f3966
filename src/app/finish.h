// Hook programs and the end of a setup run.
#pragma once
#include <cstdint>
#include <string>

extern const char* const kBeforeHook;  // "BeforeZD.exe"
extern const char* const kWhileHook;   // "WhileZD.exe"
extern const char* const kAfterHook;   // "AfterZD.exe"

// Runs the before-hook when present and the hook mode allows it; its exit
// code, or 0 when it did not run.
uint32_t RunBeforeHook();
void StartWhileHook();
// Ends a still-running while-hook, releases it and pauses 500 ms.
void TerminateWhileHook();
void RunAfterHook();
// Deletes the files directly in the work folder, then the folder when empty.
void DeleteWorkFolder();
// Start of the installed program: installation folder + ProgExe.
void StartInstalledProgram();
// The final stage of a wizard run (also when the wizard could not open).
void RunFinalStage();
