// Whether a program is running, found by the file name of its executable in
// the system's process list.
#pragma once
#include <string>

// True when at least one process's executable has exeName as its file name,
// in any letter case (see UpperProgramName). The whole list is compared;
// a list that cannot be read counts as no program running.
bool IsProgramRunning(const std::string& exeName);

// The letters a to z and the bytes 0xE0 to 0xFF less 32; every other byte as
// it is.
std::string UpperProgramName(const std::string& name);
// A process's executable name, upper-cased, cut to its file-name part (after
// the last "\" or "/"), equals upperExeName byte for byte.
bool ProcessNameMatches(const std::string& processExe, const std::string& upperExeName);
