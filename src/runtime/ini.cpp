#include "runtime/ini.h"

#include <deque>

#include "platform/file.h"
#include "runtime/filesys.h"
#include "runtime/text.h"

namespace {

struct IniStore {
  OsFile file = nullptr;
  bool writable = false;        // opened for writing: the rewrite may replace the file
  std::string path;             // the file that is open, for the rewrite beside it
  std::string pathToCreate;     // kept only when opening failed, so a change creates it
  bool modified = false;
  bool utf8 = false;            // began with EF BB BF
  std::vector<char> text;       // content after the byte-order mark, then two zero bytes
  std::deque<std::string> owned;  // storage of written names and values (stable addresses)
  std::vector<IniLine> lines;
  int32_t currentGroup = -1;    // index of the current group header; -1: top of the file
  bool hasPendingGroup = false;
  std::string pendingGroup;     // selected but not present; created by the next write
  bool writeLost = false;       // a write found no file to go to
};

IniStore g_ini;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }

std::string_view Own(std::string text) {
  g_ini.owned.push_back(std::move(text));
  return std::string_view(g_ini.owned.back());
}

// Names that callers pass are single-byte; a UTF-8 file holds them encoded.
std::string ToFileText(const std::string& text) { return g_ini.utf8 ? Latin1ToUtf8(text) : text; }

bool HasFile() { return g_ini.file != nullptr || !g_ini.pathToCreate.empty(); }

// INI text, as read from disk (after any EF BB BF):
//   lines end at CR, LF or a zero byte; a zero byte ends the text; runs of
//   CR and LF between lines are skipped, so empty lines vanish.
//   Leading blanks/tabs of a line are skipped, then the first character says:
//     ";"  comment: text after ";" and after one directly following blank
//     "["  group header: name up to the first "]" or the line end (blanks
//          inside belong to the name, anything after "]" is ignored)
//     else key line: key up to the first "=" or the line end, trailing
//          blanks/tabs cut; after "=" and its following blanks/tabs the
//          value runs to the line end (further "=" included, trailing blanks
//          kept until the value is read). No "=": the value is empty.
// Every index stays below `size`; text[size] and text[size+1] are zeros.
void ParseLines(const char* text, size_t size) {
  size_t p = 0;
  for (;;) {
    while (p < size && (text[p] == '\r' || text[p] == '\n')) p++;
    if (p >= size || text[p] == '\0') break;
    while (p < size && IsBlank(text[p])) p++;
    size_t lineEnd = p;
    while (lineEnd < size && !IsLineEnd(text[lineEnd])) lineEnd++;

    IniLine line;
    char first = p < lineEnd ? text[p] : '\0';
    if (first == ';') {
      size_t start = p + 1;
      if (start < lineEnd && text[start] == ' ') start++;
      line.kind = kIniComment;
      line.name = std::string_view(text + start, lineEnd - start);
    } else if (first == '[') {
      size_t start = p + 1, end = start;
      while (end < lineEnd && text[end] != ']') end++;
      line.kind = kIniGroup;
      line.name = std::string_view(text + start, end - start);
    } else {
      size_t equals = p;
      while (equals < lineEnd && text[equals] != '=') equals++;
      size_t keyEnd = equals;
      while (keyEnd > p && IsBlank(text[keyEnd - 1])) keyEnd--;
      line.kind = kIniKey;
      line.name = std::string_view(text + p, keyEnd - p);
      if (equals < lineEnd) {
        size_t value = equals + 1;
        while (value < lineEnd && IsBlank(text[value])) value++;
        line.value = std::string_view(text + value, lineEnd - value);
      }
    }
    g_ini.lines.push_back(line);
    p = lineEnd;
  }
}

// Index of the key line in the current scope, or -1. `wanted` is in the
// file's encoding.
int32_t FindKey(const std::string& wanted) {
  if (!HasFile() || g_ini.hasPendingGroup) return -1;
  for (size_t i = static_cast<size_t>(g_ini.currentGroup + 1); i < g_ini.lines.size(); i++) {
    const IniLine& line = g_ini.lines[i];
    if (line.kind == kIniGroup) break;
    if (line.kind == kIniKey && EqualNoCase(line.name, wanted)) return static_cast<int32_t>(i);
  }
  return -1;
}

// Where a new key line goes: after the last line of the current group, or,
// at the top of the file, before the first group header.
size_t EndOfScope() {
  size_t i = static_cast<size_t>(g_ini.currentGroup + 1);
  while (i < g_ini.lines.size() && g_ini.lines[i].kind != kIniGroup) i++;
  return i;
}

