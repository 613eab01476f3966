// The install's table over the doubles: which steps run for which
// settings and choices, the log lines they add, the registry values, links
// and record they leave, and the copy error of a damaged package.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "actions/folders.h"
#include "app/config.h"
#include "app/install.h"
#include "app/startup.h"
#include "platform/message_box_double.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/shell_link_double.h"
#include "platform/system_double.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "package_file.h"
#include "test_env.h"
#include "ui/language.h"

namespace {

std::vector<std::string> g_log;
void LogAdd(const std::string& line) { g_log.push_back(line); }
void LogReplace(const std::string& line) { g_log.back() = line; }

// The bar as the install sets it, and where it stood at each drain while the
// copy's running line was the log's last.
uint32_t g_barMax = 0;
uint32_t g_barPosition = 0;
std::vector<uint32_t> g_copyDrains;
void BarMax(uint32_t units) { g_barMax = units; }
void BarPosition(uint32_t units) { g_barPosition = units; }
void CopyDrain() {
  if (!g_log.empty() && g_log.back() == "Copy Program Files .....") g_copyDrains.push_back(g_barPosition);
}

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class InstallTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    SystemDoubleSetSpecialFolder(kFolderPrograms, Win("Programs"));
    SystemDoubleSetSpecialFolder(kFolderDesktop, Win("Desktop"));
    MakeFolder("Desktop");
    MakeFolder("work");
    paths_.workFolder = Win("work\\");
    paths_.iniPath = paths_.workFolder + "setup.ini";
    g_log.clear();
  }

  // setup.pck in the work folder; a damaged one has a byte of its first
  // block flipped.
  void WritePackage(bool damaged) {
    WriteFiles({{"View.exe", std::string(2000, 'v')}, {"read.txt", "read me"}}, damaged);
  }
  void WriteFiles(const std::vector<std::pair<std::string, std::string>>& files, bool damaged) {
    const std::string path = Native("work/setup.pck");
    WritePackageFile(path, files, {});
    if (HasFatalFailure()) return;
    if (!damaged) return;
    std::string bytes = Read(path);
    bytes[12] ^= 0x5A;
    Write(path, bytes);
  }

  // Runs the install as the drivers do: start-up read and settings load of
  // setup.ini, then the table.
  void Install(const std::string& ini, bool wizard, bool desktop, bool startMenu,
               const InstallProgress* progress = nullptr, void (*drain)() = nullptr) {
    Write("work/setup.ini", ini);
    LoadDefaultTexts("Viewer", "");
    ReadStartupConfig(paths_.iniPath, &product_);
    LoadSettings(paths_.iniPath, RunOptions(), product_, &config_);
    InstallChoices choices;
    choices.installDir = Win("inst");
    choices.startMenuFolder = "Tools";
    choices.desktop = desktop;
    choices.startMenu = startMenu && config_.startMenu != 0;
    const InstallLog log = {LogAdd, LogReplace};
    InstallContext context;
    context.paths = &paths_;
    context.product = &product_;
    context.config = &config_;
    context.choices = &choices;
    context.result = &result_;
    context.log = wizard ? &log : nullptr;
    context.progress = progress;
    context.drain = drain;
    context.wizard = wizard;
    context.loggedInAsAdmin = &login_;
    RunInstall(&context);
  }

  // A string value of the registry double, "-" when it is missing.
  static std::string Value(uint32_t root, const std::string& key, const std::string& name) {
    RegistryDoubleValue value;
    if (!RegistryDoubleGet(root, key, name, &value)) return "-";
    std::string text(value.data.begin(), value.data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }

  // A key of the record in the installation folder, "-" without a record.
  std::string RecordKey(const std::string& group, const std::string& key) {
    if (!FileExists(Win("inst\\uninstall.dat"))) return "-";
    IniOpen(Win("inst\\uninstall.dat"));
    IniSelectGroup(group);
    std::string text = IniReadString(key, "?");
    IniClose();
    return text;
  }

  RunPaths paths_;
  ProductInfo product_;
  SetupConfig config_;
  InstallResult result_;
  uint8_t login_ = 1;
};

