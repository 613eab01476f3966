// File-system helpers over the native platform: the size-or-kind answers at
// the edges, folder creation and removal, copies, dates and their text, the
// folder listing and the write-beside-then-replace file.
#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>

#include "filesys_fixture.h"
#include "platform/file.h"
#include "runtime/filesys.h"
#include "test_system.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- size --

TEST_F(FileSysTest, FileSizeTellsNothingFolderAndFile) {
  Write("data.bin", std::string(1234, 'x'));
  Write("empty.txt", "");
  MakeFolder("sub");
  struct Case {
    std::string path;
    int64_t size;
  };
  const Case cases[] = {
      {"", -1},
      {Win("missing.txt"), -1},
      {Win("missing\\deeper.txt"), -1},
      {Win("data.bin"), 1234},
      {Native("data.bin"), 1234},
      {Win("empty.txt"), 0},
      {Win("sub"), -2},
      {Win("sub\\"), -2},
      {Native("sub/"), -2},
      {dir_, -2},
      {dir_ + "\\", -2},
      // One trailing separator is removed, whatever the path names; a
      // second one is left and then names nothing.
      {Win("data.bin\\"), 1234},
      {Win("data.bin\\\\"), -1},
      {Win("sub\\\\"), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileSize(c.path), c.size);
  }
}

TEST_F(FileSysTest, FileSizeOfAPatternAnswersForItsMatch) {
  Write("only.txt", "12345");
  Write("other.dat", "1");
  EXPECT_EQ(FileSize(Win("*.txt")), 5);
  EXPECT_EQ(FileSize(Win("on?y.txt")), 5);
  EXPECT_EQ(FileSize(Win("*.none")), -1);
}

TEST_F(FileSysTest, FileSizeCutsThePathAt260Characters) {
  // A file whose full path is exactly 260 characters long: anything after
  // that is not looked at.
  std::string name(kMaxPath - dir_.size() - 1, 'n');
  ASSERT_LE(name.size(), 255u);
  Write(name, "abc");
  ASSERT_EQ(Win(name).size(), kMaxPath);
  EXPECT_EQ(FileSize(Win(name)), 3);
  EXPECT_EQ(FileSize(Win(name) + ".ignored\\tail"), 3);
  EXPECT_TRUE(FileExists(Win(name) + "x"));
}

TEST_F(FileSysTest, ExistsRestsOnTheSize) {
  Write("file.txt", "x");
  Write("empty.txt", "");
  MakeFolder("sub");
  EXPECT_TRUE(FileExists(Win("file.txt")));
  EXPECT_TRUE(FileExists(Win("empty.txt")));
  EXPECT_FALSE(FileExists(Win("sub")));
  EXPECT_FALSE(FileExists(Win("missing")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FolderExists(Win("sub")));
  EXPECT_TRUE(FolderExists(Win("sub\\")));
  EXPECT_FALSE(FolderExists(Win("file.txt")));
  EXPECT_FALSE(FolderExists(Win("missing")));
  EXPECT_FALSE(FolderExists(""));
}

// ------------------------------------------------------------- folders --

TEST_F(FileSysTest, CreateFolderDropsTrailingSeparatorsAndBlanks) {
  struct Case {
    const char* argument;
    const char* created;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"slash\\", "slash"},
      {"blanks  ", "blanks"},
      {"mixed \\ \\/", "mixed"},
      {"inner blank", "inner blank"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_TRUE(CreateFolder(Win(c.argument)));
    EXPECT_TRUE(fs::is_directory(Native(c.created)));
  }
  // Nothing else appeared beside them.
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    (void)entry;
    ++count;
  }
  EXPECT_EQ(count, 5);
}

TEST_F(FileSysTest, CreateFolderMakesOneLevelOnly) {
  EXPECT_FALSE(CreateFolder(Win("parent\\child")));
  EXPECT_FALSE(Exists("parent"));
  EXPECT_TRUE(CreateFolder(Win("parent")));
  EXPECT_TRUE(CreateFolder(Win("parent\\child\\")));
  EXPECT_TRUE(fs::is_directory(Native("parent/child")));
}

