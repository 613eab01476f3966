// Extraction into a destination folder: the no-copy list, folders, empty
// files, times, progress, and the refusal to write unsafe names or damaged
// blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lib/compress.h"
#include "package/block.h"
#include "package/entry_block.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/file.h"
#include "runtime/rights.h"
#include "stream_builder.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kCreated = kTestCreated;
const uint64_t kWritten = kTestWritten;

// The documented block that expands to "abcabcab" and carries its checksum.
const std::vector<uint8_t> kAbcBlock = {0x4A, 0x43, 0x08, 0x00, 0x00, 0x00, 0xC1, 0xCC, 0xC5,
                                        0xC2, 0x56, 0x6C, 0xD8, 0x20, 0x00, 0x00, 0x0F, 0x30};

TestEntry CompressedAbc(const std::string& name) {
  TestEntry entry;
  entry.name = name;
  entry.size = 8;
  entry.block = kAbcBlock;
  return entry;
}

int g_progressCalls = 0;
uint32_t g_progressCount = 0;
void CountProgress() {
  g_progressCalls++;
  g_progressCount += static_cast<uint32_t>(CurrentPackageEntry().size);
}

class ExtractTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    g_progressCalls = 0;
    g_progressCount = 0;
    package_ = Native("pkg/test.pck");
    dest_ = Native("dest/");
  }
  bool Extract(const std::vector<TestEntry>& entries, const std::string& list = "", size_t prefix = 0) {
    WriteBytes(package_, MakePackage(entries, prefix));
    EXPECT_TRUE(OpenPackage(package_, CountProgress));
    bool result = ExtractPackage(dest_, list);
    ClosePackage();
    return result;
  }
  // Every path under the test folder except the package folder.
  std::vector<std::string> Written() const {
    std::vector<std::string> out;
    for (const auto& item : fs::recursive_directory_iterator(dir_)) {
      std::string relative = item.path().lexically_relative(dir_).generic_string();
      if (relative != "pkg" && relative != "pkg/test.pck") out.push_back(relative);
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string package_;
  std::string dest_;
};

TEST_F(ExtractTest, WritesFilesFoldersAndTimes) {
  std::vector<TestEntry> entries = {Folder("docs\\"), RawFile("docs\\readme.txt", "read me"),
                                    RawFile("deep\\er\\file.bin", std::string("\0\1\2\3", 4)),
                                    CompressedAbc("abc.txt")};
  EXPECT_TRUE(Extract(entries));
  EXPECT_EQ(Read(dest_ + "docs/readme.txt"), "read me");
  EXPECT_EQ(Read(dest_ + "deep/er/file.bin"), std::string("\0\1\2\3", 4));
  EXPECT_EQ(Read(dest_ + "abc.txt"), "abcabcab");
  for (const char* name : {"docs/readme.txt", "deep/er/file.bin", "abc.txt"}) {
    OsFindData data;
    OsFind find = OsFindFirst(dest_ + name, &data, nullptr);
    ASSERT_NE(find, nullptr) << name;
    OsFindClose(find);
    EXPECT_EQ(data.writeTime, kWritten) << name;
    if (FileCreationTimesKept()) {
      EXPECT_EQ(data.creationTime, kCreated) << name;
    }
  }
  // Nothing but the entries: no temporary files left beside them.
  EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/abc.txt", "dest/deep", "dest/deep/er",
                                                 "dest/deep/er/file.bin", "dest/docs", "dest/docs/readme.txt"}));
}

