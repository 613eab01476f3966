// Fuzz target of the language texts: the choice from the language list and
// loading a language file.
//
// Input: the first line is the language list ("file#number|..."), the rest
// is the language file.
// - The choice is made for a few user languages (English, German and the
//   number of each listed entry). The language number is the low nine bits
//   of the user's language; the answer is a file name without "#" or "|"
//   taken from the list, empty for a list without "|". An entry for the
//   user's language added at the end always wins; one added at the front
//   never changes a non-empty answer. The one-entry rule answers the start
//   of the list up to its first "#" or "|".
// - Loading must leave the file's bytes alone and give, for every text, the
//   value the INI store reads for its group and key, or the default when the
//   file does not have it, "|" turned into a line feed in the two titles.
//   Loading the same file again, after a load of the defaults, gives the same
//   table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/text.h"
#include "ui/language.h"

namespace {

// The list is walked once per entry; setup authors write a handful of
// entries, and longer lists only slow the fuzzer down.
const size_t kMaxList = 4096;
const int kMaxLanguages = 8;
// A file may hold either marker as a value, but not both at once for one
// key, so a key is missing only when each read gives its own marker back.
const char kMissing[] = "\x01missing";
const char kAbsent[] = "\x02" "absent";

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "language_fuzz: %s [%s]\n", what, detail.c_str());
  std::abort();
}

std::string TempPath() {
  static std::string path;
  if (path.empty()) path = GetTemporaryFolder() + "zandor-language-fuzz-" + OsCreateGuidText() + ".lng";
  return path;
}

// A title with a bar shows that the bars of built-in defaults break too.
const char* const kTitle = "Vie|wer $Titel";
const char* const kVersion = "2.1";

bool IsTitleText(TextId id) {
  std::string name = std::string(TextGroup(id)) + "/" + TextKey(id);
  return name == "Page01/Titel" || name == "Page05/Titel1";
}

std::string BreakLines(std::string text) {
  for (char& c : text) {
    if (c == '|') c = '\n';
  }
  return text;
}

void CheckChoice(const std::string& list) {
  std::vector<uint16_t> languages = {0x0409, 0x0407};
  for (int i = 1; i <= CountChar(list, '|') && i <= kMaxLanguages; i++) {
    languages.push_back(static_cast<uint16_t>(TextToInt(Field(Field(list, '|', i), '#', 2))));
  }
  for (uint16_t language : languages) {
    int32_t number = language & 0x1FF;
    int32_t chosenNumber = -1;
    std::string chosen = ChooseLanguageFile(list, language, &chosenNumber);
    if (chosenNumber != number) Fail("language number is not the low nine bits", list);
    if (chosen.find_first_of("#|") != std::string::npos) Fail("chosen name holds a separator", chosen);
    if (list.find(chosen) == std::string::npos) Fail("chosen name not in the list", chosen);
    if (CountChar(list, '|') == 0 && !chosen.empty()) Fail("a list without entries chose a file", list);

    std::string entry = "zz.lng#" + std::to_string(number) + "|";
    int32_t ignored = 0;
    if (ChooseLanguageFile(list + "|" + entry, language, &ignored) != "zz.lng") Fail("a later matching entry lost", list);
    // An empty answer is also what a matching entry without a file name
    // gives, so then the front entry may or may not win.
    std::string front = ChooseLanguageFile(entry + list, language, &ignored);
    if (front != chosen && !(chosen.empty() && front == "zz.lng")) Fail("an earlier matching entry won", list);
  }

  std::string first = LanguageFileFromList(list);
  if (list.compare(0, first.size(), first) != 0) Fail("one-entry name is not the start of the list", list);
  if (first.find_first_of("#|") != std::string::npos) Fail("one-entry name holds a separator", first);
  if (first.size() < list.size() && list[first.size()] != '#' && list[first.size()] != '|') {
    Fail("one-entry name stops short", list);
  }
}

std::vector<std::string> Table() {
  std::vector<std::string> texts;
  for (int i = 0; i < kTextCount; i++) texts.push_back(Text(static_cast<TextId>(i)));
  return texts;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  OsFile in = OsOpenFile(path, kOsOpenRead);
  if (!in) return bytes;
  char buffer[4096];
  uint32_t got = 0;
  while (OsReadFile(in, buffer, sizeof buffer, &got) && got > 0) bytes.append(buffer, got);
  OsCloseFile(in);
  return bytes;
}

void CheckLoad(const std::string& file) {
  std::string path = TempPath();
  OsFile out = OsOpenFile(path, kOsOpenCreateAlways);
  if (!out) return;
  bool written = OsWriteFile(out, file.data(), static_cast<uint32_t>(file.size()));
  OsCloseFile(out);
  if (!written) return;

  LoadLanguageTexts(std::string(), kTitle, kVersion);
  std::vector<std::string> defaults = Table();
  LoadLanguageTexts(path, kTitle, kVersion);
  std::vector<std::string> loaded = Table();
  if (ReadAll(path) != file) Fail("loading changed the file", path);

  ResetIni();
  IniOpen(path);
  for (int i = 0; i < kTextCount; i++) {
    TextId id = static_cast<TextId>(i);
    IniSelectGroup(TextGroup(id));
    std::string value = IniReadString(TextKey(id), kMissing);
    bool missing = value == kMissing && IniReadString(TextKey(id), kAbsent) == kAbsent;
    std::string expected = missing ? defaults[static_cast<size_t>(i)] : value;
    if (IsTitleText(id)) expected = BreakLines(expected);
    if (loaded[static_cast<size_t>(i)] != expected) {
      Fail("text differs from the file or the default", std::string(TextGroup(id)) + "/" + TextKey(id));
    }
  }
  ResetIni();

  LoadLanguageTexts(std::string(), kTitle, kVersion);
  LoadLanguageTexts(path, kTitle, kVersion);
  if (Table() != loaded) Fail("a second load differs", path);
  OsDeleteFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  std::string list = input.substr(0, newline);
  std::string file = newline == std::string::npos ? std::string() : input.substr(newline + 1);

  ResetLanguageTexts();
  if (list.size() <= kMaxList) CheckChoice(list);
  CheckLoad(file);
  return 0;
}
