// The native build's real answers to the calls whose answer the test double
// may choose instead (system_double.cpp). The Os* definitions of those calls
// are weak: where the double is linked, its definitions take their place and
// fall back on these when a test chose nothing. The zandor tool links no
// double and gets the real ones.
#pragma once
#include <string>

#define ZANDOR_DOUBLE_MAY_REPLACE __attribute__((weak))

std::string PosixCommandLine();
std::string PosixModuleFileName();
std::string PosixGuidText();
std::string PosixTempPath();
// Drops every creation time that file_posix.cpp keeps for the files it set
// them on, as a test double's reset does.
void PosixForgetCreationTimes();