// A subfolder that is a link to a folder outside the destination is never
// written through; a link that stays inside is.
TEST_F(ExtractTest, LinkedSubfolderToOutsideIsNotWrittenThrough) {
  std::filesystem::create_directories(dir_ + "/outside");
  std::filesystem::create_directories(dest_ + "inner");
  std::error_code noLinks;
  std::filesystem::create_directory_symlink(dir_ + "/outside", dest_ + "linked", noLinks);
  // Wine makes no symbolic links; the e2e test covers it there.
  if (noLinks) GTEST_SKIP() << "no symbolic links here: " << noLinks.message();
  std::filesystem::create_directory_symlink(dest_ + "inner", dest_ + "alias");
  EXPECT_FALSE(Extract({RawFile("linked\\victim.txt", "overwritten"), RawFile("alias\\ok.txt", "fine"),
                        RawFile("top.txt", "top")}));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/outside/victim.txt"));
  EXPECT_EQ(Read(dest_ + "inner/ok.txt"), "fine");
  EXPECT_EQ(Read(dest_ + "top.txt"), "top");
}

TEST_F(ExtractTest, FolderItMadeHoldsOnlyWhatItWrote) {
  // Files in a folder the extraction made start without asking what is at
  // their name; a second entry of the same name still replaces the first,
  // in package order, and leaves no temporary file. A folder that was there
  // already is asked as before: its old file is replaced too.
  fs::create_directories(dest_ + "old");
  Write(dest_ + "old/kept.txt", "previous");
  std::vector<TestEntry> entries = {Folder("new\\"), RawFile("new\\a.txt", "first"), CompressedAbc("new\\a.txt"),
                                    RawFile("new\\b.txt", "b"), Folder("old\\"), RawFile("old\\kept.txt", "packed")};
  EXPECT_TRUE(Extract(entries));
  EXPECT_EQ(Read(dest_ + "new/a.txt"), "abcabcab");
  EXPECT_EQ(Read(dest_ + "new/b.txt"), "b");
  EXPECT_EQ(Read(dest_ + "old/kept.txt"), "packed");
  EXPECT_EQ(g_progressCalls, 4);
  EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/new", "dest/new/a.txt", "dest/new/b.txt",
                                                 "dest/old", "dest/old/kept.txt"}));
}

TEST_F(ExtractTest, RawFileBeginningWithJCIsWrittenAsItIs) {
  // A valid block as raw content: equal sizes mean "raw", never "expand".
  std::string content(kAbcBlock.begin(), kAbcBlock.end());
  EXPECT_TRUE(Extract({RawFile("looks-like-a-block.bin", content)}));
  EXPECT_EQ(Read(dest_ + "looks-like-a-block.bin"), content);
}

TEST_F(ExtractTest, AppendedPackageReadsFromItsDataStart) {
  EXPECT_TRUE(Extract({RawFile("a.txt", "first"), RawFile("b.txt", "second")}, "", 4096));
  EXPECT_EQ(Package().dataStart, 4096);
  EXPECT_EQ(Read(dest_ + "a.txt"), "first");
  EXPECT_EQ(Read(dest_ + "b.txt"), "second");
}

struct NoCopyCase {
  const char* list;
  const char* name;
  bool exists;
  bool written;
};

const NoCopyCase kNoCopyCases[] = {
    {"", "user.opt", true, true},
    {"opt|", "user.opt", true, false},
    {"opt|", "user.opt", false, true},
    {"OPT|", "user.opt", true, true},
    {"opt|ini", "user.opt", true, false},
    {"opt|ini", "user.ini", true, true},  // the item after the last "|" is not compared
    {"opt|ini|", "user.ini", true, false},
    {"opt", "user.opt", true, false},  // no "|" at all: one item
    {"opt|", "opt", true, true},       // no "." in the name
    {"opt|", "dir.opt\\file", true, true},
    {"opt|", "dir\\x.opt", true, false},
    {"txt|opt|", "user.opt", true, false},
    {"pt|", "user.opt", true, true},
};