TEST_F(FileSysTest, CreateFolderRefusesEmptyExistingAndFiles) {
  Write("file.txt", "x");
  MakeFolder("there");
  EXPECT_FALSE(CreateFolder(""));
  EXPECT_FALSE(CreateFolder(" \\ "));
  EXPECT_FALSE(CreateFolder(Win("there")));
  EXPECT_FALSE(CreateFolder(Win("file.txt")));
  EXPECT_EQ(Read("file.txt"), "x");
}

TEST_F(FileSysTest, CreateFolderPathMakesTheFoldersBeforeTheLastSeparator) {
  Write("file", "x");
  struct Case {
    const char* path;
    FolderPathMode mode;
    bool result;
    const char* made;     // a folder that is there afterwards
    const char* notMade;  // and one that is not
  };
  const Case cases[] = {
      {"a\\b\\c", kCreatePastFailures, true, "a/b", "a/b/c"},  // "c" is taken as a file name
      {"a\\b\\c\\", kStopAtFailure, true, "a/b/c", "a/b/c/c"},
      {"d/e\\f", kStopAtFailure, true, "d/e", "d/e/f"},         // either separator
      {"file\\g\\h\\", kCreatePastFailures, false, "a", "file/g"},
      {"file\\g\\h\\", kStopAtFailure, false, "a", "file/g"},
      {"", kStopAtFailure, true, "a", "b"},  // the test folder itself is there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.mode == kStopAtFailure ? ", stop" : ""));
    EXPECT_EQ(CreateFolderPath(Win(c.path), c.mode), c.result);
    EXPECT_TRUE(fs::is_directory(Native(c.made)));
    EXPECT_FALSE(Exists(c.notMade));
  }
  EXPECT_EQ(Read("file"), "x");
}

TEST_F(FileSysTest, DeleteFolderMode0KeepsSubfoldersAndTheFolder) {
  MakeFolder("work/sub");
  Write("work/a.txt", "a");
  Write("work/b.dat", "b");
  Write("work/sub/c.txt", "c");
  EXPECT_FALSE(DeleteFolder(Win("work"), "*.*", 0));
  EXPECT_FALSE(Exists("work/a.txt"));
  EXPECT_FALSE(Exists("work/b.dat"));
  EXPECT_TRUE(Exists("work/sub/c.txt"));
  EXPECT_TRUE(fs::is_directory(Native("work")));
}

TEST_F(FileSysTest, DeleteFolderMode0RemovesAFolderOfFiles) {
  MakeFolder("work");
  Write("work/a.txt", "a");
  Write("work/b", "b");
  EXPECT_TRUE(DeleteFolder(Win("work\\"), "", 0));
  EXPECT_FALSE(Exists("work"));
}

TEST_F(FileSysTest, DeleteFolderMode1Descends) {
  MakeFolder("work/sub/deeper");
  Write("work/a.txt", "a");
  Write("work/sub/b.txt", "b");
  Write("work/sub/deeper/c.txt", "c");
  EXPECT_TRUE(DeleteFolder(Win("work"), "*.*", kDeleteSubfolders));
  EXPECT_FALSE(Exists("work"));
  EXPECT_TRUE(fs::is_directory(dir_));
}

TEST_F(FileSysTest, DeleteFolderPatternSelectsFiles) {
  MakeFolder("work");
  Write("work/a.txt", "a");
  Write("work/B.TXT", "b");
  Write("work/c.dat", "c");
  EXPECT_FALSE(DeleteFolder(Win("work"), "*.txt", kDeleteSubfolders));
  EXPECT_FALSE(Exists("work/a.txt"));
  EXPECT_FALSE(Exists("work/B.TXT"));  // Windows names match without case
  EXPECT_EQ(Read("work/c.dat"), "c");
}

TEST_F(FileSysTest, DeleteFolderForceClearsReadOnly) {
  MakeFolder("work");
  Write("work/locked.txt", "x");
  fs::permissions(Native("work/locked.txt"), fs::perms::owner_read);
  EXPECT_TRUE(DeleteFolder(Win("work"), "", kDeleteForce));
  EXPECT_FALSE(Exists("work"));
}

