// The end of a setup run: the final stage of a wizard run, the deletion of
// the work folder, the restart prompt and the start of the installed program.
#pragma once
#include <string>

#include "app/command_line.h"
#include "app/config.h"
#include "app/install.h"
#include "app/setup_state.h"
#include "app/startup.h"

// Deletes the files directly in the work folder, then the folder when empty.
// An empty name deletes nothing.
void DeleteWorkFolder(const std::string& workFolder);
// Starts installDir + progExe when that file exists, without waiting.
void StartInstalledProgram(const std::string& installDir, const std::string& progExe);
// The final stage of a wizard run (also when the wizard could not open):
// the end of an administrator logon that *login holds, the after-hook
// unless cancelled, the work folder, then the restart prompt or the
// installed program.
void RunFinalStage(const RunOptions& options, const RunPaths& paths, const ProductInfo& product,
                   const InstallResult& installed, const RunFlags& flags, LoginState* login = nullptr);