TEST_F(ExtractTest, NoCopyListTable) {
  for (const NoCopyCase& c : kNoCopyCases) {
    SCOPED_TRACE(std::string(c.list) + " / " + c.name);
    std::error_code ignored;
    fs::remove_all(dest_, ignored);
    std::string path = dest_ + c.name;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (c.exists) {
      fs::create_directories(fs::path(path).parent_path());
      Write(path, "kept");
    }
    bool result = Extract({RawFile(c.name, "new content")}, c.list);
    EXPECT_EQ(Read(path), c.written ? "new content" : "kept");
    // Leaving a file alone is reported through the result.
    EXPECT_EQ(result, c.written);
  }
}

TEST_F(ExtractTest, ExtensionAndListHelpers) {
  EXPECT_EQ(EntryExtension("a\\b.c\\d"), "");
  EXPECT_EQ(EntryExtension("a/b.c/d"), "");
  EXPECT_EQ(EntryExtension("name."), "");
  EXPECT_EQ(EntryExtension("x.tar.gz"), "gz");
  EXPECT_FALSE(IsListedExtension("", ""));
  EXPECT_FALSE(IsListedExtension("", "opt|"));
  EXPECT_TRUE(IsListedExtension("ini", "opt|ini|"));
  EXPECT_FALSE(IsListedExtension("ini", "opt|ini"));
}

TEST_F(ExtractTest, EmptyFilesGetTheirTimesButNoProgress) {
  EXPECT_TRUE(Extract({RawFile("sub\\empty.dat", "")}));
  EXPECT_EQ(fs::file_size(dest_ + "sub/empty.dat"), 0u);
  OsFindData data;
  OsFind find = OsFindFirst(dest_ + "sub/empty.dat", &data, nullptr);
  ASSERT_NE(find, nullptr);
  OsFindClose(find);
  EXPECT_EQ(data.writeTime, kWritten);
  if (FileCreationTimesKept()) {
    EXPECT_EQ(data.creationTime, kCreated);
  }
  EXPECT_EQ(g_progressCalls, 0);
}

TEST_F(ExtractTest, ListedEmptyFileThatExistsIsLeftAloneWithoutFailing) {
  fs::create_directories(dest_);
  Write(dest_ + "keep.opt", "settings");
  EXPECT_TRUE(Extract({RawFile("keep.opt", "")}, "opt|"));
  EXPECT_EQ(Read(dest_ + "keep.opt"), "settings");
}

TEST_F(ExtractTest, FolderEntriesCreateTheirPath) {
  EXPECT_TRUE(Extract({Folder("a\\b\\c\\"), Folder("no-backslash"), Folder("x\\y")}));
  EXPECT_TRUE(fs::is_directory(dest_ + "a/b/c"));
  // Without a trailing "\" the last component is not created.
  EXPECT_FALSE(fs::exists(dest_ + "no-backslash"));
  EXPECT_TRUE(fs::is_directory(dest_ + "x"));
  EXPECT_FALSE(fs::exists(dest_ + "x/y"));
}

TEST_F(ExtractTest, CreateFolderPathStopsAtTheLastBackslash) {
  std::string base = Native("made");
  CreateFolderPath(base + "\\one\\two\\three");
  EXPECT_TRUE(fs::is_directory(base + "/one/two"));
  EXPECT_FALSE(fs::exists(base + "/one/two/three"));
  CreateFolderPath(base + "\\one\\two\\three\\");
  EXPECT_TRUE(fs::is_directory(base + "/one/two/three"));
}

TEST_F(ExtractTest, ProgressCountsFilesButNotFoldersOrFilesLeftAlone) {
  fs::create_directories(dest_);
  Write(dest_ + "kept.opt", "old");
  TestEntry other;
  other.name = "other";
  other.kind = 9;
  other.size = 77;
  std::vector<TestEntry> entries = {Folder("f\\", 1000),  RawFile("f\\a.txt", "12345"), RawFile("empty", ""),
                                    RawFile("kept.opt", "1234567"), CompressedAbc("abc"),   other};
  EXPECT_FALSE(Extract(entries, "opt|"));
  EXPECT_EQ(PackageTotalSize(), 1000u + 5 + 7 + 8 + 77);
  EXPECT_EQ(g_progressCount, PackageTotalSize() - 1000 - 7 - 77);
  EXPECT_EQ(g_progressCalls, 2);
}

