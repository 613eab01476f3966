#include "actions/running.h"

#include <vector>

#include "platform/process_list.h"

std::string UpperProgramName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) {
    unsigned char byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || byte >= 0xE0) c = static_cast<char>(byte - 32);
  }
  return upper;
}

bool ProcessNameMatches(const std::string& processExe, const std::string& upperExeName) {
  const std::string upper = UpperProgramName(processExe);
  const size_t cut = upper.find_last_of("\\/");
  return (cut == std::string::npos ? upper : upper.substr(cut + 1)) == upperExeName;
}

bool IsProgramRunning(const std::string& exeName) {
  std::vector<std::string> processes;
  if (!OsListProcessNames(&processes)) return false;
  const std::string wanted = UpperProgramName(exeName);
  bool running = false;
  for (const std::string& process : processes) {
    if (ProcessNameMatches(process, wanted)) running = true;
  }
  return running;
}
