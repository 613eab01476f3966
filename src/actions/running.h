// Whether a program is running, found by the file name of its executable.
#pragma once
#include <string>

bool IsProgramRunning(const std::string& exeName);
