// INI store: lookups, numbers, rewrite bytes, group and key insertion, UTF-8
// files, and the rewrite that must never damage the old file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "platform/file.h"
#include "runtime/ini.h"
#include "runtime/text.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

class IniTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    folder_ = dir_;
  }
  std::string PathOf(const std::string& name) const { return Native(name); }

  fs::path folder_;
};

struct LookupCase {
  const char* label;
  const char* content;
  const char* group;
  const char* key;
  const char* expected;  // with default "<none>"
};

TEST_F(IniTest, LookupsFollowTheLineRules) {
  const LookupCase cases[] = {
      {"key asked in lower case", "[Info]\r\nTitel=Viewer\r\n", "Info", "titel", "Viewer"},
      {"group asked in other case", "[Info]\r\nTitel=Viewer\r\n", "INFO", "Titel", "Viewer"},
      {"first of two equal keys", "[A]\r\nk=one\r\nK=two\r\n", "A", "k", "one"},
      {"second group of same name never searched", "[A]\r\nx=1\r\n[A]\r\nk=two\r\n", "A", "k", "<none>"},
      {"blanks and tabs everywhere", "[A]\r\n \t key \t= \t value \t\r\n", "A", "key", "value"},
      {"split at first equals", "[A]\r\nk=a=b = c\r\n", "A", "k", "a=b = c"},
      {"line without equals is an empty value", "[A]\r\nlonely\r\n", "A", "lonely", ""},
      {"blanks inside brackets belong to the name", "[ Info ]\r\nk=v\r\n", "Info", "k", "<none>"},
      {"blanks inside brackets found with them", "[ Info ]\r\nk=v\r\n", " Info ", "k", "v"},
      {"text after bracket ignored", "[Info] trailing\r\nk=v\r\n", "Info", "k", "v"},
      {"header without closing bracket", "[Info\r\nk=v\r\n", "Info", "k", "v"},
      {"top of file with empty group", "k=top\r\n[A]\r\nk=a\r\n", "", "k", "top"},
      {"lookup stops at next header", "[A]\r\nx=1\r\n[B]\r\nk=b\r\n", "A", "k", "<none>"},
      {"comment is no key", "[A]\r\n;k=c\r\n", "A", ";k", "<none>"},
      {"indented comment is no key", "[A]\r\n  ; k=c\r\n", "A", "k", "<none>"},
      {"LF line ends", "[A]\nk=lf\nz=1\n", "A", "k", "lf"},
      {"CR line ends", "[A]\rk=cr\rz=1\r", "A", "k", "cr"},
      {"last line without end", "[A]\r\nk=end", "A", "k", "end"},
      {"missing group hides other groups' keys", "k=top\r\n[A]\r\nk=a\r\n", "Nope", "k", "<none>"},
      {"key with blanks inside", "[A]\r\nmy key = v\r\n", "A", "my key", "v"},
      {"empty key line", "[A]\r\n=v\r\n", "A", "", "v"},
      {"value of only blanks", "[A]\r\nk=   \r\n", "A", "k", ""},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::string path = Write("lookup.ini", c.content);
    EXPECT_TRUE(IniOpen(path));
    IniSelectGroup(c.group);
    EXPECT_EQ(IniReadString(c.key, "<none>"), c.expected);
    IniClose();
  }
}

TEST_F(IniTest, ZeroByteDropsTheRestOfTheFile) {
  std::string path = Write("zero.ini", std::string("[A]\r\nk=v\0\r\nm=w\r\n", 16));
  IniOpen(path);
  IniSelectGroup("A");
  EXPECT_EQ(IniReadString("k"), "v");
  EXPECT_EQ(IniReadString("m", "<none>"), "<none>");
  IniClose();
}

TEST_F(IniTest, NumbersReadAsDecimalPrefix) {
  std::string path = Write("n.ini",
                           "[N]\r\nmixed=12 apples\r\nempty=\r\nneg=-7\r\nplus=  +5x\r\nword=abc\r\n"
                           "big=4294967297\r\ntab=\t42\r\n");
  IniOpen(path);
  IniSelectGroup("N");
  EXPECT_EQ(IniReadNumber("mixed", 99), 12);
  EXPECT_EQ(IniReadNumber("empty", 99), 0);
  EXPECT_EQ(IniReadNumber("neg", 99), -7);
  EXPECT_EQ(IniReadNumber("plus", 99), 5);
  EXPECT_EQ(IniReadNumber("word", 99), 0);
  EXPECT_EQ(IniReadNumber("big", 99), 1);  // wraps in 32 bits
  EXPECT_EQ(IniReadNumber("tab", 99), 42);
  EXPECT_EQ(IniReadNumber("missing", 99), 99);
  IniClose();
}

