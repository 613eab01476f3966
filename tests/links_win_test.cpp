// Shell links made for real through the shell's link object and read back
// by the linkinfo test program (tests/programs/linkinfo.cpp), which reads
// them through IShellLinkA as the e2e tests of the install do.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "actions/links.h"
#include "runtime/filesys.h"
#include "test_env.h"

namespace {

class LinksWinTest : public TempFolderTest {
 protected:
  // The fields of a link as linkinfo writes them; empty when it could not
  // read the link.
  std::string LinkInfo(const std::string& linkFile) {
    const std::string program = FolderPart(OsGetModuleFileName()) + "linkinfo.exe";
    const std::string out = Win("info.txt");
    DeleteFileA(out.c_str());
    std::string commandLine = "\"" + program + "\" \"" + linkFile + "\" \"" + out + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      ADD_FAILURE() << "cannot start " << program;
      return std::string();
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0 ? Read("info.txt") : std::string();
  }
};

TEST_F(LinksWinTest, LinkReadsBackThroughTheShell) {
  Write("Prog Dir\\Viewer.exe", "MZ");
  Write("Prog Dir\\icons.dll", "MZ");
  const std::string target = Win("Prog Dir\\Viewer.exe");
  struct Case {
    const char* what;
    std::string iconFile;
    int32_t iconIndex;
    std::string arguments;
    std::string shownIcon;
    int32_t shownIndex;
  };
  const Case cases[] = {
      {"the icon marker and -1 give the target's first icon", "|", -1, "-fast \"a b\"", target, 0},
      {"an icon file of its own, over the same link", Win("Prog Dir\\icons.dll"), 2, "", Win("Prog Dir\\icons.dll"), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShellLinkSpec link;
    link.target = target;
    link.linkFile = Win("Viewer Link.lnk");
    link.workingFolder = Win("Prog Dir\\");
    link.arguments = c.arguments;
    link.iconFile = c.iconFile;
    link.iconIndex = c.iconIndex;
    CreateShellLink(link);
    EXPECT_EQ(LinkInfo(link.linkFile), "target=" + target + "\r\n" +
                                           "arguments=" + c.arguments + "\r\n" +
                                           "workdir=" + Win("Prog Dir\\") + "\r\n" +
                                           "icon=" + c.shownIcon + "\r\n" +
                                           "iconindex=" + std::to_string(c.shownIndex) + "\r\n" +
                                           "show=1\r\n"
                                           "description=\r\n"
                                           "hotkey=0\r\n");
  }
}

TEST_F(LinksWinTest, LinkInAMissingFolderIsLeftOut) {
  ShellLinkSpec link;
  link.target = Win("Viewer.exe");
  link.linkFile = Win("no such folder\\Viewer.lnk");
  link.iconFile = kTargetIconMarker;
  CreateShellLink(link);
  EXPECT_FALSE(Exists("no such folder\\Viewer.lnk"));
  EXPECT_FALSE(Exists("no such folder"));
  // COM was put back: the next link is made as if nothing had failed.
  link.linkFile = Win("Viewer.lnk");
  CreateShellLink(link);
  EXPECT_TRUE(Exists("Viewer.lnk"));
}

}  // namespace