TEST_F(FileSysTest, DeleteFolderWithoutForceLeavesReadOnlyFiles) {
  MakeFolder("work");
  Write("work/locked.txt", "x");
  Write("work/open.txt", "y");
  fs::permissions(Native("work/locked.txt"), fs::perms::owner_read);
  EXPECT_FALSE(DeleteFolder(Win("work"), "", 0));
  EXPECT_EQ(Read("work/locked.txt"), "x");
  EXPECT_FALSE(Exists("work/open.txt"));
  fs::permissions(Native("work/locked.txt"), fs::perms::owner_all);  // for the clean-up
}

TEST_F(FileSysTest, DeleteFolderOfNothing) {
  EXPECT_FALSE(DeleteFolder("", "*.*", kDeleteSubfolders));
  EXPECT_FALSE(DeleteFolder(Win("missing"), "*.*", kDeleteSubfolders));
  Write("file.txt", "x");
  EXPECT_FALSE(DeleteFolder(Win("file.txt"), "*.*", 0));
  EXPECT_EQ(Read("file.txt"), "x");
}

// ---------------------------------------------------------------- copy --

TEST_F(FileSysTest, CopyFileReplaceCopiesAndReplaces) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
  Write("source.bin", bytes);
  EXPECT_TRUE(CopyFileReplace(Win("source.bin"), Win("new.bin")));
  EXPECT_EQ(Read("new.bin"), bytes);

  Write("old.bin", std::string(300000, 'o'));
  EXPECT_TRUE(CopyFileReplace(Win("source.bin"), Win("old.bin")));
  EXPECT_EQ(Read("old.bin"), bytes);
  EXPECT_EQ(Read("source.bin"), bytes);
}

TEST_F(FileSysTest, CopyFileReplaceRefusesMissingArguments) {
  Write("source.bin", "abc");
  EXPECT_FALSE(CopyFileReplace("", Win("target.bin")));
  EXPECT_FALSE(CopyFileReplace(Win("source.bin"), ""));
  EXPECT_FALSE(CopyFileReplace(Win("missing.bin"), Win("target.bin")));
  EXPECT_FALSE(Exists("target.bin"));
  MakeFolder("folder");
  EXPECT_FALSE(CopyFileReplace(Win("folder"), Win("target.bin")));
  EXPECT_FALSE(CopyFileReplace(Win("source.bin"), Win("nowhere\\target.bin")));
}

// --------------------------------------------------------------- dates --