// Vertical tabs and form feeds are white space too: the store's number
// conversion skips all of it, not only the blanks the line parser removes.
TEST_F(IniTest, NumbersSkipEveryKindOfLeadingWhiteSpace) {
  std::string path = Write("ws.ini", "[N]\r\nvt=\v7\r\nff=\f 8\r\nmix= \v\t\f-9z\r\nsignblank=- 5\r\n");
  IniOpen(path);
  IniSelectGroup("N");
  EXPECT_EQ(IniReadNumber("vt", 99), 7);
  EXPECT_EQ(IniReadNumber("ff", 99), 8);
  EXPECT_EQ(IniReadNumber("mix", 99), -9);
  EXPECT_EQ(IniReadNumber("signblank", 99), 0);  // white space only before the sign
  IniClose();
}

TEST_F(IniTest, RewriteNormalisesLinesExactly) {
  const char* endings[] = {"\r\n", "\n", "\r"};
  for (const char* eol : endings) {
    SCOPED_TRACE(testing::Message() << "line end " << (eol[0] == '\r' ? (eol[1] ? "CRLF" : "CR") : "LF"));
    std::string e = eol;
    std::string path = Write("r.ini", ";tight" + e + "; one blank" + e + ";  two blanks" + e + e + e +
                                          "   [Group]  tail" + e + "\tkey\t=\tvalue  " + e + "lonely" + e +
                                          "a=b=c" + e);
    IniOpen(path);
    IniSelectGroup("Group");
    IniWriteString("new", "1");
    IniClose();
    EXPECT_EQ(Read(path),
              "; tight\r\n; one blank\r\n;  two blanks\r\n[Group]\r\nkey = value  \r\nlonely = \r\n"
              "a = b=c\r\nnew = 1\r\n");
  }
}

TEST_F(IniTest, WrittenKeyTakesCallersSpellingAndValue) {
  std::string path = Write("w.ini", "[Info]\r\nTitel=Old\r\nother=x\r\n");
  IniOpen(path);
  IniSelectGroup("info");
  IniWriteString("TITEL", "New");
  IniWriteNumber("count", -42);
  IniClose();
  EXPECT_EQ(Read(path), "[Info]\r\nTITEL = New\r\nother = x\r\ncount = -42\r\n");
}

struct InsertCase {
  const char* label;
  const char* content;
  const char* group;
  const char* expected;
};

TEST_F(IniTest, NewKeysGoToTheEndOfTheirScope) {
  const InsertCase cases[] = {
      {"end of a middle group", "[A]\r\na=1\r\n[B]\r\nb=1\r\n", "A", "[A]\r\na = 1\r\nk = v\r\n[B]\r\nb = 1\r\n"},
      {"end of the last group", "[A]\r\na=1\r\n[B]\r\nb=1\r\n", "B", "[A]\r\na = 1\r\n[B]\r\nb = 1\r\nk = v\r\n"},
      {"group ending in a comment", "[A]\r\na=1\r\n;note\r\n[B]\r\n", "A",
       "[A]\r\na = 1\r\n; note\r\nk = v\r\n[B]\r\n"},
      {"missing group appended", "[A]\r\na=1\r\n", "New", "[A]\r\na = 1\r\n[New]\r\nk = v\r\n"},
      {"top scope before first header", "[A]\r\na=1\r\n", "", "k = v\r\n[A]\r\na = 1\r\n"},
      {"top scope after top keys", "t=1\r\n[A]\r\na=1\r\n", "", "t = 1\r\nk = v\r\n[A]\r\na = 1\r\n"},
      {"top scope without headers", "t=1\r\n;c\r\n", "", "t = 1\r\n; c\r\nk = v\r\n"},
      {"top scope of an empty file", "", "", "k = v\r\n"},
      {"missing group in empty file", "", "G", "[G]\r\nk = v\r\n"},
  };
  for (const InsertCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::string path = Write("i.ini", c.content);
    IniOpen(path);
    IniSelectGroup(c.group);
    IniWriteString("k", "v");
    EXPECT_EQ(IniReadString("k"), "v");
    IniClose();
    EXPECT_EQ(Read(path), c.expected);
  }
}