const char kFullInfo[] =
    "[Info]\r\nTitel=Viewer\r\nVersion=2.1\r\nDate=2026-12-01\r\nAuthor=Ann Smith\r\nEMail=ann@example.com\r\n"
    "Web=http://example.com/\r\nGUID={G-1}\r\n";

// The groups after Info, with extra lines for StartMenue and Task.
std::string Groups(const std::string& startMenue = "", const std::string& task = "") {
  return "[Settings]\r\nProgExe=View.exe\r\nDefaultDir=C:\\Nowhere\r\n[StartMenue]\r\nDefaultDir=Tools\r\n"
         "Exe=tools\\Conf.exe\r\n" + startMenue + "[Task]\r\nStartMenu=1\r\n" + task;
}
const std::string kSettings = Groups();

TEST_F(InstallTest, StepsFollowTheSettingsAndChoices) {
  const std::string copied = "Copy Program Files   -->   *** Completed ***";
  const struct {
    const char* what;
    std::string ini;
    bool wizard, desktop, startMenu;
    std::vector<std::string> log;
    const char* entryKey;  // the uninstall entry's key name; null: none
    const char* state;     // InstallDir|StartMenu|DesktopIcon; null: none
    const char* recordDesktop;
    const char* recordStartMenu;
    size_t links;
  } cases[] = {
      {"everything", std::string(kFullInfo) + kSettings, true, true, true,
       {"Viewer  -  Version 2.1   (2026-12-01)", "\xA9 Ann Smith   ( ann@example.com )", "", copied, "",
        "Create Uninstaller Entry", "Create Desktop Icon", "Create Startmenu Shortcuts", "Create additional Links"},
       "{G-1}", "inst\\|Tools\\|1", "Desktop\\Viewer.lnk", "Programs\\Tools\\", 3},
      {"ProgLink empty: a record but no entry", kFullInfo + Groups("ProgLink=\r\n"),
       true, true, false,
       {"Viewer  -  Version 2.1   (2026-12-01)", "\xA9 Ann Smith   ( ann@example.com )", "", copied, "",
        "Create Desktop Icon", "Create additional Links"},
       nullptr, "inst\\||1", "Desktop\\View.lnk", "", 1},
      {"NoUninstall: neither entry nor record",
       kFullInfo + Groups("", "NoUninstall=1\r\n"), true, false, true,
       {"Viewer  -  Version 2.1   (2026-12-01)", "\xA9 Ann Smith   ( ann@example.com )", "", copied, "",
        "Create Startmenu Shortcuts", "Create additional Links"},
       nullptr, "inst\\|Tools\\|0", "-", "-", 2},
      {"no GUID, no Version, no Date, no Author",
       "[Info]\r\nTitel=Viewer\r\nEMail=ann@example.com\r\n" + std::string(kSettings), true, false, false,
       {"Viewer", "   ( ann@example.com )", "", copied, "", "Create Uninstaller Entry", "Create additional Links"},
       "Viewer", nullptr, "", "", 0},
      {"bare title, no author line", "[Info]\r\nTitel=Viewer\r\n" + std::string(kSettings), true, false, false,
       {"Viewer", "", copied, "", "Create Uninstaller Entry", "Create additional Links"}, "Viewer", nullptr, "", "",
       0},
      // The quiet install keeps its state too, the folder name as configured.
      {"quiet: no log, the install state kept", std::string(kFullInfo) + kSettings, false, true, true, {}, "{G-1}",
       "inst\\|Tools|1", "Desktop\\Viewer.lnk", "Programs\\Tools\\", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEverything();
    SystemDoubleSetSpecialFolder(kFolderPrograms, Win("Programs"));
    SystemDoubleSetSpecialFolder(kFolderDesktop, Win("Desktop"));
    std::filesystem::remove_all(Native("inst"));
    std::filesystem::remove_all(Native("Desktop"));
    std::filesystem::remove_all(Native("Programs"));
    MakeFolder("Desktop");
    product_ = ProductInfo();
    config_ = SetupConfig();
    result_ = InstallResult();
    g_log.clear();
    WritePackage(false);
    Install(c.ini, c.wizard, c.desktop, c.startMenu);

    EXPECT_EQ(g_log, c.log);
    EXPECT_EQ(Read("inst/View.exe"), std::string(2000, 'v'));
    for (const char* key : {"{G-1}", "Viewer", "View"}) {
      const std::string name = Value(kHkeyLocalMachine, kUninstallKey + std::string(key), "UninstallString");
      EXPECT_EQ(name, c.entryKey && std::string(c.entryKey) == key ? "\"" + Win("inst\\uninstall.exe") + "\"" : "-") << key;
    }
    if (c.entryKey) {
      const std::string key = kUninstallKey + std::string(c.entryKey);
      EXPECT_EQ(Value(kHkeyLocalMachine, key, "DisplayIcon"), Win("inst\\View.exe"));
      EXPECT_EQ(Value(kHkeyLocalMachine, key, "Publisher"), c.ini.find("Ann") != std::string::npos ? "Ann Smith" : "");
    }
    const std::string stateKey = InstallStateKey("{G-1}");
    const std::string state = Value(kHkeyCurrentUser, stateKey, "InstallDir") + "|" +
                              Value(kHkeyCurrentUser, stateKey, "StartMenu") + "|" +
                              Value(kHkeyCurrentUser, stateKey, "DesktopIcon");
    EXPECT_EQ(state, c.state ? dir_ + "\\" + c.state : "-|-|-");
    const auto inTest = [&](const char* name) { return *name && *name != '-' ? Win(name) : std::string(name); };
    EXPECT_EQ(RecordKey("Settings", "DesktopIcon"), inTest(c.recordDesktop));
    EXPECT_EQ(RecordKey("Settings", "StartMenu"), inTest(c.recordStartMenu));
    EXPECT_EQ(RecordKey("Settings", "LoginAdmin"), *c.recordDesktop == '-' ? "-" : "1");
    // StartMenue Exe names the AddExe link even when no links were made.
    const std::string addExe = RecordKey("StartMenu", "AddExe");
    EXPECT_EQ(addExe.substr(addExe.size() - std::min<size_t>(addExe.size(), 8)),
              *c.recordDesktop == '-' ? "-" : "Conf.lnk");
    size_t menuLinks = result_.startMenuLinkFiles.size() + (result_.desktopLinkPath.empty() ? 0 : 1);
    EXPECT_EQ(ShellLinkDoubleLinks().size(), c.links);
    EXPECT_EQ(menuLinks, c.links);
    EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  }
}

TEST_F(InstallTest, DamagedPackageIsToldOnceInTheWizardAndNeverWhenQuiet) {
  for (bool wizard : {true, false}) {
    SCOPED_TRACE(wizard ? "wizard" : "quiet");
    ResetMessageBoxDouble();
    std::filesystem::remove_all(Native("inst"));
    g_log.clear();
    WritePackage(true);
    Install(std::string(kFullInfo) + kSettings, wizard, true, true);
    ASSERT_EQ(MessageBoxDoubleBoxes().size(), wizard ? 1u : 0u);
    if (wizard) {
      EXPECT_EQ(MessageBoxDoubleBoxes()[0].text, Text(kTextRq6Msg));
      // The log goes on with its usual lines after the box.
      EXPECT_EQ(g_log[3], "Copy Program Files   -->   *** Completed ***");
      EXPECT_EQ(g_log.back(), "Create additional Links");
    }
    // The rest of the package is installed and the later steps run.
    EXPECT_EQ(Read("inst/read.txt"), "read me");
    EXPECT_TRUE(FileExists(Win("inst\\uninstall.dat")));
  }
}

// What counts as a failed copy. A file that the no-copy list keeps is none;
// a setup.pck that does not open, or a folder that cannot be made, copies
// nothing, so no entry, link or record claims the program, and the wizard
// shows the copy-error box once.
TEST_F(InstallTest, OnlyFilesThatShouldHaveGoneDownCountAsAFailedCopy) {
  const std::string ini = std::string(kFullInfo) + "[Settings]\r\nProgExe=View.exe\r\nNoCopyExt=txt|\r\n" +
                          "[StartMenue]\r\nDefaultDir=Tools\r\n[Task]\r\nStartMenu=1\r\n";
  const std::string entry = kUninstallKey + std::string("{G-1}");
  // A reinstall keeps the user's read.txt: no box, no failed step.
  WritePackage(false);
  Write("inst/read.txt", "the user's");
  Install(ini, true, true, true);
  EXPECT_EQ(Read("inst/read.txt"), "the user's");
  EXPECT_EQ(Read("inst/View.exe"), std::string(2000, 'v'));
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_FALSE(result_.stepFailed || result_.filesFailed);
  struct Case {
    const char* what;
    bool wizard;
    bool folderBlocked;  // a file where the installation folder should be
  } cases[] = {{"unreadable setup.pck, wizard", true, false},
               {"unreadable setup.pck, quiet", false, false},
               {"folder cannot be made, wizard", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMessageBoxDouble();
    ResetRegistryDouble();
    ResetShellLinkDouble();
    std::filesystem::remove_all(Native("inst"));
    result_ = InstallResult();
    g_log.clear();
    if (c.folderBlocked) {
      WritePackage(false);
      Write("inst", "a file");
    } else {
      Write("work/setup.pck", "not a package, but there");
    }
    Install(ini, c.wizard, true, true);
    ASSERT_EQ(MessageBoxDoubleBoxes().size(), c.wizard ? 1u : 0u);
    if (c.wizard) {
      EXPECT_EQ(MessageBoxDoubleBoxes()[0].text, Text(kTextRq6Msg));
      EXPECT_EQ(g_log.back(), "Copy Program Files .....");
    }
    EXPECT_TRUE(result_.stepFailed && result_.filesFailed);
    EXPECT_EQ(result_.installDirFailed, c.folderBlocked);
    EXPECT_EQ(Value(kHkeyLocalMachine, entry, "UninstallString"), "-");
    EXPECT_TRUE(ShellLinkDoubleLinks().empty());
    EXPECT_TRUE(result_.taskRecords.empty());
    // The folder the install made for nothing went again.
    EXPECT_EQ(Exists("inst"), c.folderBlocked);
  }
}

// The copy drains through the install's context, not behind its back:
// between the 1 MiB pieces of a large file's read and write, and after
// every file with the bar at that file's end.
TEST_F(InstallTest, CopyDrainsBetweenPiecesAndFiles) {
  std::mt19937 random(7);
  std::string big(2621440, '\0');  // 2.5 MiB that do not compress, so they are stored as they are
  for (char& c : big) c = static_cast<char>(random());
  WriteFiles({{"big.bin", big}, {"small.txt", "abc"}}, false);
  g_barMax = g_barPosition = 0;
  g_copyDrains.clear();
  const InstallProgress progress = {BarMax, BarPosition};
  Install(std::string(kFullInfo) + kSettings, true, false, false, &progress, CopyDrain);
  EXPECT_EQ(Read("inst/big.bin"), big);
  EXPECT_EQ(g_barMax, 2621443u);
  EXPECT_EQ(g_barPosition, 2621443u);
  // Before the package opens; two between the three pieces read; two
  // between the three pieces written; after each of the two files.
  EXPECT_EQ(g_copyDrains, std::vector<uint32_t>({0, 0, 0, 0, 0, 2621440, 2621443}));
}

// The bar's range is a signed 32-bit number: below 2 GiB it counts bytes,
// above it both numbers are halved as often as the total needs, and a count
// past the total stays at the end.
TEST_F(InstallTest, ProgressBarUnitsStayInRangeAndNeverRunBack) {
  const uint64_t GiB = 1ull << 30;
  const struct {
    uint64_t count, total;
    uint32_t units;
  } cases[] = {
      {0, 0, 0},
      {7, 12, 7},
      {12, 12, 12},
      {13, 12, 12},
      {2147483647, 2147483647, 2147483647},
      {2 * GiB, 2 * GiB, 1073741824},
      {GiB + 1, 2 * GiB, 536870912},
      {4 * GiB + 4, 5 * GiB, 1073741825},  // past 4 GiB, where a 32-bit count starts again from 4
      {5 * GiB, 5 * GiB, 1342177280},
      {6 * GiB, 5 * GiB, 1342177280},
      {64 * GiB, 64 * GiB, 1073741824},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressBarUnits(c.count, c.total), c.units) << c.count << " of " << c.total;
  }
}

}  // namespace
