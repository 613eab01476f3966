// The install itself: the copy step and the install sequences.
#pragma once
#include <string>

#include "platform/window.h"

// Copies the program files of setup.pck into the installation folder; with
// progress the wizard's progress bar follows the bytes written.
void CopyProgramFiles(bool withProgress);
// The install without wizard ("/Q"), including its own after-hook, clean-up
// and restart prompt.
void RunQuietInstall();
// The install of the wizard's Install button, on the install page of the
// wizard window: the installation folder from its field, progress and log on
// the page, and the page left in its finished state (Finish instead of
// Cancel, the start-program box for an "exe").
void RunWizardInstall(OsWindow window);
// ProgExe names a program that can be started: its extension, in any case,
// is "exe". Anything else is neither started nor offered a desktop box.
bool IsExeProgram(const std::string& progExe);
// Publishes the installation folder (with "\") to child processes.
void PublishInstallDir(const std::string& installDir);