// What each progress call finds: the entry it is called for, and that
// entry's file as it is on disk at that moment ("-" when there is none).
class ExtractProgressTest : public ExtractTest {
 protected:
  static void RecordProgress() {
    const std::string name = CurrentPackageEntry().name;
    const std::string path = recording_->dest_ + name;
    const bool there = fs::is_regular_file(recording_->Native(path));
    seen_.push_back(name + "=" + (there ? recording_->Read(path) : "-"));
  }
  static ExtractProgressTest* recording_;
  static std::vector<std::string> seen_;
};
ExtractProgressTest* ExtractProgressTest::recording_ = nullptr;
std::vector<std::string> ExtractProgressTest::seen_;

TEST_F(ExtractProgressTest, EachFileIsWholeOnDiskWhenItsProgressComes) {
  // The files go down in package order, each whole before its progress
  // call; a damaged or unsafe one is passed over in its turn, and entries
  // that carry no block, or a block left alone, keep the rest in step.
  fs::create_directories(dest_);
  Write(dest_ + "kept.opt", "old");
  TestEntry damaged = CompressedAbc("d\\2.txt");
  damaged.block[6] ^= 1;
  TestEntry other;
  other.name = "other";
  other.kind = 9;
  other.size = 77;
  std::vector<TestEntry> entries = {Folder("d\\"),         RawFile("d\\1.txt", "one"), damaged,
                                    other,                  RawFile("empty", ""),       RawFile("kept.opt", "new"),
                                    CompressedAbc("d\\3.txt"), RawFile("..\\out.txt", "x"), CompressedAbc("z.txt")};
  WriteBytes(package_, MakePackage(entries));
  ASSERT_TRUE(OpenPackage(package_, RecordProgress));
  recording_ = this;
  seen_.clear();
  EXPECT_FALSE(ExtractPackage(dest_, "opt|"));
  ClosePackage();
  EXPECT_EQ(seen_, (std::vector<std::string>{"d\\1.txt=one", "d\\2.txt=-", "d\\3.txt=abcabcab", "..\\out.txt=-",
                                             "z.txt=abcabcab"}));
  EXPECT_EQ(Read(dest_ + "kept.opt"), "old");
  EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/d", "dest/d/1.txt", "dest/d/3.txt", "dest/empty",
                                                 "dest/kept.opt", "dest/z.txt"}));
}

TEST_F(ExtractTest, EntriesOfOtherKindsConsumeNothing) {
  TestEntry other;
  other.name = "strange";
  other.kind = 2;
  other.size = 4;
  EXPECT_TRUE(Extract({RawFile("a", "AAAA"), other, RawFile("b", "BBBB")}));
  EXPECT_EQ(Read(dest_ + "b"), "BBBB");
  EXPECT_FALSE(fs::exists(dest_ + "strange"));
}

// Names that would leave the destination; each sits between two good files
// and must neither be written nor throw the reading out of step.
const char* const kUnsafeNames[] = {
    "..\\evil.txt",  "a\\..\\..\\evil.txt", "\\evil.txt",    "/evil.txt",          "C:evil.txt",
    "C:\\evil.txt",  "\\\\server\\evil.txt", "a/../../evil.txt", "a\\\\evil.txt", ".. \\evil.txt",
    "...\\evil.txt", "a\\..",               "evil.txt:stream", "..",            "",
};