TEST(FormatDateTest, Masks) {
  struct Case {
    const char* mask;
    int64_t date;
    const char* text;
  };
  const int64_t leapDay = 951827696;  // 2000-02-29 12:34:56
  const Case cases[] = {
      {"%yyyy-%mm-%dd  %hh:%ii", kApril23At1606, "2008-04-23  16:06"},
      {"%YYYY-%MM-%DD %HH:%II:%SS", leapDay, "2000-02-29 12:34:56"},
      {"%yY.%Mm.%dD", leapDay, "00.02.29"},
      {"%ss", kApril23At1606 + 9, "09"},
      {"%YY", kApril23At1606, "08"},
      {"%yyy", kApril23At1606, "08y"},
      {"%yyyyy", kApril23At1606, "2008y"},
      {"%", kApril23At1606, "%"},
      {"100%", kApril23At1606, "100%"},
      {"%y", kApril23At1606, "%y"},
      {"%x%m%d", kApril23At1606, "%x%m%d"},
      {"%%yyyy", kApril23At1606, "%2008"},
      {"yyyy mm", kApril23At1606, "yyyy mm"},
      {"", kApril23At1606, ""},
      {"%yyyy-%mm-%dd %hh:%ii:%ss", 0, "1970-01-01 00:00:00"},
      {"%yyyy-%mm-%dd %hh:%ii:%ss", -1, "1969-12-31 23:59:59"},
      {"%yyyy-%mm-%dd %hh:%ii:%ss", 4102444799, "2099-12-31 23:59:59"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_EQ(FormatDate(c.mask, c.date), c.text);
  }
}

TEST(FormatDateTest, DatesAtTheEndsOfTheRangeGiveDigitsAndTheRightTime) {
  // A date value is any 64-bit number; the time of day is the date modulo a
  // day, counted downwards for negative dates, and every field stays digits.
  const int64_t dates[] = {INT64_MIN, INT64_MIN + 1, INT64_MIN + 86399, -INT64_MAX + 86398,
                           INT64_MAX, INT64_MAX - 86399, -62167219201LL /* year -1 */};
  for (int64_t date : dates) {
    SCOPED_TRACE(date);
    int64_t rest = date % 86400;
    if (rest < 0) rest += 86400;
    char expected[16];
    snprintf(expected, sizeof expected, "%02d:%02d:%02d", static_cast<int>(rest / 3600),
             static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    EXPECT_EQ(FormatDate("%hh:%ii:%ss", date), expected);
    std::string all = FormatDate("%yyyy%yy%mm%dd%hh%ii%ss", date);
    ASSERT_EQ(all.size(), 16u);
    for (char c : all) EXPECT_TRUE(c >= '0' && c <= '9') << all;
  }
}

TEST_F(FileSysTest, GetFileDateOfNothingIsZero) {
  EXPECT_EQ(GetFileDate("", kDateWritten), 0);
  EXPECT_EQ(GetFileDate(Win("missing.txt"), kDateWritten), 0);
  EXPECT_EQ(GetFileDate(Win("missing.txt"), kDateCreated), 0);
}

TEST_F(FileSysTest, GetFileDateReadsBackTheTimesSet) {
  Write("dated.txt", "x");
  OsFile file = OsOpenFile(Win("dated.txt"), kOsOpenReadWrite);
  ASSERT_NE(file, nullptr);
  const int64_t created = kApril23At1606 - 86400 * 30;
  ASSERT_TRUE(OsSetFileTimes(file, FileTimeOf(created), FileTimeOf(kApril23At1606)));
  OsCloseFile(file);
  {
    ScopedTimeZone utc("UTC");
    EXPECT_EQ(GetFileDate(Win("dated.txt"), kDateWritten), kApril23At1606);
    if (FileCreationTimesKept()) {
      EXPECT_EQ(GetFileDate(Win("dated.txt"), kDateCreated), created);
      EXPECT_EQ(GetFileDate(Win("dated.txt"), 7), created);  // any other kind is 0
    }
    EXPECT_GT(GetFileDate(Win("dated.txt"), kDateAccessed), 0);
    EXPECT_EQ(FormatDate("%yyyy-%mm-%dd  %hh:%ii", GetFileDate(Win("dated.txt"), kDateWritten)),
              "2008-04-23  16:06");
  }
}

TEST_F(FileSysTest, GetFileDateCountsOnTheLocalWallClock) {
  Write("dated.txt", "x");
  OsFile file = OsOpenFile(Win("dated.txt"), kOsOpenReadWrite);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(OsSetFileTimes(file, 0, FileTimeOf(kApril23At1606)));
  OsCloseFile(file);
  // Two hours east of UTC.
  ScopedTimeZone east("XYZ-2");
  if (!east.InForce()) GTEST_SKIP() << "the system's time zone is not the test's to set";
  EXPECT_EQ(GetFileDate(Win("dated.txt"), kDateWritten), kApril23At1606 + 7200);
}

TEST_F(FileSysTest, TemporaryFolderEndsInASeparator) {
  SetTestTempPath(dir_);
  std::string temp = GetTemporaryFolder();
  SetTestTempPath("");
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(temp.back() == '\\' || temp.back() == '/');
  EXPECT_EQ(temp.substr(0, dir_.size()), dir_);
  EXPECT_EQ(temp.size(), dir_.size() + 1);
}

// ------------------------------------------------------------- listing --

TEST_F(FileSysTest, ListFolderWithAPattern) {
  MakeFolder("sub");
  Write("a.txt", "a");
  Write("b.txt", "b");
  Write("c.dat", "c");
  for (const std::string& folder : {dir_, dir_ + "\\"}) {
    SCOPED_TRACE(folder);
    int listing = ListFolder(folder, "*.txt");
    ASSERT_NE(listing, 0);
    std::map<std::string, int> expected = {{"a.txt", kEntryFile}, {"b.txt", kEntryFile}};
    EXPECT_EQ(Drain(listing), expected);
  }
}

TEST_F(FileSysTest, ListFolderOfEverything) {
  MakeFolder("sub");
  Write("a.txt", "a");
  Write("noext", "b");
  std::map<std::string, int> expected = {{".", kEntryFolder},
                                         {"..", kEntryFolder},
                                         {"sub", kEntryFolder},
                                         {"a.txt", kEntryFile},
                                         {"noext", kEntryFile}};
  EXPECT_EQ(Drain(ListFolder(dir_, "")), expected);
  EXPECT_EQ(Drain(ListFolder(dir_, "*.*")), expected);
}

TEST_F(FileSysTest, ListFolderWithoutMatchIsEmptyButOpen) {
  Write("a.txt", "a");
  int listing = ListFolder(dir_, "*.none");
  ASSERT_NE(listing, 0);
  EXPECT_FALSE(NextEntry(listing));
  EXPECT_FALSE(NextEntry(listing));
  EXPECT_EQ(EntryName(listing), "");
  FinishListing(listing);
}

TEST_F(FileSysTest, ListFolderOfAMissingFolderIsNoListing) {
  EXPECT_EQ(ListFolder(Win("missing"), "*.*"), 0);
  EXPECT_EQ(ListFolder(Win("missing\\deeper"), "x.txt"), 0);
}

TEST_F(FileSysTest, FinishedListingAnswersNothing) {
  Write("a.txt", "a");
  int listing = ListFolder(dir_, "a.txt");
  ASSERT_NE(listing, 0);
  ASSERT_TRUE(NextEntry(listing));
  EXPECT_EQ(EntryName(listing), "a.txt");
  EXPECT_EQ(EntryType(listing), kEntryFile);
  EXPECT_FALSE(NextEntry(listing));
  FinishListing(listing);
  EXPECT_FALSE(NextEntry(listing));
  EXPECT_EQ(EntryName(listing), "");
  EXPECT_EQ(EntryType(listing), 0);
  FinishListing(listing);  // twice does no harm
  EXPECT_FALSE(NextEntry(0));
  EXPECT_EQ(EntryName(0), "");
  FinishListing(0);
}

TEST_F(FileSysTest, ListingsAreIndependent) {
  Write("a.txt", "a");
  Write("b.dat", "b");
  int first = ListFolder(dir_, "*.txt");
  int second = ListFolder(dir_, "*.dat");
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  ASSERT_TRUE(NextEntry(second));
  ASSERT_TRUE(NextEntry(first));
  EXPECT_EQ(EntryName(first), "a.txt");
  EXPECT_EQ(EntryName(second), "b.dat");
  FinishListing(first);
  FinishListing(second);
}

// ------------------------------------------------------ replacing file --

TEST_F(FileSysTest, ReplacingFileKeepsTheOldContentUntilFinish) {
  Write("target.txt", "old");
  ReplacingFile replacing;
  ASSERT_TRUE(BeginReplacingFile(Win("target.txt"), &replacing));
  EXPECT_EQ(replacing.path, Win("target.txt"));
  EXPECT_NE(replacing.tempPath, replacing.path);
  EXPECT_EQ(FolderPart(replacing.tempPath), FolderPart(replacing.path));
  ASSERT_TRUE(OsWriteFile(replacing.file, "new bytes", 9));
  EXPECT_EQ(Read("target.txt"), "old");
  EXPECT_TRUE(FileExists(replacing.tempPath));

  ASSERT_TRUE(FinishReplacingFile(&replacing, FileTimeOf(kApril23At1606 - 60), FileTimeOf(kApril23At1606)));
  EXPECT_EQ(replacing.file, nullptr);
  EXPECT_EQ(Read("target.txt"), "new bytes");
  // The temporary file is gone: only the target is left in the folder.
  const std::map<std::string, int> onlyTarget = {
      {".", kEntryFolder}, {"..", kEntryFolder}, {"target.txt", kEntryFile}};
  EXPECT_EQ(Drain(ListFolder(dir_, "*")), onlyTarget);
  ScopedTimeZone utc("UTC");
  EXPECT_EQ(GetFileDate(Win("target.txt"), kDateWritten), kApril23At1606);
  if (FileCreationTimesKept()) {
    EXPECT_EQ(GetFileDate(Win("target.txt"), kDateCreated), kApril23At1606 - 60);
  }
}

TEST_F(FileSysTest, ReplacingFileMakesANewFile) {
  ReplacingFile replacing;
  ASSERT_TRUE(BeginReplacingFile(Win("fresh.txt"), &replacing));
  EXPECT_FALSE(Exists("fresh.txt"));
  ASSERT_TRUE(OsWriteFile(replacing.file, "abc", 3));
  ASSERT_TRUE(FinishReplacingFile(&replacing, 0, 0));
  EXPECT_EQ(Read("fresh.txt"), "abc");
}

// A file begun as new in a folder that held nothing at its name: what may
// have come to the name meanwhile decides the end. The bytes go beside and
// are moved into place while still open, so the times set on the open file
// survive the move; a file that came is replaced as any existing one, but
// never a read-only one.
TEST_F(FileSysTest, NewFileMeetsWhatCameToItsNameMeanwhile) {
  struct Case {
    const char* came;  // content that appears at the name before the finish; null: nothing
    bool readOnly;
    bool placed;
    const char* after;
  };
  const Case cases[] = {
      {nullptr, false, true, "new bytes"},
      {"came meanwhile", false, true, "new bytes"},
      {"came read-only", true, false, "came read-only"},
  };
  ScopedTimeZone utc("UTC");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.came ? c.came : "nothing came");
    ReplacingFile replacing;
    ASSERT_TRUE(BeginWritingNewFile(Win("new.txt"), &replacing));
    ASSERT_TRUE(OsWriteFile(replacing.file, "new bytes", 9));
    if (c.came) Write("new.txt", c.came);
    if (c.readOnly) fs::permissions(Native("new.txt"), fs::perms::owner_read);
    EXPECT_EQ(FinishReplacingFile(&replacing, FileTimeOf(kApril23At1606 - 60), FileTimeOf(kApril23At1606)),
              c.placed);
    EXPECT_EQ(replacing.file, nullptr);
    EXPECT_EQ(replacing.placeRefused, !c.placed);
    EXPECT_EQ(Read("new.txt"), c.after);
    const std::map<std::string, int> onlyTarget = {
        {".", kEntryFolder}, {"..", kEntryFolder}, {"new.txt", kEntryFile}};
    EXPECT_EQ(Drain(ListFolder(dir_, "*.*")), onlyTarget);
    if (c.placed) {
      EXPECT_EQ(GetFileDate(Win("new.txt"), kDateWritten), kApril23At1606);
      if (FileCreationTimesKept()) {
        EXPECT_EQ(GetFileDate(Win("new.txt"), kDateCreated), kApril23At1606 - 60);
      }
    }
    fs::permissions(Native("new.txt"), fs::perms::owner_all);
    fs::remove(Native("new.txt"));
  }
}

