// The system's list of running processes, as the executable name of each
// (Toolhelp's szExeFile: a file name, or on some systems a full path).
//
// The native build answers from a list the tests set (process_list_double.h).
#pragma once
#include <string>
#include <vector>

// Appends the name of every process, in the system's order, to *names.
// False, with nothing appended, when the list cannot be read (no Toolhelp
// in "Kernel32.dll", or no snapshot).
bool OsListProcessNames(std::vector<std::string>* names);
