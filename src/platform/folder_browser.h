// The system's folder browser. The native build answers from a script of
// paths and records every call (folder_browser_double.h).
#pragma once
#include <cstdint>
#include <string>

// Shows the browser with the prompt as its title text, opened at
// startFolder (a path the shell knows, without a trailing "\" except for a
// drive root), in the newer dialog style. The thread's other windows are
// disabled meanwhile, as for a message box, and the browser's owner is the
// foreground window when it is one of this process's. `owner` is the window
// the browser was opened from, normally that foreground window.
// Answers the chosen folder's file-system path as the system gives it (no
// trailing "\" added), or empty for a cancel, a choice without a
// file-system path, or a system without the browser.
std::string OsBrowseForFolder(uintptr_t owner, const std::string& prompt, const std::string& startFolder);