TEST_F(FileSysTest, AbandonLeavesTheOldFileAndNoTemporary) {
  Write("target.txt", "old");
  ReplacingFile replacing;
  ASSERT_TRUE(BeginReplacingFile(Win("target.txt"), &replacing));
  ASSERT_TRUE(OsWriteFile(replacing.file, "half", 4));
  std::string temp = replacing.tempPath;
  AbandonReplacingFile(&replacing);
  EXPECT_EQ(replacing.file, nullptr);
  EXPECT_EQ(Read("target.txt"), "old");
  EXPECT_EQ(FileSize(temp), -1);
  const std::map<std::string, int> onlyTarget = {
      {".", kEntryFolder}, {"..", kEntryFolder}, {"target.txt", kEntryFile}};
  EXPECT_EQ(Drain(ListFolder(dir_, "*.*")), onlyTarget);
  // Finishing an abandoned record does nothing.
  EXPECT_FALSE(FinishReplacingFile(&replacing, 0, 0));
  EXPECT_EQ(Read("target.txt"), "old");
}

TEST_F(FileSysTest, ReplacingFileFailsWithoutAFolder) {
  ReplacingFile replacing;
  EXPECT_FALSE(BeginReplacingFile("", &replacing));
  EXPECT_EQ(replacing.file, nullptr);
  EXPECT_FALSE(BeginReplacingFile(Win("missing\\file.txt"), &replacing));
  EXPECT_EQ(replacing.file, nullptr);
  EXPECT_FALSE(Exists("missing"));
  AbandonReplacingFile(&replacing);  // harmless on a failed begin
}

