// Folder lookup and path expansion over the registry and shell doubles.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "actions/folders.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system_double.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

class FoldersTest : public EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", "C:\\Program Files");
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "CommonFilesDir", "C:\\Program Files\\Common Files\\");
    SystemDoubleSetSystemDirectory("C:\\WINDOWS\\system32");
    SystemDoubleSetWindowsDirectory("C:\\WINDOWS");
    SystemDoubleSetSpecialFolder(0, "C:\\Users\\Ann\\Desktop");
    SystemDoubleSetSpecialFolder(2, "C:\\Users\\Ann\\Start Menu\\Programs\\");
    SystemDoubleSetSpecialFolder(5, "C:\\Users\\Ann\\Documents");
    SystemDoubleSetSpecialFolder(7, "C:\\Users\\Ann\\Start Menu\\Programs\\Startup");
    SystemDoubleSetSpecialFolder(20, "C:\\WINDOWS\\Fonts");
    SystemDoubleSetSpecialFolder(23, "C:\\ProgramData\\Start Menu\\Programs");
    SystemDoubleSetSpecialFolder(26, "C:\\Users\\Ann\\AppData\\Roaming");
    SystemDoubleSetNtFamily(true);
  }
};

struct FolderCase {
  int32_t folder;
  const char* expected;
};

TEST_F(FoldersTest, EveryIdentifierEndsInOneBackslash) {
  const FolderCase cases[] = {
      {kFolderDesktop, "C:\\Users\\Ann\\Desktop\\"},
      {kFolderPrograms, "C:\\Users\\Ann\\Start Menu\\Programs\\"},
      {kFolderPersonal, "C:\\Users\\Ann\\Documents\\"},
      {kFolderStartup, "C:\\Users\\Ann\\Start Menu\\Programs\\Startup\\"},
      {kFolderFonts, "C:\\WINDOWS\\Fonts\\"},
      {kFolderCommonPrograms, "C:\\ProgramData\\Start Menu\\Programs\\"},
      {kFolderAppData, "C:\\Users\\Ann\\AppData\\Roaming\\"},
      {kFolderCommonFiles, "C:\\Program Files\\Common Files\\"},
      {kFolderSystem, "C:\\WINDOWS\\system32\\"},
      {kFolderWindows, "C:\\WINDOWS\\"},
      {kFolderQuickLaunch, "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\"},
      {kFolderProgramFiles, "C:\\Program Files\\"},
      {kFolderKorvex, ""},  // not installed
      {-1, ""},
      {35, ""},  // a shell folder the shell does not know
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "folder " << c.folder);
    EXPECT_EQ(GetFolderPath(c.folder), c.expected);
  }
}

TEST_F(FoldersTest, QuickLaunchWithoutAppDataIsTheRelativeText) {
  SystemDoubleSetSpecialFolder(26, "");
  EXPECT_EQ(GetFolderPath(kFolderAppData), "");
  EXPECT_EQ(GetFolderPath(kFolderQuickLaunch), "Microsoft\\Internet Explorer\\Quick Launch\\");
}

TEST_F(FoldersTest, ProgramFilesMissingFromRegistryIsEmpty) {
  ResetRegistryDouble();
  EXPECT_EQ(GetFolderPath(kFolderProgramFiles), "");
  EXPECT_EQ(GetFolderPath(kFolderCommonFiles), "");
  EXPECT_EQ(ExpandFolderVariables("Viewer", true), "Viewer");
}

const char kKorvexNtKey[] = "Applications\\Korvex.exe\\shell\\open\\command";
const char kKorvexOldKey[] = "Software\\Classes\\Korvex.exe\\shell\\open\\command";

TEST_F(FoldersTest, KorvexFolderFromTheOpenCommandOnNt) {
  RegistryDoubleSetString(kHkeyClassesRoot, kKorvexNtKey, "", "\"C:\\Korvex 7\\bin\\Korvex.exe\" \"%1\"");
  EXPECT_EQ(GetFolderPath(kFolderKorvex), "C:\\Korvex 7\\bin\\");
  // The other family's key is not consulted.
  SystemDoubleSetNtFamily(false);
  EXPECT_EQ(GetFolderPath(kFolderKorvex), "");
}

TEST_F(FoldersTest, KorvexFolderFromTheOpenCommandOnOldWindows) {
  SystemDoubleSetNtFamily(false);
  RegistryDoubleSetString(kHkeyLocalMachine, kKorvexOldKey, "", "\"D:/Tools/Korvex.exe\" \"%1\"");
  // A "/" separator counts; the trailing "\" is then added.
  EXPECT_EQ(GetFolderPath(kFolderKorvex), "D:/Tools/\\");
  SystemDoubleSetNtFamily(true);
  EXPECT_EQ(GetFolderPath(kFolderKorvex), "");
}

