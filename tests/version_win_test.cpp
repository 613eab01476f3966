// The Windows side of the confirmed copy: version resources read through
// the system's Version.dll (the test component regtest.dll beside the tests
// carries one; the tests themselves carry none), and which paths count as
// full paths for the task list's refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/version.h"

namespace {

std::string BesideTests(const std::string& name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string own(path, length);
  return own.substr(0, own.find_last_of('\\') + 1) + name;
}

TEST(VersionWinTest, ReadsTheFirstTranslationsStrings) {
  OsFileVersion version;
  ASSERT_TRUE(OsGetFileVersion(BesideTests("regtest.dll"), &version));
  EXPECT_EQ(version.fileVersion, "1.2.3.4");
  EXPECT_EQ(version.description, "Zandor test component");
  EXPECT_FALSE(version.language.empty());
  EXPECT_FALSE(OsGetFileVersion(BesideTests("unit_tests.exe"), &version));
  EXPECT_EQ(version.fileVersion + version.description + version.language, "");
  EXPECT_FALSE(OsGetFileVersion(BesideTests("no such file.dll"), &version));
}

TEST(VersionWinTest, FullPaths) {
  const struct {
    const char* path;
    bool full;
  } cases[] = {
      {"C:\\x.txt", true},   {"c:/x.txt", true},      {"\\\\server\\share\\x", true},
      {"C:x.txt", false},    {"\\x.txt", false},      {"x.txt", false},
      {"", false},           {"\\\\\\x", false},      {"1:\\x", false},
      {"%Windows%x", false}, {"..\\x.txt", false},
  };
  for (const auto& c : cases) EXPECT_EQ(OsIsFullPath(c.path), c.full) << c.path;
}

}  // namespace
