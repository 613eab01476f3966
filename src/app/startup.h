// Entry of the setup run: start-up, the quiet install or the wizard, the
// final stage and the exit path. The process exit code is always 0.
#pragma once
#include <string>

int SetupMain();

// The steps of start-up, in order; SetupMain runs them. Exposed so that tests
// can run a part of the sequence.
void InitRuntime();
void ReadRunOptions();
void PrepareWorkFolderName();
void CreateWorkFolder();
void UnpackSetupFiles();
void ReadConfigurationAndLanguage();
// False when the user cancelled the running warning.
bool CheckProgramRunning();
void ShutdownRuntime();