TEST_F(ExtractTest, UnsafeNamesAreNeverWritten) {
  for (const char* name : kUnsafeNames) {
    SCOPED_TRACE(name);
    std::error_code ignored;
    fs::remove_all(dest_, ignored);
    g_progressCalls = 0;
    EXPECT_FALSE(Extract({RawFile("before.txt", "before"), RawFile(name, "EVIL"), RawFile("after.txt", "after")}));
    EXPECT_EQ(Read(dest_ + "after.txt"), "after");
    EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/after.txt", "dest/before.txt"}));
    EXPECT_EQ(g_progressCalls, 3);
    EXPECT_FALSE(IsSafeEntryName(name, false));
  }
}

TEST_F(ExtractTest, UnsafeFolderAndEmptyFileNamesAreRefused) {
  EXPECT_FALSE(Extract({Folder("..\\outside\\"), RawFile("..\\empty.txt", ""), RawFile("good.txt", "good")}));
  EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/good.txt"}));
}

TEST_F(ExtractTest, SafeNamesAreAccepted) {
  for (const char* name : {"a.txt", "sub\\a.txt", "sub/a.txt", "a..b", ".hidden", "x\\.y\\z"}) {
    EXPECT_TRUE(IsSafeEntryName(name, false)) << name;
  }
  EXPECT_TRUE(IsSafeEntryName("folder\\", true));
  EXPECT_FALSE(IsSafeEntryName("folder\\", false));
}

TEST_F(ExtractTest, DamagedBlockLeavesTheExistingFileAlone) {
  fs::create_directories(dest_);
  Write(dest_ + "abc.txt", "previous version");
  TestEntry damaged = CompressedAbc("abc.txt");
  damaged.block[6] ^= 1;  // checksum
  TestEntry truncatedStream = CompressedAbc("new.txt");
  truncatedStream.block[16] = 0xFF;  // the match runs wild
  EXPECT_FALSE(Extract({damaged, truncatedStream, RawFile("after.txt", "after")}));
  EXPECT_EQ(Read(dest_ + "abc.txt"), "previous version");
  EXPECT_FALSE(fs::exists(dest_ + "new.txt"));
  EXPECT_EQ(Read(dest_ + "after.txt"), "after");
  EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/abc.txt", "dest/after.txt"}));
}

TEST_F(ExtractTest, BlockOfAnotherSizeIsDamaged) {
  TestEntry entry = CompressedAbc("abc.txt");
  entry.size = 7;  // the block says 8
  EXPECT_FALSE(Extract({entry}));
  EXPECT_FALSE(fs::exists(dest_ + "abc.txt"));
}

TEST_F(ExtractTest, ExistingFileIsReplacedNotOverwrittenInPlace) {
  // A hard link shares the old file's bytes: writing in place would change
  // it too, while writing beside and renaming leaves it with the old bytes.
  fs::create_directories(dest_);
  Write(dest_ + "program.exe", "old program");
  fs::create_hard_link(dest_ + "program.exe", Native("link.exe"));
  EXPECT_TRUE(Extract({RawFile("program.exe", "new program")}));
  EXPECT_EQ(Read(dest_ + "program.exe"), "new program");
  EXPECT_EQ(Read("link.exe"), "old program");
}

