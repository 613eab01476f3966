// Shortcuts over the link double: the target-icon marker, the desktop link
// and the start-menu folder with its five links, their conditions, names
// and fields. Each case expects the literal links in the order made.
#include <gtest/gtest.h>

#include <string>

#include "actions/folders.h"
#include "actions/links.h"
#include "platform/shell_link_double.h"
#include "platform/system_double.h"
#include "test_env.h"
#include "ui/language.h"

namespace {

class LinksTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    SystemDoubleSetSpecialFolder(kFolderPrograms, Win("Programs"));
    SystemDoubleSetSpecialFolder(kFolderDesktop, Win("Desktop"));
    MakeFolder("Desktop");
    LoadDefaultTexts("Viewer", "2.1");
  }

  // The links so far, one line each: link file relative to the test
  // folder, target, working folder, arguments, icon file and index.
  // A link whose marker file is missing, or with another show command,
  // description or hotkey, says so.
  std::string Links() const {
    std::string out;
    for (const ShellLinkFields& l : ShellLinkDoubleLinks()) {
      out += l.linkFile.substr(dir_.size() + 1) + " > " + l.target + " | " + l.workingFolder + " | " + l.arguments +
             " | " + l.iconFile + "," + std::to_string(l.iconIndex);
      if (l.showCommand != 1 || !l.description.empty() || l.hotkey != 0) out += " (show, description, hotkey)";
      out += Read(l.linkFile) == kShellLinkMarker + l.target + "\n" ? "\n" : " (not saved)\n";
    }
    return out;
  }
};

TEST_F(LinksTest, IconMarkerStandsForTheTarget) {
  const struct {
    const char* iconFile;
    int32_t iconIndex;
    const char* link;
  } cases[] = {
      {"|", -1, "Desktop\\v.lnk > C:\\v.exe |  |  | C:\\v.exe,0\n"},
      {"|", 3, "Desktop\\v.lnk > C:\\v.exe |  |  | C:\\v.exe,3\n"},
      {"C:\\v.ico", -1, "Desktop\\v.lnk > C:\\v.exe |  |  | C:\\v.ico,0\n"},
      {"||", 2, "Desktop\\v.lnk > C:\\v.exe |  |  | ||,2\n"},  // only the one character
  };
  for (const auto& c : cases) {
    ResetShellLinkDouble();
    ShellLinkFields link;
    link.target = "C:\\v.exe";
    link.linkFile = Win("Desktop\\v.lnk");
    link.iconFile = c.iconFile;
    link.iconIndex = c.iconIndex;
    CreateShellLink(link);
    EXPECT_EQ(Links(), c.link);
  }
}