TEST_F(FoldersTest, KorvexCommandOddShapes) {
  struct {
    const char* command;
    const char* expected;
  } cases[] = {
      {"\"Korvex.exe\" \"%1\"", ""},  // no folder part
      {"\" \"%1\"", ""},              // exactly the seven dropped characters
      {"\"%1\"", ""},                 // shorter than that
      {"", ""},
      {"\"C:\\K\\Korvex.exe\"", "C:\\K\\"},  // no argument: six characters too many are dropped
      {"\"C:\\K\\ab\"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    RegistryDoubleSetString(kHkeyClassesRoot, kKorvexNtKey, "", c.command);
    EXPECT_EQ(GetFolderPath(kFolderKorvex), c.expected);
  }
  // A command longer than the 260-byte buffer reads as nothing.
  std::string longCommand = "\"C:\\" + std::string(300, 'k') + "\\Korvex.exe\" \"%1\"";
  RegistryDoubleSetString(kHkeyClassesRoot, kKorvexNtKey, "", longCommand);
  EXPECT_EQ(GetFolderPath(kFolderKorvex), "");
}

struct ExpandCase {
  const char* path;
  bool fallback;
  const char* expected;
};

TEST_F(FoldersTest, ExpansionRules) {
  const ExpandCase cases[] = {
      {"C:\\%Windows%\\x", true, "C:\\%Windows%\\x"},  // drive paths are left alone
      {"C:\\Tools", false, "C:\\Tools"},
      {"Viewer", true, "C:\\Program Files\\Viewer"},
      {"", true, "C:\\Program Files\\"},
      {"\\\\server\\share", true, "C:\\Program Files\\\\\\server\\share"},
      {"50%off", true, "C:\\Program Files\\50%off"},
      {"Viewer", false, "Viewer"},
      {"%programfiles%Viewer", true, "%programfiles%Viewer"},  // case-sensitive, two "%": no prefix
      {"%Unknown%Viewer", true, "%Unknown%Viewer"},
      {"%ProgramFiles%Viewer", true, "C:\\Program Files\\Viewer"},
      {"%ProgramFiles%Viewer", false, "C:\\Program Files\\Viewer"},
      {"%System%%Windows%", false, "C:\\WINDOWS\\system32\\C:\\WINDOWS\\"},
      {"%Fonts%a;%Fonts%b", false, "C:\\WINDOWS\\Fonts\\a;C:\\WINDOWS\\Fonts\\b"},
      {"%CommonFiles%x", false, "C:\\Program Files\\Common Files\\x"},
      {"%AppData%x", false, "C:\\Users\\Ann\\AppData\\Roaming\\x"},
      {"%StartUp%x", false, "C:\\Users\\Ann\\Start Menu\\Programs\\Startup\\x"},
      {"%QuickLaunch%x", false, "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\x"},
      {"%MyDocuments%x", false, "C:\\Users\\Ann\\Documents\\x"},
      {"%Korvex%Plugins", true, "Plugins"},  // not installed: the folder name alone
      {"%Windows%%Windows%", false, "C:\\WINDOWS\\C:\\WINDOWS\\"},
      {"%Windows%Windows%", false, "C:\\WINDOWS\\Windows%"},
      {"%%Windows%%", false, "%C:\\WINDOWS\\%"},
      {"X%Windows%", false, "XC:\\WINDOWS\\"},
      {"C:/%Windows%", false, "C:/C:\\WINDOWS\\"},  // only ":\" marks a drive path
  };
  for (const ExpandCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << (c.fallback ? " with fallback" : ""));
    EXPECT_EQ(ExpandFolderVariables(c.path, c.fallback), c.expected);
  }
}

TEST_F(FoldersTest, VariablesAreReplacedInTableOrder) {
  // A folder value that holds a later variable is expanded again by it; one
  // that holds an earlier variable is not.
  RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", "P%Windows%");
  SystemDoubleSetWindowsDirectory("W%ProgramFiles%");
  EXPECT_EQ(ExpandFolderVariables("%ProgramFiles%x", false), "PW%ProgramFiles%\\\\x");
  EXPECT_EQ(ExpandFolderVariables("%Windows%x", false), "W%ProgramFiles%\\x");
}

TEST_F(FoldersTest, FoldersAreLookedUpForEveryExpansion) {
  EXPECT_EQ(ExpandFolderVariables("%ProgramFiles%A", false), "C:\\Program Files\\A");
  RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", "D:\\Apps");
  EXPECT_EQ(ExpandFolderVariables("%ProgramFiles%A", false), "D:\\Apps\\A");
  EXPECT_EQ(ExpandFolderVariables("A", true), "D:\\Apps\\A");
  SystemDoubleSetSpecialFolder(20, "E:\\Fonts\\");
  EXPECT_EQ(GetFolderPath(kFolderFonts), "E:\\Fonts\\");
}

TEST(FolderPaths, EnsureFolderExistsCreatesTheWholePath) {
  fs::path root = fs::temp_directory_path() / "zandor-folders-test";
  fs::remove_all(root);
  std::string nested = root.string() + "\\one\\two\\three";
  EXPECT_TRUE(EnsureFolderExists(nested));
  EXPECT_TRUE(fs::is_directory(root / "one" / "two" / "three"));
  EXPECT_TRUE(EnsureFolderExists(nested + "\\"));
  fs::remove_all(root);
}

TEST_F(FoldersTest, ReadRegistryStringRules) {
  const char* key = "Software\\Test";
  RegistryDoubleSetString(kHkeyCurrentUser, key, "one", "1");
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "one"), "1");
  RegistryDoubleSet(kHkeyCurrentUser, key, "bare", kRegSz, {'a', 'b', 'c'});
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "bare"), "ab");  // last byte taken as terminator
  RegistryDoubleSet(kHkeyCurrentUser, key, "empty", kRegSz, {});
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "empty"), "");
  RegistryDoubleSet(kHkeyCurrentUser, key, "dword", kRegDword, {'7', '8', 0, 0});
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "dword"), "78");  // type is not looked at

  std::string longest(254, 'x');
  RegistryDoubleSetString(kHkeyCurrentUser, key, "254", longest);
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "254"), longest);
  RegistryDoubleSetString(kHkeyCurrentUser, key, "255", longest + "y");
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "255"), "");

  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, key, "missing"), "");
  EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, "Software\\Nothing", "one"), "");
  EXPECT_EQ(ReadRegistryString(kHkeyLocalMachine, key, "one"), "");
}

}  // namespace
