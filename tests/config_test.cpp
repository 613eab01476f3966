// Setup configuration: start-up read, settings load with its precedence
// rules, the install state, and the program folder name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/config.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system_double.h"
#include "runtime/ini.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kGuid[] = "{0A1B2C3D-1111-2222-3333-444455556666}";

class ConfigTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", "C:\\Program Files");
    SystemDoubleSetWindowsDirectory("C:\\WINDOWS");
    iniPath_ = dir_ + "/setup.ini";
  }

  void WriteIni(const std::string& text) { Write(iniPath_, text); }

  // The install state as a previous wizard install would have left it.
  static void Remember(const char* guid, const char* installDir, const char* startMenu, const char* desktop) {
    std::string key = std::string("SOFTWARE\\Zandor\\") + guid;
    if (installDir) RegistryDoubleSetString(kHkeyCurrentUser, key, "InstallDir", installDir);
    if (startMenu) RegistryDoubleSetString(kHkeyCurrentUser, key, "StartMenu", startMenu);
    if (desktop) RegistryDoubleSetString(kHkeyCurrentUser, key, "DesktopIcon", desktop);
  }

  // Start-up read then settings load, as a run does.
  void LoadAll() {
    ReadStartupConfig(iniPath_, &product_);
    LoadSettings(iniPath_, options_, product_, &config_);
  }

  std::string iniPath_;
  RunOptions options_;
  ProductInfo product_;
  SetupConfig config_;
};

const char kFullIni[] =
    "[Settings]\r\n"
    "Language=english.lng#9|deutsch.lng#7|\r\n"
    "ProgExe=Viewer.exe\r\n"
    "DefaultDir=%ProgramFiles%Tools\\Viewer\r\n"
    "NoCopyExt=ini|dat|\r\n"
    "[Info]\r\n"
    "Titel=Image Viewer\r\n"
    "Version=2.1\r\n"
    "GUID={0A1B2C3D-1111-2222-3333-444455556666}\r\n"
    "PrgSize=12 MB\r\n"
    "Web=http://example.org/\r\n"
    "[StartMenue]\r\n"
    "DefaultDir=Viewer Group\r\n"
    "ProgLink=Viewer Link\r\n"
    "[Task]\r\n"
    "MutexString=  ViewerMutex \t\r\n"
    "Desktop=1\r\n"
    "ProgParameter=-fast\r\n"
    "StartProg=1\r\n"
    "Reboot=2\r\n"
    "NoUninstall=256\r\n"
    "StartMenu=257\r\n"
    "ScriptFile=after.vbs\r\n";

// Without DefaultDir the program's folder in Program Files is named after
// its title, less what a file name cannot hold.
TEST_F(ConfigTest, NoDefaultDirTakesTheTitleAsFolderName) {
  WriteIni("[Info]\r\nTitel= A/B: *Tool*. \r\n");
  LoadAll();
  EXPECT_EQ(config_.progFolderName, "");
  EXPECT_EQ(config_.installDir, "C:\\Program Files\\AB Tool\\");
}

TEST_F(ConfigTest, StartupReadTakesTheFirstKeys) {
  WriteIni(kFullIni);
  ReadStartupConfig(iniPath_, &product_);
  const ProductInfo& s = product_;
  EXPECT_EQ(s.languageList, "english.lng#9|deutsch.lng#7|");
  EXPECT_EQ(s.progExe, "Viewer.exe");
  EXPECT_EQ(s.title, "Image Viewer");
  EXPECT_EQ(s.version, "2.1");
  EXPECT_EQ(s.guid, kGuid);
  EXPECT_EQ(s.prgSize, "12 MB");
  EXPECT_EQ(s.mutexName, "ViewerMutex");
  EXPECT_FALSE(IniIsOpen());  // closed again
}

