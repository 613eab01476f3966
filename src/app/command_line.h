// The setup command line: "/Q", "/P", "/S", "/R".
#pragma once
#include <string>

#include "app/setup_state.h"

// Reads a whole command line (program path first) into options, which the
// caller has set to their defaults.
void ReadCommandLine(const std::string& commandLine, RunOptions* options);
