// The system's own modal dialogs (message box, folder browser) are made
// modal by hand: every other window of the thread is disabled around the
// system call and enabled again afterwards, so that the wizard and any
// dialog of ours under it take no clicks meanwhile.
#pragma once
#include <windows.h>

#include <vector>

// Disables every visible, enabled top-level window of the current thread
// except the foreground window and adds them to *disabled. Answers the owner
// for the system dialog: the foreground window when it belongs to this
// process, else none.
HWND DisableThreadWindows(std::vector<HWND>* disabled);
void EnableWindowsAgain(const std::vector<HWND>& disabled);