TEST_F(ConfigTest, MissingSetupIniGivesDefaults) {
  product_.title = "stale";
  LoadAll();
  EXPECT_EQ(product_.title, "--- unknown ---");
  EXPECT_EQ(product_.languageList, "");
  EXPECT_EQ(product_.guid, "");
  EXPECT_EQ(product_.mutexName, "");
  // Never the Program Files folder itself: without a name of its own the
  // program gets a plain one.
  EXPECT_EQ(config_.installDir, "C:\\Program Files\\Program\\");
  EXPECT_EQ(config_.progFolderName, "");
  EXPECT_EQ(config_.progLink, "--- unknown ---");
  EXPECT_EQ(config_.desktopDefault, 0);
  EXPECT_FALSE(fs::exists(iniPath_));
}

TEST_F(ConfigTest, SettingsLoadReadsEveryKey) {
  WriteIni(kFullIni);
  LoadAll();
  const SetupConfig& s = config_;
  EXPECT_EQ(s.web, "http://example.org/");
  EXPECT_EQ(s.installDir, "C:\\Program Files\\Tools\\Viewer");
  EXPECT_EQ(s.progFolderName, "Viewer");
  EXPECT_EQ(s.noCopyExt, "ini|dat|");
  EXPECT_EQ(s.startMenuFolder, "Viewer Group");
  EXPECT_EQ(s.progLink, "Viewer Link");
  EXPECT_EQ(s.desktopDefault, 1);
  EXPECT_EQ(s.progParameter, "-fast");
  EXPECT_EQ(s.startProg, 1);
  EXPECT_EQ(s.reboot, 2);
  EXPECT_EQ(s.noUninstall, 0);  // 256 kept in 8 bits
  EXPECT_EQ(s.startMenu, 1);    // 257 kept in 8 bits
  EXPECT_EQ(s.scriptFile, "after.vbs");
  EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, std::string("SOFTWARE\\Zandor\\") + kGuid));
}

TEST_F(ConfigTest, DesktopIsAThirtyTwoBitNumber) {
  WriteIni("[Task]\r\nDesktop=256\r\n");
  LoadAll();
  EXPECT_EQ(config_.desktopDefault, 256);
}

struct PrecedenceCase {
  const char* label;
  const char* overrideDir;  // "/P"
  const char* previousDir;  // install state InstallDir
  const char* expected;
};

TEST_F(ConfigTest, InstallFolderPrecedence) {
  const PrecedenceCase cases[] = {
      {"setup.ini alone", "", nullptr, "C:\\Program Files\\Tools\\Viewer"},
      {"previous install beats setup.ini", "", "D:\\Old\\Viewer\\", "D:\\Old\\Viewer\\"},
      {"/P beats both", "E:\\New", "D:\\Old\\Viewer\\", "E:\\New"},
      {"/P beats setup.ini", "E:\\New", nullptr, "E:\\New"},
      {"empty previous is not set", "", "", "C:\\Program Files\\Tools\\Viewer"},
      {"relative /P goes under Program Files", "Mine", nullptr, "C:\\Program Files\\Mine"},
      {"/P with a variable expands", "%Windows%Viewer", nullptr, "C:\\WINDOWS\\Viewer"},
  };
  for (const PrecedenceCase& c : cases) {
    SCOPED_TRACE(c.label);
    options_ = RunOptions();
    ResetRegistryDouble();
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", "C:\\Program Files");
    WriteIni(kFullIni);
    options_.installDirOverride = c.overrideDir;
    Remember(kGuid, c.previousDir, nullptr, nullptr);
    LoadAll();
    EXPECT_EQ(config_.installDir, c.expected);
    // The program folder name always comes from setup.ini's DefaultDir.
    EXPECT_EQ(config_.progFolderName, "Viewer");
  }
}

TEST_F(ConfigTest, PreviousFolderStandsInForAMissingDefaultDir) {
  WriteIni("[Info]\r\nGUID={G}\r\n[Settings]\r\nProgExe=a.exe\r\n");
  Remember("{G}", "D:\\Apps\\Painter\\", nullptr, nullptr);
  LoadAll();
  EXPECT_EQ(config_.installDir, "D:\\Apps\\Painter\\");
  EXPECT_EQ(config_.progFolderName, "Painter");
}