TEST_F(ExtractTest, ReplacedFilesKeepTheirModeButTakeThePackageTimes) {
  if (!PermissionBitsKept() || !SetTestAdminRights(false)) GTEST_SKIP() << "no permission bits here";
  // Each existing file is replaced with the package's bytes and both of its
  // times (not the creation time of the file it replaced), keeping its
  // permission bits; a read-only file is left alone, reported, and the
  // files after it are still written.
  struct Case {
    fs::perms mode;
    bool replaced;
  };
  const Case cases[] = {
      {fs::perms::owner_read | fs::perms::owner_write, true},
      {fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
           fs::perms::others_exec,
       true},
      {fs::perms::owner_read | fs::perms::group_read, false},
  };
  // Without administrator rights a refused file is tried twice.
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    std::error_code ignored;
    fs::remove_all(dest_, ignored);
    fs::create_directories(dest_);
    Write(dest_ + "program.exe", "old program");
    OsFile old = OsOpenFile(dest_ + "program.exe", kOsOpenReadWrite);
    ASSERT_NE(old, nullptr);
    ASSERT_TRUE(OsSetFileTimes(old, kCreated + 12345678, kWritten + 12345678));
    OsCloseFile(old);
    fs::permissions(dest_ + "program.exe", c.mode);
    EXPECT_EQ(Extract({RawFile("program.exe", "new program"), RawFile("after.txt", "after")}), c.replaced);
    EXPECT_EQ(Read(dest_ + "program.exe"), c.replaced ? "new program" : "old program");
    EXPECT_EQ(fs::status(dest_ + "program.exe").permissions(), c.mode);
    OsFindData data;
    OsFind find = OsFindFirst(dest_ + "program.exe", &data, nullptr);
    ASSERT_NE(find, nullptr);
    OsFindClose(find);
    EXPECT_EQ(data.creationTime, c.replaced ? kCreated : kCreated + 12345678);
    EXPECT_EQ(data.writeTime, c.replaced ? kWritten : kWritten + 12345678);
    EXPECT_EQ(Read(dest_ + "after.txt"), "after");
    EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/after.txt", "dest/program.exe"}));
    fs::permissions(dest_ + "program.exe", fs::perms::owner_all);
  }
}

bool g_testAdmin = false;
int g_loginOffers = 0;
bool TestAdminRights() { return g_testAdmin; }
void CountLoginOffer() { g_loginOffers++; }

TEST(ExtractLoginTest, RetryCoversTheWholeWriteOnce) {
  // The write is tried once more, after the login, when it could not create
  // the file or not put it in place of the old one, and only without
  // administrator rights; the second try's outcome is final.
  struct Case {
    ExtractOutcome first;
    bool admin;
    int tries;
  };
  const Case cases[] = {
      {kExtractWritten, false, 1},      {kExtractNotCreated, false, 2},  {kExtractNotReplaced, false, 2},
      {kExtractNotCreated, true, 1},    {kExtractNotReplaced, true, 1},  {kExtractWriteFailed, false, 1},
      {kExtractBadBlock, false, 1},
  };
  // The stand-in write answers the row's outcome first, then kExtractNotReplaced.
  struct Job {
    ExtractOutcome first;
    int tries;
  };
  auto write = [](void* job) {
    Job* j = static_cast<Job*>(job);
    return ++j->tries == 1 ? j->first : kExtractNotReplaced;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ExtractOutcomeText(c.first)) + (c.admin ? ", administrator" : ""));
    SetLoginOffer(TestAdminRights, CountLoginOffer);  // each row a run of its own
    g_testAdmin = c.admin;
    g_loginOffers = 0;
    Job job = {c.first, 0};
    ExtractOutcome outcome = RetryWithLogin(write, &job);
    EXPECT_EQ(job.tries, c.tries);
    EXPECT_EQ(g_loginOffers, c.tries - 1);
    EXPECT_EQ(outcome, c.tries == 2 ? kExtractNotReplaced : c.first);
  }
  SetLoginOffer(nullptr, nullptr);
}

TEST_F(ExtractTest, FileThatCannotBeCreatedIsPassedOverInStep) {
  // "blocked" is a file, so "blocked\x.txt" cannot be created; the first of
  // the two files that fail is offered the login, the second is not: the
  // login comes once per run.
  SetLoginOffer(TestAdminRights, CountLoginOffer);
  g_testAdmin = false;
  g_loginOffers = 0;
  fs::create_directories(dest_);
  Write(dest_ + "blocked", "a file");
  fs::create_directories(dest_ + "folder.txt");
  EXPECT_FALSE(Extract({RawFile("blocked\\x.txt", "x"), RawFile("folder.txt", "a folder is in the way"),
                        RawFile("after.txt", "after")}));
  SetLoginOffer(nullptr, nullptr);
  EXPECT_EQ(g_loginOffers, 1);
  EXPECT_EQ(Read(dest_ + "after.txt"), "after");
  EXPECT_TRUE(fs::is_directory(dest_ + "folder.txt"));
  EXPECT_EQ(g_progressCalls, 3);
  EXPECT_EQ(Written(), (std::vector<std::string>{"dest", "dest/after.txt", "dest/blocked", "dest/folder.txt"}));
}