void CloseIniFile() {
  if (g_ini.file) OsCloseFile(g_ini.file);
  g_ini.file = nullptr;
}

// The new content goes beside the file and replaces it only once it is
// complete, so a failure part-way leaves the user's file as it was, with its
// attributes and security (see ReplacingFile). A file that did not exist at
// open is only ever created: whatever appeared at the path meanwhile stays.
bool Rewrite(const std::string& target, bool create) {
  std::string content = IniBuildContent();
  // Our own handle goes first: Windows refuses to replace a file that is open
  // without delete sharing.
  CloseIniFile();
  ReplacingFile out;
  if (!(create ? BeginCreatingFile(target, &out) : BeginReplacingFile(target, &out))) return false;
  if (OsWriteFile(out.file, content.data(), static_cast<uint32_t>(content.size()))) {
    return FinishReplacingFile(&out, 0, 0);
  }
  AbandonReplacingFile(&out);
  return false;
}

}  // namespace


void ResetIni() {
  CloseIniFile();
  g_ini = IniStore();
}

// File layout: [EF BB BF] text. The byte-order mark, when the file has at
// least three bytes and begins with it, makes a UTF-8 file and is not part of
// the text. The text (at most kIniMaxFileSize bytes) is read whole and parsed
// by ParseLines. A file that cannot be read whole is given up entirely: no
// defaults from half a file, and above all no rewrite that would drop its tail.
bool IniOpen(const std::string& path) {
  IniClose();
  if (path.empty()) return false;
  OsFile file = OsOpenFile(path, kOsOpenReadWrite);
  bool writable = file != nullptr;
  if (!file) file = OsOpenFile(path, kOsOpenRead);
  if (!file) {
    // Writes are held and create the file on close; a file that is there
    // but would not open (locked, no read access) is never replaced by that
    // rewrite built from nothing (see Rewrite).
    g_ini.pathToCreate = path;
    return false;
  }
  auto giveUp = [file]() {
    OsCloseFile(file);
    g_ini = IniStore();
    return false;
  };
  int64_t length = OsFileLength(file);
  if (length < 0 || length > static_cast<int64_t>(kIniMaxFileSize)) return giveUp();
  uint32_t size = static_cast<uint32_t>(length);
  if (size >= 3) {
    unsigned char mark[3] = {0, 0, 0};
    uint32_t got = 0;
    if (!OsReadFile(file, mark, 3, &got) || got != 3) return giveUp();
    if (mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
      g_ini.utf8 = true;
      size -= 3;
    } else if (!OsSeekFile(file, 0)) {
      return giveUp();
    }
  }
  g_ini.text.assign(static_cast<size_t>(size) + 2, '\0');
  uint32_t done = 0;
  while (done < size) {
    uint32_t got = 0;
    if (!OsReadFile(file, g_ini.text.data() + done, size - done, &got) || got == 0) break;
    done += got;
  }
  if (done != size) return giveUp();
  g_ini.file = file;
  g_ini.writable = writable;
  g_ini.path = path;
  ParseLines(g_ini.text.data(), size);
  return true;
}

bool IniIsOpen() { return HasFile(); }

const std::vector<IniLine>& IniLines() { return g_ini.lines; }

bool IniSelectGroup(const std::string& group) {
  if (!HasFile()) return false;
  if (group.empty()) {
    g_ini.currentGroup = -1;
    g_ini.hasPendingGroup = false;
    g_ini.pendingGroup.clear();
    return true;
  }
  std::string wanted = ToFileText(group);
  for (size_t i = 0; i < g_ini.lines.size(); i++) {
    const IniLine& line = g_ini.lines[i];
    if (line.kind == kIniGroup && EqualNoCase(line.name, wanted)) {
      g_ini.currentGroup = static_cast<int32_t>(i);
      g_ini.hasPendingGroup = false;
      g_ini.pendingGroup.clear();
      return true;
    }
  }
  g_ini.hasPendingGroup = true;
  g_ini.pendingGroup = group;
  return false;
}

namespace {

std::string ValueText(std::string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  std::string text = g_ini.utf8 ? Utf8ToLatin1(value) : std::string(value);
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) end--;
  text.resize(end);
  return text;
}

}  // namespace

std::string IniReadString(const std::string& key, const std::string& defaultText) {
  int32_t index = FindKey(ToFileText(key));
  if (index < 0) return defaultText;
  return ValueText(g_ini.lines[static_cast<size_t>(index)].value);
}