TEST_F(FileSysTest, TwoReplacingFilesUseDifferentTemporaries) {
  ReplacingFile one, two;
  ASSERT_TRUE(BeginReplacingFile(Win("same.txt"), &one));
  ASSERT_TRUE(BeginReplacingFile(Win("same.txt"), &two));
  EXPECT_NE(one.tempPath, two.tempPath);
  AbandonReplacingFile(&one);
  AbandonReplacingFile(&two);
}

// A folder below the test folder whose path, with its closing "\", is
// exactly `length` characters long; made on disk, returned in Windows form.
std::string MakeFolderOfLength(const std::string& base, size_t length) {
  std::string folder = base + "\\";
  while (folder.size() < length) {
    size_t rest = length - folder.size();
    folder += std::string(rest > 120 ? 100 : rest - 1, 'd') + "\\";
  }
  std::string native = folder;
  std::replace(native.begin(), native.end(), '\\', '/');
  fs::create_directories(native);
  return folder;
}

TEST_F(FileSysTest, ReplacingFileNearThePathLimit) {
  // A temporary name beside the file needs 11 characters after the folder;
  // also where the temporary path passes 259 characters the file is written
  // beside its name and moved into place, so a failure never leaves a mix.
  struct Case {
    size_t folderLength;  // with the closing "\"
    const char* name;
    bool existing;
  };
  const Case cases[] = {
      {200, "a.txt", false},
      {248, "a.txt", false},  // temporary path of 259
      {248, "a.txt", true},
      {249, "a.txt", false},  // 260
      {249, "a.txt", true},
      {255, "abcd", true},    // the file's own path is 259
  };
  for (const Case& c : cases) {
    std::string folder = MakeFolderOfLength(dir_ + "\\long", c.folderLength);
    std::string path = folder + c.name;
    SCOPED_TRACE(std::to_string(c.folderLength) + (c.existing ? " over an old file" : " new"));
    ASSERT_EQ(FolderPart(path).size(), c.folderLength);
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    if (c.existing) std::ofstream(native, std::ios::binary) << "old content, longer than the new";

    ReplacingFile replacing;
    ASSERT_TRUE(BeginReplacingFile(path, &replacing));
    EXPECT_EQ(FolderPart(replacing.tempPath), folder);
    ASSERT_TRUE(OsWriteFile(replacing.file, "new", 3));
    ASSERT_TRUE(FinishReplacingFile(&replacing, FileTimeOf(kApril23At1606 - 60), FileTimeOf(kApril23At1606)));
    EXPECT_EQ(Read(path), "new");
    {
      ScopedTimeZone utc("UTC");
      EXPECT_EQ(GetFileDate(path, kDateWritten), kApril23At1606);
      if (FileCreationTimesKept()) {
        EXPECT_EQ(GetFileDate(path, kDateCreated), kApril23At1606 - 60);
      }
    }
    const std::map<std::string, int> onlyTheFile = {
        {".", kEntryFolder}, {"..", kEntryFolder}, {c.name, kEntryFile}};
    EXPECT_EQ(Drain(ListFolder(folder, "*")), onlyTheFile);

    // Giving up keeps the old file whole and leaves nothing beside it.
    ASSERT_TRUE(BeginReplacingFile(path, &replacing));
    ASSERT_TRUE(OsWriteFile(replacing.file, "x", 1));
    AbandonReplacingFile(&replacing);
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(Drain(ListFolder(folder, "*")), onlyTheFile);
    fs::remove_all(Native("long"));
  }
}

