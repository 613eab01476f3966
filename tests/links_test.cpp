// Shortcuts over the link double: the target-icon marker, the desktop link
// and the start-menu folder with its five links, their conditions, names
// and fields. The double leaves a marker file where each saved link is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/folders.h"
#include "actions/links.h"
#include "platform/shell_link_double.h"
#include "platform/system_double.h"
#include "test_env.h"
#include "ui/language.h"

namespace {

const char kInstallDir[] = "C:\\Program Files\\Viewer\\";

// A link as the tests expect it; show command 1, no description and no
// hotkey are checked for every link.
struct Link {
  std::string target;
  std::string linkFile;
  std::string workingFolder;
  std::string arguments;
  std::string iconFile;
  int32_t iconIndex;
};

class LinksTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    programs_ = Win("Start Menu\\Programs\\");
    desktop_ = Win("Desktop\\");
    SystemDoubleSetSpecialFolder(kFolderPrograms, programs_);
    SystemDoubleSetSpecialFolder(kFolderDesktop, desktop_);
    MakeFolder("Desktop");
    LoadDefaultTexts("Viewer", "2.1");
  }

  void ExpectLinks(const std::vector<Link>& expected) {
    const std::vector<ShellLinkSpec>& got = ShellLinkDoubleLinks();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE(expected[i].linkFile);
      EXPECT_EQ(got[i].target, expected[i].target);
      EXPECT_EQ(got[i].linkFile, expected[i].linkFile);
      EXPECT_EQ(got[i].workingFolder, expected[i].workingFolder);
      EXPECT_EQ(got[i].arguments, expected[i].arguments);
      EXPECT_EQ(got[i].iconFile, expected[i].iconFile);
      EXPECT_EQ(got[i].iconIndex, expected[i].iconIndex);
      EXPECT_EQ(got[i].showCommand, 1);
      EXPECT_EQ(got[i].description, "");
      EXPECT_EQ(got[i].hotkey, 0);
      EXPECT_EQ(Read(expected[i].linkFile), std::string(kShellLinkMarker) + expected[i].target + "\n");
    }
  }

  std::string programs_;
  std::string desktop_;
};

TEST_F(LinksTest, IconMarkerStandsForTheTarget) {
  struct Case {
    const char* iconFile;
    int32_t iconIndex;
    const char* shownFile;
    int32_t shownIndex;
  };
  const Case cases[] = {
      {"|", 0, "C:\\V\\v.exe", 0},
      {"|", -1, "C:\\V\\v.exe", 0},
      {"|", 3, "C:\\V\\v.exe", 3},
      {"C:\\V\\v.ico", -1, "C:\\V\\v.ico", 0},
      {"C:\\V\\v.ico", 2, "C:\\V\\v.ico", 2},
      {"||", 0, "||", 0},  // only the single character is the marker
      {"", 0, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.iconFile) + "," + std::to_string(c.iconIndex));
    ResetShellLinkDouble();
    ShellLinkSpec link;
    link.target = "C:\\V\\v.exe";
    link.linkFile = desktop_ + "v.lnk";
    link.iconFile = c.iconFile;
    link.iconIndex = c.iconIndex;
    CreateShellLink(link);
    ASSERT_EQ(ShellLinkDoubleLinks().size(), 1u);
    EXPECT_EQ(ShellLinkDoubleLinks()[0].iconFile, c.shownFile);
    EXPECT_EQ(ShellLinkDoubleLinks()[0].iconIndex, c.shownIndex);
  }
}

TEST_F(LinksTest, DesktopLinkStartsTheProgram) {
  struct Case {
    const char* progLink;
    const char* linkName;
  };
  const Case cases[] = {
      {"Viewer Link", "Viewer Link.lnk"},
      {"", "Viewer.lnk"},  // ProgExe up to its first "."
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.progLink);
    ResetShellLinkDouble();
    ProgramLink program{kInstallDir, "Viewer.v2.exe", c.progLink, "-fast"};
    EXPECT_EQ(CreateDesktopLink(program), desktop_ + c.linkName);
    ExpectLinks({{"C:\\Program Files\\Viewer\\Viewer.v2.exe", desktop_ + c.linkName, kInstallDir, "-fast",
                  "C:\\Program Files\\Viewer\\Viewer.v2.exe", 0}});
  }
}

