// Fuzz target for the INI store: any bytes parse without fault, and a
// rewrite reads back to the same groups, keys and values.
//
// The input goes to a temporary file. Everything the store reports for it
// (each group's keys and their values, as IniReadString returns them) is
// recorded; one key is written to force a rewrite; the file is reopened and
// every recorded value must read back unchanged, plus the written key.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/text.h"

namespace {

struct Seen {
  std::string group;  // as the header names it, in the caller's Latin-1 form
  bool top = false;
  std::string key;
  std::string value;
};

const char kProbeKey[] = "ZzFuzzProbe";

void Fail(const char* what, const Seen& seen) {
  fprintf(stderr, "ini_fuzz: %s (group '%s', key '%s')\n", what, seen.group.c_str(), seen.key.c_str());
  abort();
}

std::string TempPath() {
  static std::string path;
  if (path.empty()) path = GetTemporaryFolder() + "zandor-ini-fuzz-" + OsCreateGuidText() + ".ini";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  std::string path = TempPath();
  OsFile out = OsOpenFile(path, kOsOpenCreateAlways);
  if (!out) return 0;
  bool written = OsWriteFile(out, data, static_cast<uint32_t>(size));
  OsCloseFile(out);
  if (!written) return 0;

  ResetIni();
  IniOpen(path);
  bool utf8 = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF;
  std::vector<Seen> seen;
  // Every key line is asked for under the group it stands in. Names in a
  // UTF-8 file that have no Latin-1 form cannot be asked for and are
  // skipped. A key under a later group of a name seen before reads from the
  // first group of that name: it is recorded as the store answers it.
  std::string group;
  bool top = true;
  bool reachable = true;
  IniSelectGroup("");
  for (const IniLine& line : IniLines()) {
    if (line.kind == kIniGroup) {
      group = utf8 ? Utf8ToLatin1(line.name) : std::string(line.name);
      top = false;
      reachable = !group.empty() && !(utf8 && Latin1ToUtf8(group) != line.name);
      if (reachable && !IniSelectGroup(group)) Fail("a listed group is not found", Seen{group, top, "", ""});
      continue;
    }
    if (line.kind != kIniKey || !reachable) continue;
    std::string key = utf8 ? Utf8ToLatin1(line.name) : std::string(line.name);
    if (utf8 && Latin1ToUtf8(key) != line.name) continue;
    if (EqualNoCase(key, kProbeKey)) continue;
    seen.push_back(Seen{group, top, key, IniReadString(key, "\x01missing")});
  }
  IniSelectGroup("");
  IniWriteString(kProbeKey, "probe value");
  // A single-byte file whose first line, once its indentation is gone,
  // starts with EF BB BF comes back as a UTF-8 file: the rewrite format
  // cannot say otherwise. Such inputs are only parsed.
  std::string content = IniBuildContent();
  bool becomesUtf8 = !utf8 && content.compare(0, 3, "\xEF\xBB\xBF") == 0;
  IniClose();
  if (becomesUtf8) {
    OsDeleteFile(path);
    return 0;
  }

  IniOpen(path);
  if ((IniBuildContent().compare(0, 3, "\xEF\xBB\xBF") == 0) != utf8) {
    Fail("encoding changed in the rewrite", Seen());
  }
  for (const Seen& s : seen) {
    if (!IniSelectGroup(s.group)) Fail("group lost in the rewrite", s);
    if (IniReadString(s.key, "\x01missing") != s.value) Fail("value changed in the rewrite", s);
  }
  IniSelectGroup("");
  if (IniReadString(kProbeKey) != "probe value") Fail("written key not read back", Seen());
  IniClose();
  OsDeleteFile(path);
  return 0;
}