TEST(TemporaryNameTest, AnyGuidTextGivesAShortName) {
  // CoCreateGuid can fail and leave an empty text; short or odd texts must
  // still give a name, and the seed alone must tell names apart.
  const char* const guids[] = {"{0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40}", "", "{", "{0B8E5D3A}", "not a guid"};
  for (const char* guid : guids) {
    SCOPED_TRACE(guid);
    std::set<std::string> names;
    for (uint32_t seed : {0u, 1u, 2u, 0x10000u, 0xFFFFFFFFu}) {
      std::string name = TemporaryFileName(guid, seed);
      ASSERT_EQ(name.size(), kTemporaryNameLength);
      EXPECT_EQ(name.substr(0, 3), "~zd");
      EXPECT_EQ(name.substr(7), ".tmp");
      EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 3), 7u);
      names.insert(name);
    }
    EXPECT_EQ(names.size(), 5u);
  }
  EXPECT_NE(TemporaryFileName("{0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40}", 7),
            TemporaryFileName("{0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D41}", 7));
}

// ---------------------------------------------------------- path parts --

TEST(PathPartsTest, AddBackslashLooksOnlyForABackslash) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{"", "\\"}, {"C:\\", "C:\\"}, {"C:\\x", "C:\\x\\"}, {"a/", "a/\\"}, {"\\\\", "\\\\"}};
  for (const auto& c : cases) EXPECT_EQ(AddBackslash(c.in), c.out) << c.in;
}

