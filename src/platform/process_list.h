// The system's list of running processes, as the executable name of each
// (Toolhelp's szExeFile: a file name, or on some systems a full path).
//
// The native build answers from a list the tests set (process_list_double.h).
#pragma once
#include <string>
#include <vector>

// Appends the name of every process but the calling one, in the system's
// order, to *names. The installer is never the program it installs, even
// when its file carries that program's name (Viewer.exe installing
// viewer.exe): it would warn about itself on every run. False, with nothing
// appended, when the list cannot be read (no Toolhelp in "Kernel32.dll", or
// no snapshot).
bool OsListProcessNames(std::vector<std::string>* names);