TEST_F(ExtractTest, PackageThatShrankAfterOpeningStopsExtraction) {
  WriteBytes(package_, MakePackage({RawFile("a.txt", "aaaa"), RawFile("b.txt", "bbbbbbbb")}));
  ASSERT_TRUE(OpenPackage(package_, nullptr));
  fs::resize_file(package_, 6);
  EXPECT_FALSE(ExtractPackage(dest_, ""));
  EXPECT_EQ(Read(dest_ + "a.txt"), "aaaa");
  EXPECT_FALSE(fs::exists(dest_ + "b.txt"));
}

TEST_F(ExtractTest, MissingPackageFile) {
  WriteBytes(package_, MakePackage({RawFile("a.txt", "aaaa")}));
  ASSERT_TRUE(OpenPackage(package_, nullptr));
  fs::remove(package_);
  EXPECT_FALSE(ExtractPackage(dest_, ""));
  EXPECT_FALSE(fs::exists(dest_));
}

TEST_F(ExtractTest, RefusedPackageExtractsNothingAndSucceeds) {
  Write(package_, "an installer without a package");
  EXPECT_FALSE(OpenPackage(package_, nullptr));
  EXPECT_TRUE(ExtractPackage(dest_, ""));
  EXPECT_FALSE(fs::exists(dest_));
}

TEST_F(ExtractTest, ExtractEntryWithoutWriteReadsPastTheBlock) {
  WriteBytes(package_, MakePackage({RawFile("a.txt", "aaaa"), RawFile("b.txt", "bb")}));
  ASSERT_TRUE(OpenPackage(package_, nullptr));
  fs::create_directories(dest_);
  Package().dataFile = OsOpenFile(package_, kOsOpenRead);
  ASSERT_NE(Package().dataFile, nullptr);
  ResetEntryCursor();
  ASSERT_TRUE(NextPackageEntry());
  EXPECT_FALSE(ExtractEntry(dest_, false));
  ASSERT_TRUE(NextPackageEntry());
  EXPECT_TRUE(ExtractEntry(dest_, true));
  EXPECT_FALSE(fs::exists(dest_ + "a.txt"));
  EXPECT_EQ(Read(dest_ + "b.txt"), "bb");
}

}  // namespace

namespace {

TEST_F(ExtractTest, StaleTemporariesOfAKilledRunGoFromTheFoldersWritten) {
  // A killed run's "~zd" files in folders the extraction writes go; look-alike
  // names, a folder of that name and folders it does not write stay.
  fs::create_directories(dest_ + "old/~zd1111.tmp");
  fs::create_directories(dest_ + "untouched");
  for (const char* name : {"~zdA1B2.tmp", "~zd00ff.OLD", "old/~zd9C9C.tmp", "untouched/~zd1234.tmp",
                           "~zdA1B2.tmp.keep", "~zdXYZW.tmp", "~zd12345.tmp", "zd1234.tmp"}) {
    Write(dest_ + name, "left by a killed run");
  }
  EXPECT_TRUE(Extract({RawFile("a.txt", "a"), RawFile("old\\b.txt", "b")}));
  EXPECT_EQ(Written(), (std::vector<std::string>{
                           "dest", "dest/a.txt", "dest/old", "dest/old/b.txt", "dest/old/~zd1111.tmp",
                           "dest/untouched", "dest/untouched/~zd1234.tmp", "dest/zd1234.tmp", "dest/~zd12345.tmp",
                           "dest/~zdA1B2.tmp.keep", "dest/~zdXYZW.tmp"}));
}

}  // namespace