TEST_F(ConfigTest, StateKeyIsTheGuidExactlyAsWritten) {
  WriteIni("[Info]\r\nGUID=abc\r\n[Settings]\r\nDefaultDir=C:\\Fresh\r\n");
  Remember("abc\\", "D:\\Not this\\", nullptr, nullptr);
  Remember("abc", "D:\\Exact\\", nullptr, nullptr);
  LoadAll();
  EXPECT_EQ(config_.installDir, "D:\\Exact\\");
}

TEST_F(ConfigTest, EmptyGuidReadsTheBareZandorKey) {
  WriteIni("[Settings]\r\nDefaultDir=C:\\Fresh\r\n");
  Remember("", "D:\\Shared\\", "Shared Menu\\", "1");
  LoadAll();
  EXPECT_EQ(config_.installDir, "D:\\Shared\\");
  EXPECT_EQ(config_.startMenuFolder, "Shared Menu\\");
  EXPECT_EQ(config_.desktopDefault, 1);
}

struct StartMenuCase {
  const char* label;
  const char* overrideMenu;
  const char* previousMenu;
  const char* expected;
};

TEST_F(ConfigTest, StartMenuFolderPrecedence) {
  const StartMenuCase cases[] = {
      {"setup.ini alone", "", nullptr, "Viewer Group"},
      {"previous beats setup.ini", "", "Old Group\\", "Old Group\\"},
      {"/S beats both", "Mine", "Old Group\\", "Mine"},
      {"not expanded", "%Windows%Menu", nullptr, "%Windows%Menu"},
  };
  for (const StartMenuCase& c : cases) {
    SCOPED_TRACE(c.label);
    options_ = RunOptions();
    ResetRegistryDouble();
    WriteIni(kFullIni);
    options_.startMenuOverride = c.overrideMenu;
    Remember(kGuid, nullptr, c.previousMenu, nullptr);
    LoadAll();
    EXPECT_EQ(config_.startMenuFolder, c.expected);
  }
}

struct DesktopCase {
  const char* label;
  const char* iniDesktop;  // nullptr: key absent
  const char* stored;      // nullptr: value absent
  int32_t expected;
};

TEST_F(ConfigTest, StoredDesktopChoiceBeatsSetupIni) {
  const DesktopCase cases[] = {
      {"stored 0 beats Desktop=1", "1", "0", 0},
      {"stored 1 beats Desktop=0", "0", "1", 1},
      {"nothing stored", "1", nullptr, 1},
      {"stored empty counts as nothing", "1", "", 1},
      {"nothing anywhere", nullptr, nullptr, 0},
      {"stored text that is no number", "1", "yes", 0},
  };
  for (const DesktopCase& c : cases) {
    SCOPED_TRACE(c.label);
    options_ = RunOptions();
    ResetRegistryDouble();
    std::string ini = "[Info]\r\nGUID={D}\r\n[Task]\r\n";
    if (c.iniDesktop) ini += std::string("Desktop=") + c.iniDesktop + "\r\n";
    WriteIni(ini);
    Remember("{D}", nullptr, nullptr, c.stored);
    LoadAll();
    EXPECT_EQ(config_.desktopDefault, c.expected);
  }
}

TEST_F(ConfigTest, ProgLinkDefaultsToTheTitle) {
  WriteIni("[Info]\r\nTitel=Painter\r\n[StartMenue]\r\nDefaultDir=Paint\r\n");
  LoadAll();
  EXPECT_EQ(config_.progLink, "Painter");
  WriteIni("[Info]\r\nTitel=Painter\r\n[StartMenue]\r\nProgLink=\r\n");
  LoadAll();
  EXPECT_EQ(config_.progLink, "");  // present but empty stays empty
}

TEST_F(ConfigTest, LoadingDoesNotWriteSetupIni) {
  WriteIni(kFullIni);
  auto before = fs::last_write_time(iniPath_) - std::chrono::hours(1);
  fs::last_write_time(iniPath_, before);
  LoadAll();
  EXPECT_EQ(fs::last_write_time(iniPath_), before);
}