// The link object holds paths only, so an address becomes the URL handler
// of the system folder with the address as its argument; paths, drive
// letters included, stay as they are.
TEST_F(LinksTest, AddressLinksStartTheUrlHandler) {
  SystemDoubleSetSystemDirectory("D:\\OS\\sys\\");
  const struct {
    const char* target;
    const char* link;
  } cases[] = {
      {"http://example.org/a?b=c", "D:\\OS\\sys\\RunDll32.exe | Url.dll,FileProtocolHandler http://example.org/a?b=c"},
      {"mailto:ann@example.com", "D:\\OS\\sys\\RunDll32.exe | Url.dll,FileProtocolHandler mailto:ann@example.com"},
      {"svn+ssh://host/repo", "D:\\OS\\sys\\RunDll32.exe | Url.dll,FileProtocolHandler svn+ssh://host/repo"},
      {"C:\\v.exe", "C:\\v.exe | -x"},
      {"C:/v.exe", "C:/v.exe | -x"},
      {"v.exe", "v.exe | -x"},
      {"\\\\host\\share\\v.exe", "\\\\host\\share\\v.exe | -x"},
      {"1http://x", "1http://x | -x"},
      {"my file:x", "my file:x | -x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    ResetShellLinkDouble();
    ShellLinkFields link;
    link.target = c.target;
    link.arguments = "-x";
    link.linkFile = Win("Desktop\\v.lnk");
    link.iconFile = kAddressIconFile;
    CreateShellLink(link);
    ASSERT_EQ(ShellLinkDoubleLinks().size(), 1u);
    const ShellLinkFields& made = ShellLinkDoubleLinks()[0];
    EXPECT_EQ(made.target + " | " + made.arguments, c.link);
    EXPECT_EQ(made.iconFile, kAddressIconFile);
    EXPECT_EQ(made.linkFile, Win("Desktop\\v.lnk"));
  }
}

TEST_F(LinksTest, DesktopLinkNamedAfterTheLinkOrTheProgram) {
  EXPECT_EQ(CreateDesktopLink({"C:\\V\\", "Viewer.v2.exe", "Viewer Link", "-fast"}), Win("Desktop\\Viewer Link.lnk"));
  EXPECT_EQ(CreateDesktopLink({"C:\\V\\", "Viewer.v2.exe", "", ""}), Win("Desktop\\Viewer.lnk"));
  EXPECT_EQ(Links(),
            "Desktop\\Viewer Link.lnk > C:\\V\\Viewer.v2.exe | C:\\V\\ | -fast | C:\\V\\Viewer.v2.exe,0\n"
            "Desktop\\Viewer.lnk > C:\\V\\Viewer.v2.exe | C:\\V\\ |  | C:\\V\\Viewer.v2.exe,0\n");
}

TEST_F(LinksTest, StartMenuLinksByTheirConditions) {
  const std::string all = "Help=doc\\help.chm\nURL=http://example.org/\nExe=tools\\conv.x.exe\nUnistall=1\n";
  const struct {
    std::string startMenue;  // the group's keys in setup.ini
    const char* folderName;
    ProgramLink program;
    const char* menu;
    const char* links;
    const char* addExe;  // the additional link's path, made or not
  } cases[] = {
      {all, "Viewer Group\\", {"C:\\V\\", "Viewer.exe", "Viewer Link", "-fast"}, "Viewer Group\\",
       "Programs\\Viewer Group\\Viewer Link.lnk > C:\\V\\Viewer.exe | C:\\V\\ | -fast | C:\\V\\Viewer.exe,0\n"
       "Programs\\Viewer Group\\conv.lnk > C:\\V\\tools\\conv.x.exe | C:\\V\\tools\\ |  | C:\\V\\tools\\conv.x.exe,0\n"
       "Programs\\Viewer Group\\Hilfe.lnk > C:\\V\\doc\\help.chm | C:\\V\\ |  | C:\\V\\doc\\help.chm,0\n"
       "Programs\\Viewer Group\\Im Netz.lnk > C:\\WINDOWS\\system32\\RunDll32.exe |  | "
       "Url.dll,FileProtocolHandler http://example.org/ | C:\\WINDOWS\\system32\\url.dll,0\n"
       "Programs\\Viewer Group\\Entfernen.lnk > C:\\V\\Uninstall.exe | C:\\V\\ |  | C:\\V\\Uninstall.exe,0\n",
       "conv.lnk"},
      // An empty folder name and link name come from ProgExe; Unistall 0 and
      // empty keys make no link.
      {"Unistall=0\nHelp=\n", "", {"C:\\V\\", "Viewer.v2.exe", "", ""}, "Viewer\\",
       "Programs\\Viewer\\Viewer.lnk > C:\\V\\Viewer.v2.exe | C:\\V\\ |  | C:\\V\\Viewer.v2.exe,0\n", ".lnk"},
      // Sub-folders are made; "/" separates too; no ProgExe: no program link.
      {"Exe=bin/tool\nUnistall=-1\n", "A\\B\\C", {"C:\\V\\", "", "V", ""}, "A\\B\\C\\",
       "Programs\\A\\B\\C\\tool.lnk > C:\\V\\bin/tool | C:\\V\\bin/ |  | C:\\V\\bin/tool,0\n"
       "Programs\\A\\B\\C\\Entfernen.lnk > C:\\V\\Uninstall.exe | C:\\V\\ |  | C:\\V\\Uninstall.exe,0\n",
       "tool.lnk"},
  };
  Write("german.lng", "[Install]\nHelp=  Hilfe \nHomepage=\tIm Netz  \nUninstall= Entfernen\n");
  LoadLanguageTexts(Native("german.lng"), "Viewer", "2.1");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.menu);
    ResetShellLinkDouble();
    Write("setup.ini", "[StartMenue]\n" + c.startMenue);
    StartMenuLinks made = CreateStartMenuLinks(Native("setup.ini"), c.folderName, c.program);
    const std::string menu = Win("Programs\\") + c.menu;
    EXPECT_EQ(made.programMenuFolder, menu);
    EXPECT_EQ(Links(), c.links);
    // Every path by its rule, for the uninstall record, made or not.
    EXPECT_EQ(made.linkFiles[kProgramMenuLink], menu + ProgramLinkName(c.program) + ".lnk");
    EXPECT_EQ(made.linkFiles[kAdditionalLink], menu + c.addExe);
    EXPECT_EQ(made.linkFiles[kUninstallLink], menu + "Entfernen.lnk");
    int count = 0;
    for (bool m : made.made) count += m;
    EXPECT_EQ(count, static_cast<int>(ShellLinkDoubleLinks().size()));
  }
}

}  // namespace
