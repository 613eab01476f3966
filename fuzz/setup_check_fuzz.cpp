// Fuzz target for the setup-folder checks of zandor build: any setup.ini
// (and the same bytes as language file, side picture and header icon) is
// checked without fault, and every finding in setup.ini names a line that
// the file has.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "lib/setup_check.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Folder() {
  static fs::path folder;
  if (folder.empty()) {
    folder = fs::temp_directory_path() / ("zandor-setup-check-fuzz-" + OsCreateGuidText());
    fs::create_directories(folder / "setup");
    fs::create_directories(folder / "program");
    std::ofstream(folder / "program" / "viewer.exe") << "MZ";
  }
  return folder;
}

void Put(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const fs::path setup = Folder() / "setup";
  for (const char* name : {"setup.ini", "english.lng", "splash.bmp", "header.ico"}) Put(setup / name, data, size);
  // The most lines the file can have: every CR or LF may end one.
  int lines = 1;
  for (size_t i = 0; i < size; i++) lines += data[i] == '\n' || data[i] == '\r';
  for (const SetupFinding& finding : CheckSetupFolder(setup.string(), (Folder() / "program").string())) {
    if (finding.file == "setup.ini" && (finding.line < 0 || finding.line > lines)) {
      fprintf(stderr, "setup_check_fuzz: line %d of a file of at most %d lines: %s\n", finding.line, lines,
              FormatFinding(finding).c_str());
      abort();
    }
    if (finding.text.empty()) abort();
  }
  return 0;
}