TEST_F(ConfigTest, InstallStateIsWrittenWithTerminatingZeros) {
  WriteInstallState(kGuid, "C:\\Program Files\\Viewer\\", "", "1");
  std::string key = std::string("SOFTWARE\\Zandor\\") + kGuid;
  RegistryDoubleValue value;
  ASSERT_TRUE(RegistryDoubleGet(kHkeyCurrentUser, key, "InstallDir", &value));
  EXPECT_EQ(value.type, static_cast<uint32_t>(kRegSz));
  std::string expected = "C:\\Program Files\\Viewer\\";
  expected += '\0';
  EXPECT_EQ(std::string(value.data.begin(), value.data.end()), expected);
  ASSERT_TRUE(RegistryDoubleGet(kHkeyCurrentUser, key, "StartMenu", &value));
  EXPECT_EQ(value.data, std::vector<uint8_t>({0}));
  ASSERT_TRUE(RegistryDoubleGet(kHkeyCurrentUser, key, "DesktopIcon", &value));
  EXPECT_EQ(value.data, std::vector<uint8_t>({'1', 0}));
}

TEST_F(ConfigTest, InstallStateRoundTripsIntoTheNextRun) {
  WriteIni(kFullIni);
  WriteInstallState(kGuid, "D:\\Chosen\\", "Chosen Menu\\", "0");
  LoadAll();
  EXPECT_EQ(config_.installDir, "D:\\Chosen\\");
  EXPECT_EQ(config_.startMenuFolder, "Chosen Menu\\");
  EXPECT_EQ(config_.desktopDefault, 0);
}

TEST_F(ConfigTest, EmptyGuidWritesNoInstallState) {
  WriteInstallState("", "C:\\X\\", "M\\", "1");
  EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, "SOFTWARE\\Zandor\\"));
  EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, "SOFTWARE\\Zandor"));
}

TEST(ProgramFolderNameTest, WorkedExamples) {
  struct {
    const char* defaultDir;
    const char* expected;
  } cases[] = {
      {"%ProgramFiles%Viewer", "Viewer"},
      {"%ProgramFiles%Tools\\Viewer", "Viewer"},
      {"%ProgramFiles%Viewer\\", "Viewer"},
      {"C:\\Tools\\Viewer", "Viewer"},
      {"Viewer", "Viewer"},
      {"%ProgramFiles%", ""},
      {"", ""},
      {"C:\\Tools\\Viewer\\\\", "Viewer"},
      {"\\\\", ""},
      {"%A%B%C", "%A%B%C"},  // three "%": taken as it stands
      {"%A%B%\\Viewer", "Viewer"},
      {"100%\\Sure", "Sure"},  // one "%": taken as it stands
      {"%x%C:\\Apps\\Paint", "Paint"},
      {"D:/Apps/Paint", "D:/Apps/Paint"},  // only "\" separates
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramFolderName(c.defaultDir), c.expected) << c.defaultDir;
}

}  // namespace

namespace {

TEST_F(ConfigTest, InstallFolderIsNormalisedAndNeverASharedFolder) {
  SystemDoubleSetSpecialFolder(5, "C:\\Users\\me\\Documents\\");
  SystemDoubleSetSpecialFolder(40, "C:\\Users\\me\\");
  SystemDoubleSetWindowsDirectory("C:\\Windows\\");
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\Tools\\..\\Viewer.", "C:\\Viewer"},
      {"D:\\", "D:\\Viewer"},
      {"d:/", "d:\\Viewer"},
      {"C:\\users\\ME\\documents\\", "C:\\users\\ME\\documents\\Viewer\\"},
      {"C:\\Users\\me\\Downloads", "C:\\Users\\me\\Downloads\\Viewer"},
      {"C:\\Users\\me", "C:\\Users\\me\\Viewer"},
      {"C:\\Windows\\.", "C:\\Windows\\Viewer"},
      {"C:\\Users\\me\\Documents\\Mine", "C:\\Users\\me\\Documents\\Mine"},
      {"C:\\a\\...\\b", ""},  // cannot be made sound: refused, empty
  };
  for (const auto& c : cases) EXPECT_EQ(SoundInstallFolder(c.in, "Viewer"), c.out) << c.in;
  EXPECT_EQ(SoundInstallFolder("D:\\", ""), "D:\\");
}

}  // namespace
