// The install itself: the copy step and the install sequences.
#pragma once
#include <string>

// Copies the program files of setup.pck into the installation folder; with
// progress the wizard's progress bar follows the bytes written.
void CopyProgramFiles(bool withProgress);
// The install without wizard ("/Q"), including its own after-hook, clean-up
// and restart prompt.
void RunQuietInstall();
// Publishes the installation folder (with "\") to child processes.
void PublishInstallDir(const std::string& installDir);