TEST_F(IniTest, PendingGroupBlocksLookupsUntilCreatedOrReselected) {
  std::string path = Write("p.ini", "[A]\r\nk=a\r\n");
  IniOpen(path);
  EXPECT_TRUE(IniSelectGroup("A"));
  EXPECT_FALSE(IniSelectGroup("Missing"));
  EXPECT_EQ(IniReadString("k", "<none>"), "<none>");
  EXPECT_EQ(IniReadNumber("k", 7), 7);
  EXPECT_TRUE(IniSelectGroup("a"));
  EXPECT_EQ(IniReadString("k"), "a");
  EXPECT_FALSE(IniSelectGroup("Missing"));
  IniWriteString("m", "1");  // creates [Missing] and makes it current
  EXPECT_EQ(IniReadString("m"), "1");
  EXPECT_EQ(IniReadString("k", "<none>"), "<none>");
  EXPECT_TRUE(IniSelectGroup(""));
  EXPECT_TRUE(IniSelectGroup("missing"));
  IniClose();
  EXPECT_EQ(Read(path), "[A]\r\nk = a\r\n[Missing]\r\nm = 1\r\n");
}

TEST_F(IniTest, TopScopeKeyWrittenThenReadWithEmptyGroup) {
  std::string path = Write("t.ini", "[A]\r\nk=a\r\n");
  IniOpen(path);
  IniSelectGroup("");
  IniWriteString("k", "top");
  IniClose();
  IniOpen(path);
  IniSelectGroup("");
  EXPECT_EQ(IniReadString("k"), "top");
  IniSelectGroup("A");
  EXPECT_EQ(IniReadString("k"), "a");
  IniClose();
  EXPECT_EQ(Read(path).substr(0, 9), "k = top\r\n");
}

TEST_F(IniTest, UnchangedFileIsNeverTouched) {
  std::string original = "  [A]\n\n k=v \n;x\n";
  std::string path = Write("u.ini", original);
  auto old = fs::last_write_time(path) - std::chrono::hours(48);
  fs::last_write_time(path, old);
  fs::file_time_type before = fs::last_write_time(path);
  IniOpen(path);
  IniSelectGroup("A");
  EXPECT_EQ(IniReadString("k"), "v");
  IniSelectGroup("Missing");
  IniClose();
  EXPECT_EQ(fs::last_write_time(path), before);
  EXPECT_EQ(Read(path), original);
}

TEST_F(IniTest, MissingFileIsCreatedOnlyWhenWritten) {
  std::string path = PathOf("missing.ini");
  EXPECT_FALSE(IniOpen(path));
  EXPECT_EQ(IniReadString("k", "d"), "d");
  IniClose();
  EXPECT_FALSE(fs::exists(path));

  EXPECT_FALSE(IniOpen(path));
  EXPECT_TRUE(IniIsOpen());  // open without a file: a write creates it
  EXPECT_FALSE(IniSelectGroup("G"));
  IniWriteString("k", "v");
  IniClose();
  EXPECT_FALSE(IniIsOpen());
  EXPECT_EQ(Read(path), "[G]\r\nk = v\r\n");
}

TEST_F(IniTest, WithoutAnyOpenEverythingIsInert) {
  EXPECT_FALSE(IniSelectGroup(""));
  EXPECT_FALSE(IniSelectGroup("G"));
  IniWriteString("k", "v");
  EXPECT_EQ(IniReadString("k", "d"), "d");
  EXPECT_FALSE(IniIsOpen());
  EXPECT_EQ(IniBuildContent(), "");  // the write went nowhere
  IniClose();
  EXPECT_FALSE(IniOpen(""));
}

TEST_F(IniTest, OpeningASecondFileWritesBackTheFirst) {
  std::string first = Write("first.ini", "[A]\r\n");
  std::string second = Write("second.ini", "[B]\r\nb=2\r\n");
  IniOpen(first);
  IniSelectGroup("A");
  IniWriteString("k", "1");
  EXPECT_TRUE(IniOpen(second));
  EXPECT_EQ(Read(first), "[A]\r\nk = 1\r\n");
  IniSelectGroup("B");
  EXPECT_EQ(IniReadNumber("b", 0), 2);
  IniClose();
  EXPECT_EQ(Read(second), "[B]\r\nb=2\r\n");
}

