// The setup command line: "/Q", "/P", "/S", "/R", "/L", "/E", "/Z", and the run options it
// fixes before anything else is read.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Hook modes of "/R"; any other value runs neither the before-hook nor the
// after-hook. The while-hook does not depend on the mode.
const int8_t kHookModeBoth = 1;
const int8_t kHookModeBeforeOnly = 2;
const int8_t kHookModeAfterOnly = 3;

struct RunOptions {
  bool quiet = false;
  std::string installDirOverride;  // "/P"; empty: not given
  std::string startMenuOverride;   // "/S"; empty: not given
  int8_t hookMode = kHookModeBoth;  // "/R", kept in 8 bits
  std::string auditLogPath;         // "/L"; empty: no audit log
  bool honestExitCode = false;      // "/E": the exit code tells how the run ended
  std::string handoverPath;         // "/Z": the handover of the process that started this one elevated
  bool help = false;                // "/?", "/H" or "/HELP": show the switches, install nothing
  std::vector<std::string> ignored; // arguments that are no switch of setup, for the audit log
};

// The text of the help box: the switches and what they do.
extern const char kCommandLineHelp[];

// Reads a whole command line (program path first) into options, which the
// caller has set to their defaults.
void ReadCommandLine(const std::string& commandLine, RunOptions* options);
// The arguments of a whole command line: the text after the program path,
// as it was written.
std::string CommandLineArguments(const std::string& commandLine);