TEST(PathPartsTest, FolderPartUpToTheLastOfTheSeparators) {
  // With "\" alone, as the process runner takes a program's folder.
  struct {
    const char* path;
    const char* folder;
  } cases[] = {{"C:\\dir/sub/tool.exe", "C:\\"}, {"\\tool.exe", "\\"}, {"dir/tool.exe", ""}};
  for (const auto& c : cases) EXPECT_EQ(FolderPart(c.path, "\\"), c.folder) << c.path;
}

TEST(PathPartsTest, FolderAndFileName) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Tool\\tool.exe", "C:\\Program Files\\Tool\\", "tool.exe"},
      {"C:\\Tool\\", "C:\\Tool\\", ""},
      {"C:\\tool.exe", "C:\\", "tool.exe"},
      {"tool.exe", "", "tool.exe"},
      {"", "", ""},
      {"/usr/bin/tool", "/usr/bin/", "tool"},
      {"C:\\mixed/path\\last", "C:\\mixed/path\\", "last"},
      {"C:/mixed\\path/last", "C:/mixed\\path/", "last"},
      {"\\", "\\", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FolderPart(c.path), c.folder);
    EXPECT_EQ(FileNamePart(c.path), c.name);
    EXPECT_EQ(FolderPart(c.path) + FileNamePart(c.path), c.path);
  }
}

}  // namespace

TEST(PathPartsTest, NormalizeFolderPathGivesTheSystemsFormOrRefuses) {
  const struct {
    const char* in;
    const char* out;  // nullptr: refused
  } cases[] = {
      {"C:\\Programs\\Demo", "C:\\Programs\\Demo"},
      {"c:/Programs//Demo/", "c:\\Programs\\Demo\\"},
      {"C:\\Programs\\..\\Demo", "C:\\Demo"},
      {"C:\\a\\.\\b\\..\\..\\Demo.", "C:\\Demo"},
      {"C:\\Demo. . \\x ", "C:\\Demo\\x"},
      {"C:\\", "C:\\"},
      {"C:\\..", nullptr},
      {"C:\\a\\...\\b", nullptr},
      {"C:\\a\\b:c", nullptr},
      {"C:\\a|b", nullptr},
      {"\\\\server\\share\\Demo\\..\\App", "\\\\server\\share\\App"},
      {"\\\\server\\share\\..\\other", nullptr},
      {"\\\\server", nullptr},
      {"Demo\\..\\x", "Demo\\..\\x"},  // not full: as it is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out = "x";
    EXPECT_EQ(NormalizeFolderPath(c.in, &out), c.out != nullptr);
    EXPECT_EQ(out, c.out ? c.out : "");
  }
}