TEST_F(IniTest, FailedRewriteLeavesTheOldFileWhole) {
  // The folder moves away while the file is open: the new content cannot be
  // written beside the old path, and the file under its new folder must
  // still hold every old byte.
  fs::create_directories(folder_ / "before");
  std::string original = "[A]\r\nk=old\r\n;keep me\r\n";
  std::string path = Write("before/f.ini", original);
  ASSERT_TRUE(IniOpen(path));
  IniSelectGroup("A");
  IniWriteString("k", "new");
  fs::rename(folder_ / "before", folder_ / "after");
  IniClose();
  EXPECT_EQ(Read(PathOf("after/f.ini")), original);
  EXPECT_FALSE(fs::exists(folder_ / "before"));
  // Nothing but the old file is left in the folder (no temporary file).
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(folder_ / "after")) {
    (void)entry;
    entries++;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(IniTest, RewriteLeavesNoTemporaryFileBehind) {
  std::string path = Write("clean.ini", "[A]\r\n");
  IniOpen(path);
  IniSelectGroup("A");
  IniWriteString("k", "v");
  IniClose();
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().filename(), "clean.ini");
    entries++;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(IniTest, FolderInsteadOfFileIsLeftAlone) {
  fs::create_directories(folder_ / "dir.ini");
  EXPECT_FALSE(IniOpen(PathOf("dir.ini")));
  EXPECT_EQ(IniReadString("k", "d"), "d");
  IniSelectGroup("");
  IniWriteString("k", "v");  // held in memory; creating the file then fails
  EXPECT_EQ(IniReadString("k", "d"), "v");
  IniClose();
  EXPECT_TRUE(fs::is_directory(folder_ / "dir.ini"));
}

TEST_F(IniTest, FileThatWouldNotOpenIsNeverRebuiltFromNothing) {
  // Writes to a file that did not open are held and create the file on
  // close, but never replace whatever is at the path: a link to a file on a
  // drive that is not there, or a file that another program made meanwhile.
  struct Case {
    const char* label;
    bool danglingLink;
    bool madeMeanwhile;
  };
  const Case cases[] = {
      {"nothing there: created", false, false},
      {"link to a missing file", true, false},
      {"made by another program after the open", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.danglingLink && !PermissionBitsKept()) continue;  // no symbolic links here
    std::string path = PathOf("settings.ini");
    if (c.danglingLink) fs::create_symlink(folder_ / "unmounted" / "settings.ini", path);
    EXPECT_FALSE(IniOpen(path));
    if (c.madeMeanwhile) Write("settings.ini", "[Theirs]\r\n");
    IniSelectGroup("Ours");
    IniWriteString("k", "v");
    EXPECT_EQ(IniReadString("k", "d"), "v");
    IniClose();
    if (c.danglingLink) {
      EXPECT_TRUE(fs::is_symlink(path));
      EXPECT_EQ(fs::read_symlink(path), folder_ / "unmounted" / "settings.ini");
    } else {
      EXPECT_EQ(Read(path), c.madeMeanwhile ? "[Theirs]\r\n" : "[Ours]\r\nk = v\r\n");
    }
    // No temporary file left.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    fs::remove(path);
  }
}

TEST_F(IniTest, RewriteKeepsTheFilesIdentityAndLeavesReadOnlyFilesAlone) {
  // The rewritten file keeps what the old one had besides its content: its
  // permission bits here, and the creation time the platform layer keeps.
  if (!PermissionBitsKept()) GTEST_SKIP() << "no permission bits here";
  const uint64_t kCreated = 128534403600000000ull;  // 2008-04-23 16:06 UTC as a FILETIME
  struct Case {
    fs::perms mode;
    bool rewritten;
  };
  const Case cases[] = {
      {fs::perms::owner_read | fs::perms::owner_write, true},
      {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read, true},
      {fs::perms::owner_all | fs::perms::group_read | fs::perms::group_write, true},
      {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    std::string path = Write("desktop.ini", "[.ShellClassInfo]\r\n");
    OsFile file = OsOpenFile(path, kOsOpenReadWrite);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(OsSetFileTimes(file, kCreated, 0));
    OsCloseFile(file);
    fs::permissions(path, c.mode);
    IniOpen(path);
    IniSelectGroup(".ShellClassInfo");
    IniWriteString("IconResource", "app.exe,0");
    IniClose();
    EXPECT_EQ(Read(path), c.rewritten ? "[.ShellClassInfo]\r\nIconResource = app.exe,0\r\n" : "[.ShellClassInfo]\r\n");
    EXPECT_EQ(fs::status(path).permissions(), c.mode);
    OsFindData data;
    OsFind find = OsFindFirst(path, &data, nullptr);
    ASSERT_NE(find, nullptr);
    OsFindClose(find);
    EXPECT_EQ(data.creationTime, kCreated);
    fs::permissions(path, fs::perms::owner_all);
    fs::remove(path);
  }
}

TEST_F(IniTest, RewriteNearThePathLimitStaysBeside) {
  // Also where a temporary name beside the file passes 259 characters the
  // file is replaced, not rewritten in place: a hard link to the old file
  // keeps the old text.
  struct Case {
    size_t folderLength;  // with the closing "/"
    bool inPlace;
  };
  for (const Case& c : {Case{248, false}, Case{249, false}}) {
    SCOPED_TRACE(c.folderLength);
    std::string folder = folder_.string() + "/";
    while (folder.size() < c.folderLength) {
      size_t rest = c.folderLength - folder.size();
      folder += std::string(rest > 120 ? 100 : rest - 1, 'd') + "/";
    }
    ASSERT_EQ(folder.size(), c.folderLength);
    fs::create_directories(folder);
    std::string path = folder + "a.ini";
    std::string original = "[A]\r\nk=a long old value\r\n;comment\r\n";
    { std::ofstream(path, std::ios::binary) << original; }
    fs::create_hard_link(path, folder_ / "link.ini");
    ASSERT_TRUE(IniOpen(path));
    IniSelectGroup("A");
    IniWriteString("k", "v");
    IniClose();
    EXPECT_EQ(Read(path), "[A]\r\nk = v\r\n; comment\r\n");
    EXPECT_EQ(Read(PathOf("link.ini")), c.inPlace ? Read(path) : original);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    fs::remove(folder_ / "link.ini");
    fs::remove_all(folder_ / std::string(100, 'd'));
  }
}

// ---------------------------------------------------------------- UTF-8 --

TEST_F(IniTest, Utf8FileReadsAsLatin1) {
  std::string path = Write("u8.ini", "\xEF\xBB\xBF[Gr\xC3\xB6\xC3\x9F" "e]\r\nTitel=Caf\xC3\xA9 \r\n"
                                     "Schl\xC3\xBC" "ssel=ja\r\nwide=\xE2\x82\xAC" "5\r\n");
  ASSERT_TRUE(IniOpen(path));
  EXPECT_EQ(IniBuildContent().substr(0, 5), "\xEF\xBB\xBF\r\n");
  EXPECT_TRUE(IniSelectGroup("GR\xF6\xDF" "E"));  // ASCII letters fold, the rest must match
  EXPECT_EQ(IniReadString("titel"), "Caf\xE9");
  EXPECT_EQ(IniReadString("Schl\xFCssel"), "ja");
  EXPECT_EQ(IniReadString("wide", "d"), "");  // U+20AC has no Latin-1 byte
  IniClose();
}

TEST_F(IniTest, Utf8FileIsRewrittenWithMarkAndEncodedText) {
  std::string path = Write("u8w.ini", "\xEF\xBB\xBF[A]\r\nk=1\r\n");
  IniOpen(path);
  IniSelectGroup("\xC4");  // missing: created encoded
  IniWriteString("n\xE4me", "w\xFF");
  IniClose();
  EXPECT_EQ(Read(path), "\xEF\xBB\xBF\r\n[A]\r\nk = 1\r\n[\xC3\x84]\r\nn\xC3\xA4me = w\xC3\xBF\r\n");
  IniOpen(path);
  IniSelectGroup("\xC4");
  EXPECT_EQ(IniReadString("N\xC4ME"), "");  // non-ASCII letters do not fold
  EXPECT_EQ(IniReadString("n\xE4me"), "w\xFF");
  IniClose();
}

TEST_F(IniTest, SingleByteFileKeepsBytesUnchanged) {
  std::string path = Write("sb.ini", "[A]\r\nk=\xC3\xA9\xE9\r\n");
  IniOpen(path);
  IniSelectGroup("A");
  EXPECT_EQ(IniReadString("k"), "\xC3\xA9\xE9");
  IniWriteString("k", "\xFF");
  IniClose();
  EXPECT_EQ(Read(path), "[A]\r\nk = \xFF\r\n");
}

TEST_F(IniTest, ShortFileIsNotMistakenForUtf8) {
  std::string path = Write("short.ini", "\xEF\xBB");
  IniOpen(path);
  EXPECT_EQ(IniBuildContent(), "\xEF\xBB = \r\n");  // a key line, no mark
  IniClose();
  Write("mark.ini", "\xEF\xBB\xBF");
  EXPECT_TRUE(IniOpen(PathOf("mark.ini")));
  EXPECT_EQ(IniBuildContent(), "\xEF\xBB\xBF\r\n");  // the mark alone: UTF-8, no lines
  IniClose();
}

struct Utf8Case {
  const char* label;
  const char* bytes;
  const char* latin1;
};

TEST(IniUtf8, ConversionRules) {
  const Utf8Case cases[] = {
      {"ascii", "plain", "plain"},
      {"two-byte e acute", "caf\xC3\xA9", "caf\xE9"},
      {"U+00FF is the top", "\xC3\xBF", "\xFF"},
      {"U+0100 is refused", "a\xC4\x80", ""},
      {"three-byte euro refused", "\xE2\x82\xAC", ""},
      {"overlong three-byte in range", "\xE0\x83\xA9", "\xE9"},
      {"continuation byte as lead", "a\x80", ""},
      {"BF as lead", "\xBF", ""},
      {"F8 lead", "a\xF8\x80\x80\x80", ""},
      {"FF lead", "\xFF", ""},
      {"lead without continuation", "\xC3" "a", ""},
      {"three-byte lead with bad second", "\xE0\x80" "a", ""},
      {"cut off at end", "ok\xC3", "ok"},
      {"cut off after one continuation", "ok\xE0\x80", "ok"},
      {"four-byte cut off", "x\xF0\x80\x80", "x"},
      {"encoded zero ends", "a\xC0\x80" "b", "a"},
  };
  for (const Utf8Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Utf8ToLatin1(c.bytes), c.latin1);
  }
}

TEST(IniUtf8, EveryLatin1ByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; b++) all += static_cast<char>(b);
  std::string encoded = Latin1ToUtf8(all);
  EXPECT_EQ(encoded.size(), 127u + 2u * 128u);
  EXPECT_EQ(encoded.substr(encoded.size() - 2), "\xC3\xBF");
  EXPECT_EQ(Utf8ToLatin1(encoded), all);
}