namespace {

// Noise with a fifth of it copies from near and far back, a changed byte
// now and then: a block hardly smaller than its bytes.
std::vector<uint8_t> FarRepeats(size_t size, unsigned seed) {
  std::vector<uint8_t> data(size);
  uint32_t x = seed;
  for (size_t i = 0; i < size; i++) {
    x = x * 1103515245u + 12345u;
    const size_t back = (i / 4096) % 2 == 0 ? 1500000 : 40000;
    const bool copied = (i / 4096) % 5 == 0 && i >= back && (x >> 24) % 61 != 0;
    data[i] = copied ? data[i - back] : uint8_t(x >> 16);
  }
  return data;
}

std::vector<uint32_t> g_readDone;
uint32_t g_readTotal = 0;
void RecordBlockRead() {
  const BlockReadProgress& read = CurrentBlockRead();
  if (read.total == 0) return;
  g_readDone.push_back(read.done);
  g_readTotal = read.total;
}

TestEntry CompressedEntry(const std::string& name, const std::vector<uint8_t>& data) {
  TestEntry entry;
  entry.name = name;
  entry.size = int32_t(data.size());
  EXPECT_TRUE(CompressBlock(data.data(), data.size(), kLevelFast, &entry.block));
  return entry;
}

}  // namespace

// A block of several read pieces is expanded as its pieces come in, with the
// drain between them telling how far the read is; a damaged one is read
// past whole, so the entry after it is still found, and one that the file
// ends inside stops the extraction.
TEST_F(ExtractTest, LargeBlocksAreExpandedPieceByPiece) {
  const std::vector<uint8_t> one = FarRepeats(3 * kBlockReadPiece + 12345, 1);
  const std::vector<uint8_t> two = FarRepeats(2 * kBlockReadPiece + 777, 2);
  TestEntry good = CompressedEntry("bin/one.dll", one);
  TestEntry damaged = CompressedEntry("bin/two.dll", two);
  ASSERT_GT(good.block.size(), 2 * kBlockReadPiece);
  ASSERT_GT(damaged.block.size(), kBlockReadPiece + 1000);
  damaged.block[kBlockReadPiece + 1000] ^= 0x10;  // in its second piece
  g_readDone.clear();
  WriteBytes(package_, MakePackage({good, damaged, RawFile("after.txt", "after")}));
  ASSERT_TRUE(OpenPackage(package_, nullptr));
  EXPECT_FALSE(ExtractPackage(dest_, "", RecordBlockRead));
  ClosePackage();
  EXPECT_EQ(ReadBytes(dest_ + "bin/one.dll"), one);
  EXPECT_FALSE(fs::exists(dest_ + "bin/two.dll"));
  EXPECT_EQ(Read(dest_ + "after.txt"), "after");
  // Drains came between the pieces of the first block, rising, and never
  // past its stored size.
  ASSERT_GE(g_readDone.size(), 3u);
  EXPECT_TRUE(std::is_sorted(g_readDone.begin(), g_readDone.begin() + 2));
  EXPECT_LE(g_readDone.front(), kBlockHeaderSize + kBlockReadPiece);
  EXPECT_EQ(CurrentBlockRead().total, 0u);

  // The package file ends inside the large block: nothing after it.
  fs::remove_all(dest_);
  const std::vector<uint8_t> whole = MakePackage({good, RawFile("after.txt", "after")});
  WriteBytes(package_, whole);
  ASSERT_TRUE(OpenPackage(package_, nullptr));
  fs::resize_file(package_, good.block.size() / 2);
  EXPECT_FALSE(ExtractPackage(dest_, ""));
  ClosePackage();
  EXPECT_FALSE(fs::exists(dest_ + "bin/one.dll"));
  EXPECT_FALSE(fs::exists(dest_ + "after.txt"));
}
