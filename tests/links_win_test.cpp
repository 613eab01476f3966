// Shell links made for real through the shell's link object and read back
// by tests/programs/linkinfo.cpp, which the e2e tests of the install use
// too, through IShellLinkA.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "actions/links.h"
#include "runtime/filesys.h"
#include "test_env.h"

namespace {

class LinksWinTest : public TempFolderTest {
 protected:
  // The link's fields as linkinfo writes them; empty when it could not.
  std::string LinkInfo(const std::string& linkFile) {
    const std::string program = FolderPart(OsGetModuleFileName()) + "linkinfo.exe";
    std::string commandLine = "\"" + program + "\" \"" + linkFile + "\" \"" + Win("info.txt") + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      return "cannot start " + program;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0 ? Read("info.txt") : "linkinfo exit code " + std::to_string(code);
  }
};

TEST_F(LinksWinTest, LinksReadBackThroughTheShell) {
  Write("Prog Dir\\Viewer.exe", "MZ");
  const std::string target = Win("Prog Dir\\Viewer.exe");
  const struct {
    std::string iconFile;
    int32_t iconIndex;
    std::string arguments;
    std::string icon;  // as read back
  } cases[] = {
      {"|", -1, "-fast \"a b\"", target + "\r\niconindex=0"},
      // over the same link: Save overwrites it
      {Win("icons.dll"), 2, "", Win("icons.dll") + "\r\niconindex=2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.iconFile);
    ShellLinkFields link;
    link.target = target;
    link.linkFile = Win("Viewer Link.lnk");
    link.workingFolder = Win("Prog Dir\\");
    link.arguments = c.arguments;
    link.iconFile = c.iconFile;
    link.iconIndex = c.iconIndex;
    CreateShellLink(link);
    EXPECT_EQ(LinkInfo(link.linkFile), "target=" + target + "\r\narguments=" + c.arguments + "\r\nworkdir=" +
                                           Win("Prog Dir\\") + "\r\nicon=" + c.icon +
                                           "\r\nshow=1\r\ndescription=\r\nhotkey=0\r\n");
  }
  // A link in a missing folder is left out, and COM is put back for the next.
  ShellLinkFields missing;
  missing.target = target;
  missing.linkFile = Win("no such folder\\Viewer.lnk");
  CreateShellLink(missing);
  EXPECT_FALSE(Exists("no such folder"));
  missing.linkFile = Win("Viewer.lnk");
  CreateShellLink(missing);
  EXPECT_TRUE(Exists("Viewer.lnk"));
}

}  // namespace