TEST_F(LinksTest, StartMenuFolderWithEveryLink) {
  Write("setup.ini",
        "[StartMenue]\r\n"
        "Help=doc\\help.chm\r\n"
        "URL=http://example.org/\r\n"
        "Exe=tools\\conv.x.exe\r\n"
        "Unistall=1\r\n");
  Write("german.lng",
        "[Install]\r\n"
        "Help=  Hilfe \r\n"
        "Homepage=\tHomepage im Netz  \r\n"
        "Uninstall= Entfernen\r\n");
  LoadLanguageTexts(Native("german.lng"), "Viewer", "2.1");
  ProgramLink program{kInstallDir, "Viewer.exe", "Viewer Link", "-fast"};
  StartMenuLinks made = CreateStartMenuLinks(Native("setup.ini"), "Viewer Group\\", program);

  const std::string menu = programs_ + "Viewer Group\\";
  EXPECT_EQ(made.programMenuFolder, menu);
  const std::string dir = kInstallDir;
  ExpectLinks({
      {dir + "Viewer.exe", menu + "Viewer Link.lnk", dir, "-fast", dir + "Viewer.exe", 0},
      {dir + "tools\\conv.x.exe", menu + "conv.lnk", dir + "tools\\", "", dir + "tools\\conv.x.exe", 0},
      {dir + "doc\\help.chm", menu + "Hilfe.lnk", dir, "", dir + "doc\\help.chm", 0},
      {"http://example.org/", menu + "Homepage im Netz.lnk", "", "", "C:\\WINDOWS\\system32\\url.dll", 0},
      {dir + "Uninstall.exe", menu + "Entfernen.lnk", dir, "", dir + "Uninstall.exe", 0},
  });
  for (int kind = 0; kind < kStartMenuLinkCount; ++kind) {
    EXPECT_TRUE(made.made[kind]) << kind;
    EXPECT_EQ(made.linkFiles[kind], ShellLinkDoubleLinks()[kind].linkFile) << kind;
  }
}

TEST_F(LinksTest, StartMenuLinksTheirConditionsLeaveOut) {
  struct Case {
    const char* what;
    const char* ini;
    const char* folderName;
    ProgramLink program;
    const char* menu;  // below the Programs folder
    const char* programName;
    const char* addExeName;
    std::vector<bool> made;
  };
  const Case cases[] = {
      {"nothing but the program; empty folder name and link name come from ProgExe",
       "[StartMenue]\r\nUnistall=0\r\n", "", {kInstallDir, "Viewer.v2.exe", "", ""}, "Viewer\\", "Viewer", "",
       {true, false, false, false, false}},
      {"no setup.ini, no ProgExe: no link, the folder still made", nullptr, "Group", {kInstallDir, "", "V", ""},
       "Group\\", "V", "", {false, false, false, false, false}},
      {"sub-folders created; an Exe with \"/\" and no extension",
       "[StartMenue]\r\nExe=bin/tool\r\nUnistall=-1\r\n", "A\\B\\C", {kInstallDir, "v.exe", "V", ""}, "A\\B\\C\\", "V",
       "tool", {true, true, false, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetShellLinkDouble();
    std::string ini = Native(std::string("setup-") + std::to_string(&c - cases) + ".ini");
    if (c.ini) Write(ini, c.ini);
    StartMenuLinks made = CreateStartMenuLinks(ini, c.folderName, c.program);
    const std::string menu = programs_ + c.menu;
    EXPECT_EQ(made.programMenuFolder, menu);
    EXPECT_TRUE(FolderExists(menu));
    // Every path by its rule, made or not: what the uninstall record lists.
    const std::string expectedFiles[kStartMenuLinkCount] = {
        menu + c.programName + ".lnk", menu + c.addExeName + ".lnk", menu + "Help.lnk", menu + "Homepage.lnk",
        menu + "Uninstall.lnk"};
    size_t madeCount = 0;
    for (int kind = 0; kind < kStartMenuLinkCount; ++kind) {
      SCOPED_TRACE(kind);
      EXPECT_EQ(made.linkFiles[kind], expectedFiles[kind]);
      EXPECT_EQ(made.made[kind], c.made[kind]);
      EXPECT_EQ(Exists(made.linkFiles[kind]), c.made[kind]);
      madeCount += c.made[kind];
    }
    EXPECT_EQ(ShellLinkDoubleLinks().size(), madeCount);
  }
  // The "/" sub-folder gives the working folder inside it.
  const std::vector<ShellLinkSpec>& last = ShellLinkDoubleLinks();
  ASSERT_EQ(last.size(), 3u);
  EXPECT_EQ(last[1].target, std::string(kInstallDir) + "bin/tool");
  EXPECT_EQ(last[1].workingFolder, std::string(kInstallDir) + "bin/");
}

}  // namespace