// ------------------------------------------------------- random round trip --

TEST_F(IniTest, RandomWritesReadBackAfterReopen) {
  unsigned seed = static_cast<unsigned>(std::random_device{}());
  std::printf("IniTest.RandomWritesReadBackAfterReopen seed %u\n", seed);
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  auto randomText = [&](size_t most, bool allowBlankEdges) {
    std::string text;
    size_t length = random() % (most + 1);
    for (size_t i = 0; i < length; i++) {
      char c;
      do {
        c = static_cast<char>(1 + random() % 255);
      } while (c == '\r' || c == '\n' || c == '=' || c == '[' || c == ';' || c == ']');
      text += c;
    }
    if (!allowBlankEdges) text = TrimBlanks(text);
    return text;
  };
  for (int round = 0; round < 20; round++) {
    bool utf8 = random() % 2 == 0;
    std::string path = Write("rand.ini", utf8 ? "\xEF\xBB\xBF" : "");
    // model: group (lower-cased ASCII) -> key (lower-cased) -> value
    std::map<std::string, std::map<std::string, std::string>> model;
    std::map<std::string, std::string> groupNames;
    auto fold = [](std::string s) {
      for (char& c : s) c = LowerAscii(c);
      return s;
    };
    IniOpen(path);
    for (int i = 0; i < 40; i++) {
      std::string group = random() % 4 == 0 ? std::string() : "g" + std::to_string(random() % 5);
      std::string key = randomText(8, false);
      if (key.empty()) key = "k";
      std::string value = randomText(12, true);
      IniSelectGroup(group);
      IniWriteString(key, value);
      model[fold(group)][fold(key)] = TrimBlanks(value);
    }
    IniClose();
    IniOpen(path);
    for (const auto& group : model) {
      ASSERT_TRUE(IniSelectGroup(group.first));
      for (const auto& key : group.second) {
        EXPECT_EQ(IniReadString(key.first, "<none>"), key.second) << "group " << group.first;
      }
    }
    IniClose();
  }
}

}  // namespace
