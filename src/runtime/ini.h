// The INI store: one INI file at a time, loaded whole into a list of lines,
// looked up by group and key without regard to ASCII case, changed in memory
// and written back on close (comments and line order kept, blank lines and
// indentation dropped). Files that begin with the UTF-8 byte-order mark are
// converted to and from single-byte Latin-1 at the store's boundary.
//
// Calling order: IniOpen, any IniSelectGroup / reads / writes, IniClose.
// Callers need not test IniOpen: without a file every read gives its default.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum IniLineKind : uint8_t { kIniGroup, kIniComment, kIniKey };

// A line of the file. Names and values point into the store's copy of the
// file text, or into its own copies once a write has replaced them; both
// stay put until close.
struct IniLine {
  IniLineKind kind = kIniKey;
  std::string_view name;   // group name, comment text, or key
  std::string_view value;  // key lines: the value as stored (leading blanks gone, trailing kept)
};

// A deliberate limit: a larger file is not opened (IniOpen answers false,
// reads give their defaults, writes are dropped, the file is never
// rewritten). The store holds the whole text, its line list and, on close,
// a second whole copy in memory at once, written in one call; 16 MiB keeps
// that within reach of a 32-bit installer's address space, and the INI files
// an installer meets (setup.ini, language files, a program's settings) are a
// few kilobytes.
const uint32_t kIniMaxFileSize = 16u * 1024u * 1024u;

void ResetIni();  // tests: forget the open file without writing it
// True after an IniOpen that loaded the file or kept its path for a write to
// create it; false again after IniClose.
bool IniIsOpen();

// Closes the open file (rewriting it if modified), then loads path. True when
// the file exists and was opened.
bool IniOpen(const std::string& path);
// True when the group exists (it becomes current) or the name is empty (the
// top of the file becomes current). A missing group becomes pending: no key
// is found until a later select succeeds or a write creates the group.
bool IniSelectGroup(const std::string& group);
std::string IniReadString(const std::string& key, const std::string& defaultText = std::string());
int32_t IniReadNumber(const std::string& key, int32_t defaultValue);
// The key lines of the first group of that name, in file order, each with
// its value as IniReadString gives it: one walk over a large group instead
// of a search per key. Empty without a file or such a group.
struct IniKeyValue {
  std::string key;
  std::string value;
};
std::vector<IniKeyValue> IniReadGroup(const std::string& group);
void IniWriteString(const std::string& key, const std::string& value);
void IniWriteNumber(const std::string& key, int32_t value);
// Writes the file back if modified, closes it and forgets all state. False
// when a change did not go down: the rewrite failed (the old file then
// stays whole), the file was open for reading only, or a write found no
// file (one too large to open, or no path).
bool IniClose();

// The Latin-1 side of UTF-8 files (exposed for tests). Utf8ToLatin1 answers
// an empty text for a code point above U+00FF or a malformed sequence, and
// ends the text before a sequence cut off by the end or before a zero.
std::string Latin1ToUtf8(std::string_view text);
std::string Utf8ToLatin1(std::string_view text);
// The bytes that IniClose writes for the lines as they stand.
std::string IniBuildContent();
// The lines of the open file in file order, for checks that walk it whole.
const std::vector<IniLine>& IniLines();
