// Fuzz target of the setup command line reader.
//
// The input is read twice as a whole command line:
// - from the defaults and from a record already holding other values: a field
//   that the line sets must come out the same from both, a field it leaves
//   alone must keep its starting value in each (quiet is only ever switched
//   on); the values taken are pieces of the line;
// - behind an empty quoted argument, where nothing may be read at all.
// The input also supplies option values for a round trip: they are written
// as a command line the way a caller quotes them (each switch a quoted
// argument, after an earlier value of the same switch) and must read back
// exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/setup_state.h"

namespace {

void Check(bool ok, const char* what, const std::string& line) {
  if (ok) return;
  std::fprintf(stderr, "command_line_fuzz: %s\nline: [%s]\n", what, line.c_str());
  std::abort();
}

RunOptions OtherStart() {
  RunOptions start;
  start.installDirOverride = "\x01start dir";
  start.startMenuOverride = "\x01start menu";
  start.hookMode = -77;
  return start;
}

template <typename T>
bool SameOrUntouched(const T& a, const T& startA, const T& b, const T& startB) {
  return a == b || (a == startA && b == startB);
}

void CheckRawLine(const std::string& line) {
  RunOptions fromDefaults;
  ReadCommandLine(line, &fromDefaults);
  const RunOptions startB = OtherStart();
  RunOptions fromOther = startB;
  ReadCommandLine(line, &fromOther);
  const RunOptions startA;

  Check(SameOrUntouched(fromDefaults.installDirOverride, startA.installDirOverride, fromOther.installDirOverride,
                        startB.installDirOverride),
        "installation folder depends on the starting record", line);
  Check(SameOrUntouched(fromDefaults.startMenuOverride, startA.startMenuOverride, fromOther.startMenuOverride,
                        startB.startMenuOverride),
        "start-menu folder depends on the starting record", line);
  Check(SameOrUntouched(fromDefaults.hookMode, startA.hookMode, fromOther.hookMode, startB.hookMode),
        "hook mode depends on the starting record", line);
  Check(fromDefaults.quiet == fromOther.quiet, "quiet depends on the starting record", line);
  Check(line.find(fromDefaults.installDirOverride) != std::string::npos, "installation folder not from the line",
        line);
  Check(line.find(fromDefaults.startMenuOverride) != std::string::npos, "start-menu folder not from the line", line);

  RunOptions stopped;
  ReadCommandLine("Install.exe \"\" " + line, &stopped);
  Check(!stopped.quiet && stopped.installDirOverride.empty() && stopped.startMenuOverride.empty() &&
            stopped.hookMode == 1,
        "a switch read after an empty quoted argument", line);
}

// The piece of text up to the next newline, with quotes dropped: a quoted
// argument has no way to carry one.
std::string TakeValue(const std::string& data, size_t* pos) {
  std::string value;
  while (*pos < data.size() && data[*pos] != '\n') {
    if (data[*pos] != '"') value += data[*pos];
    ++*pos;
  }
  if (*pos < data.size()) ++*pos;
  return value;
}

void CheckRoundTrip(const std::string& data) {
  size_t pos = 0;
  std::string dir = TakeValue(data, &pos);
  std::string menu = TakeValue(data, &pos);
  std::string number = TakeValue(data, &pos);
  bool quiet = pos < data.size();
  int32_t hook = 0;
  std::memcpy(&hook, number.data(), number.size() < sizeof hook ? number.size() : sizeof hook);

  std::string line = "\"C:\\Program Files\\Setup 1\\Install.exe\" /P:old /s=old /R:5";
  if (quiet) line += " /quiet";
  line += " \"/P:" + dir + "\" \"/S=" + menu + "\"";
  line += " \"/r-" + std::to_string(hook) + "\"";
  RunOptions read;
  ReadCommandLine(line, &read);
  Check(read.quiet == quiet, "quiet not read back", line);
  Check(read.installDirOverride == dir, "installation folder not read back", line);
  Check(read.startMenuOverride == menu, "start-menu folder not read back", line);
  Check(read.hookMode == static_cast<int8_t>(static_cast<uint8_t>(hook & 0xFF)), "hook mode not read back", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  CheckRawLine(text);
  CheckRoundTrip(text);
  return 0;
}