std::vector<IniKeyValue> IniReadGroup(const std::string& group) {
  std::vector<IniKeyValue> out;
  if (!HasFile() || group.empty()) return out;
  const std::string wanted = ToFileText(group);
  size_t i = 0;
  while (i < g_ini.lines.size() && !(g_ini.lines[i].kind == kIniGroup && EqualNoCase(g_ini.lines[i].name, wanted))) i++;
  for (i++; i < g_ini.lines.size() && g_ini.lines[i].kind != kIniGroup; i++) {
    const IniLine& line = g_ini.lines[i];
    if (line.kind != kIniKey) continue;
    out.push_back({g_ini.utf8 ? Utf8ToLatin1(line.name) : std::string(line.name), ValueText(line.value)});
  }
  return out;
}

int32_t IniReadNumber(const std::string& key, int32_t defaultValue) {
  int32_t index = FindKey(ToFileText(key));
  if (index < 0) return defaultValue;
  std::string_view value = g_ini.lines[static_cast<size_t>(index)].value;
  // Numbers skip all leading white space (vertical tab and form feed too),
  // not just the blanks and tabs that the line parser already stepped over.
  while (!value.empty() && (IsBlank(value.front()) || value.front() == '\v' || value.front() == '\f')) {
    value.remove_prefix(1);
  }
  return TextToInt(value.data(), value.size());
}

void IniWriteString(const std::string& key, const std::string& value) {
  if (!HasFile()) {
    g_ini.writeLost = true;
    return;
  }
  if (g_ini.hasPendingGroup) {
    IniLine header;
    header.kind = kIniGroup;
    header.name = Own(ToFileText(g_ini.pendingGroup));
    g_ini.lines.push_back(header);
    g_ini.currentGroup = static_cast<int32_t>(g_ini.lines.size() - 1);
    g_ini.hasPendingGroup = false;
    g_ini.pendingGroup.clear();
  }
  std::string fileKey = ToFileText(key);
  int32_t index = FindKey(fileKey);
  if (index >= 0) {
    IniLine& line = g_ini.lines[static_cast<size_t>(index)];
    line.name = Own(fileKey);
    line.value = Own(ToFileText(value));
  } else {
    IniLine line;
    line.kind = kIniKey;
    line.name = Own(fileKey);
    line.value = Own(ToFileText(value));
    g_ini.lines.insert(g_ini.lines.begin() + static_cast<std::ptrdiff_t>(EndOfScope()), line);
  }
  g_ini.modified = true;
}

void IniWriteNumber(const std::string& key, int32_t value) {
  IniWriteString(key, std::to_string(value));
}

bool IniClose() {
  bool written = !g_ini.writeLost;
  if (g_ini.modified) {
    if (!g_ini.file && !g_ini.pathToCreate.empty()) {
      written = Rewrite(g_ini.pathToCreate, true) && written;
    } else if (g_ini.file && g_ini.writable) {
      written = Rewrite(g_ini.path, false) && written;
    } else {
      written = false;  // opened for reading only
    }
  }
  CloseIniFile();
  g_ini = IniStore();
  return written;
}

// Rewrite format: for a UTF-8 file EF BB BF 0D 0A first, then one line per
// entry, each ended by CR LF: "[" name "]", "; " text, key " = " value.
std::string IniBuildContent() {
  std::string out;
  if (g_ini.utf8) out = "\xEF\xBB\xBF\r\n";
  for (const IniLine& line : g_ini.lines) {
    switch (line.kind) {
      case kIniGroup:
        out += '[';
        out += line.name;
        out += ']';
        break;
      case kIniComment:
        out += "; ";
        out += line.name;
        break;
      case kIniKey:
        out += line.name;
        out += " = ";
        out += line.value;
        break;
    }
    out += "\r\n";
  }
  return out;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

// UTF-8 value bytes to Latin-1:
//   00-7F one byte (a zero ends the text); C0-DF, E0-EF, F0-F7 lead 1, 2 or
//   3 continuation bytes (80-BF). Rejected, giving an empty text: 80-BF or
//   F8-FF where a sequence starts, a missing continuation byte, a code point
//   above U+00FF. A sequence cut off by the end of the text ends it there.
std::string Utf8ToLatin1(std::string_view text) {
  std::string out;
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if (lead == 0) break;
      out += static_cast<char>(lead);
      i++;
      continue;
    }
    if (lead < 0xC0 || lead > 0xF7) return std::string();
    size_t need = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    uint32_t code = lead & (need == 1 ? 0x1Fu : need == 2 ? 0x0Fu : 0x07u);
    for (size_t k = 1; k <= need; k++) {
      if (i + k >= n) return out;
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::string();
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code > 0xFF) return std::string();
    if (code == 0) break;
    out += static_cast<char>(code);
    i += need + 1;
  }
  return out;
}
