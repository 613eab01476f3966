// File-system cases that only Windows has: drive roots and the long form of
// the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "filesys_fixture.h"
#include "platform/file.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "test_system.h"

namespace {

TEST_F(FileSysTest, FileSizeOfADriveRoot) {
  const char system = OsGetWindowsDirectory()[0];
  char missing = 0;
  for (char letter = 'Y'; letter > 'C' && !missing; --letter) {
    if (!std::filesystem::exists(std::string(1, letter) + ":\\")) missing = letter;
  }
  ASSERT_NE(missing, 0);
  struct Case {
    std::string path;
    int64_t size;
  };
  const Case cases[] = {
      {std::string(1, system) + ":", -2},
      {std::string(1, system) + ":\\", -2},
      {std::string(1, static_cast<char>(system | 0x20)) + ":/", -2},
      {std::string(1, missing) + ":", -1},
      {std::string(1, missing) + ":\\", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileSize(c.path), c.size);
    EXPECT_EQ(FolderExists(c.path), c.size == -2);
    EXPECT_FALSE(FileExists(c.path));
  }
}

TEST_F(FileSysTest, TemporaryFolderComesInItsLongForm) {
  MakeFolder("a long folder name");
  const std::string full = Win("a long folder name");
  char shortName[MAX_PATH] = {0};
  DWORD n = GetShortPathNameA(full.c_str(), shortName, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  ASSERT_NE(std::string(shortName), full) << "the file system gives no short names";
  SetTestTempPath(shortName);
  std::string temp = GetTemporaryFolder();
  SetTestTempPath("");
  EXPECT_EQ(temp, full + "\\");
}

// A file written beside its name moves into place through its own handle:
// nobody else may delete or move it meanwhile, a taken name stays as it
// is, and bytes written after the move land under the new name.
TEST_F(FileSysTest, MovableFileMovesThroughItsOwnHandle) {
  Write("taken.txt", "old");
  MakeFolder("sub");
  const std::string temp = Win("sub\\~zd0001.tmp");
  OsFile file = OsOpenFile(temp, kOsOpenCreateNewMovable);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(OsWriteFile(file, "ab", 2));
  EXPECT_FALSE(DeleteFileA(temp.c_str()));
  EXPECT_FALSE(MoveFileExA(temp.c_str(), Win("elsewhere.txt").c_str(), 0));
  EXPECT_FALSE(OsMoveOpenFile(file, temp, Win("taken.txt")));
  // The path is cleaned up as a call by name would: "/" and ".." go.
  EXPECT_TRUE(OsMoveOpenFile(file, temp, Win("sub/../placed.txt")));
  ASSERT_TRUE(OsWriteFile(file, "cd", 2));
  OsCloseFile(file);
  EXPECT_EQ(Read("placed.txt"), "abcd");
  EXPECT_EQ(Read("taken.txt"), "old");
  EXPECT_FALSE(std::filesystem::exists(Native("sub/~zd0001.tmp")));
}

}  // namespace
