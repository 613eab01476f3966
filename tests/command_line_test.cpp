// The setup command line: switch letters in either case, separators, quoting,
// the stop at an empty argument and the 8-bit hook mode.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

struct CommandLineCase {
  const char* line;
  bool quiet;
  const char* installDir;
  const char* startMenu;
  int hookMode;
};

// Defaults for comparison: not quiet, no overrides, hook mode 1.
const CommandLineCase kCases[] = {
    // Nothing after the program path.
    {"", false, "", "", 1},
    {"Install.exe", false, "", "", 1},
    {"\"C:\\Program Files\\Setup\\Install.exe\"", false, "", "", 1},
    // The program path is never read as a switch, quoted or not.
    {"/Q", false, "", "", 1},
    {"\"C:\\x /Q\\Install.exe\" /S:Menu", false, "", "Menu", 1},
    // Quiet in either case and with any tail.
    {"Install.exe /Q", true, "", "", 1},
    {"Install.exe /q", true, "", "", 1},
    {"Install.exe /Quiet", true, "", "", 1},
    {"Install.exe /qx:whatever", true, "", "", 1},
    {"\"C:\\Program Files\\Install.exe\" /Q", true, "", "", 1},
    // Installation folder: the third character is a free separator.
    {"Install.exe /P:C:\\Tools", false, "C:\\Tools", "", 1},
    {"Install.exe /P=C:\\Tools", false, "C:\\Tools", "", 1},
    {"Install.exe /p-C:\\Tools", false, "C:\\Tools", "", 1},
    {"Install.exe /PXC:\\Tools", false, "C:\\Tools", "", 1},
    {"Install.exe /P", false, "", "", 1},
    {"Install.exe /P:", false, "", "", 1},
    {"Install.exe /P:C:\\A /P", false, "", "", 1},
    {"Install.exe /P:C:\\A /P:C:\\B", false, "C:\\B", "", 1},
    // Blanks need the whole argument quoted, switch included.
    {"Install.exe \"/P:C:\\Program Files\\Tool\"", false, "C:\\Program Files\\Tool", "", 1},
    {"Install.exe /P:C:\\Program Files\\Tool", false, "C:\\Program", "", 1},
    // A quote inside an argument does not group and stays in the value.
    {"Install.exe /P:\"C:\\My Tools\"", false, "\"C:\\My", "", 1},
    {"Install.exe /P:C:\\My\"Dir /Q", true, "C:\\My\"Dir", "", 1},
    // A quote that is never closed runs to the end of the line.
    {"Install.exe \"/P:C:\\Open End /Q", false, "C:\\Open End /Q", "", 1},
    // Start-menu folder.
    {"Install.exe /S:My Menu", false, "", "My", 1},
    {"Install.exe \"/s=My Menu\"", false, "", "My Menu", 1},
    {"Install.exe /S:One /S:Two", false, "", "Two", 1},
    // Several switches, in any order, with runs of blanks between them.
    {"Install.exe /R:2   /S:Menu  /Q /P:D:\\X", true, "D:\\X", "Menu", 2},
    // An empty quoted argument ends the reading.
    {"Install.exe \"\" /Q", false, "", "", 1},
    {"Install.exe /P:A \"\" /P:B /Q", false, "A", "", 1},
    {"Install.exe /P:A \"/P:B\" \"\" /S:C", false, "B", "", 1},
    // Unknown arguments are ignored.
    {"Install.exe -Q /X:1 / Q /T", false, "", "", 1},
    {"Install.exe readme.txt /Q", true, "", "", 1},
    // A switch letter followed by a bare word is no switch: "/SILENT" does not
    // name the start-menu folder "LENT", nor "/Rx" a hook mode.
    {"Install.exe /SILENT /S:Menu", false, "", "Menu", 1},
    {"Install.exe /PFOLDER /Rx /LOG", false, "", "", 1},
    // Hook mode: decimal, optional sign, kept in 8 bits.
    {"Install.exe /R:0", false, "", "", 0},
    {"Install.exe /R:1", false, "", "", 1},
    {"Install.exe /r:2", false, "", "", 2},
    {"Install.exe /R=3", false, "", "", 3},
    {"Install.exe /R:257", false, "", "", 1},
    {"Install.exe /R:256", false, "", "", 0},
    {"Install.exe /R:-3", false, "", "", -3},
    {"Install.exe /R:+3", false, "", "", 3},
    {"Install.exe /R:128", false, "", "", -128},
    {"Install.exe /R:12x", false, "", "", 12},
    {"Install.exe /R:x", false, "", "", 0},
    {"Install.exe /R", false, "", "", 0},
    {"Install.exe /R:", false, "", "", 0},
    {"Install.exe /R:3 /R:2", false, "", "", 2},
    // Leading blanks of the value are skipped; unquoted, the blank ends it.
    {"Install.exe \"/R: 12x\"", false, "", "", 12},
    {"Install.exe \"/R:\t-2\"", false, "", "", -2},
    {"Install.exe /R: 12x", false, "", "", 0},
    // The fourth character is the first of the value, whatever the third is.
    {"Install.exe /R32", false, "", "", 2},
};

TEST(CommandLineTest, TableOfLines) {
  for (const CommandLineCase& c : kCases) {
    SCOPED_TRACE(c.line);
    RunOptions options;
    ReadCommandLine(c.line, &options);
    EXPECT_EQ(options.quiet, c.quiet);
    EXPECT_EQ(options.installDirOverride, c.installDir);
    EXPECT_EQ(options.startMenuOverride, c.startMenu);
    EXPECT_EQ(static_cast<int>(options.hookMode), c.hookMode);
  }
}

TEST(CommandLineTest, KeepsWhatTheLineDoesNotMention) {
  // The caller sets the defaults; reading only changes what a switch names.
  RunOptions options;
  options.quiet = true;
  options.installDirOverride = "C:\\Before";
  options.startMenuOverride = "Before";
  options.hookMode = 3;
  ReadCommandLine("Install.exe /S:After", &options);
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.installDirOverride, "C:\\Before");
  EXPECT_EQ(options.startMenuOverride, "After");
  EXPECT_EQ(options.hookMode, 3);
}

TEST(CommandLineTest, LongValueIsTakenWhole) {
  std::string folder(1000, 'a');
  RunOptions options;
  ReadCommandLine("Install.exe \"/P:" + folder + "\"", &options);
  EXPECT_EQ(options.installDirOverride, folder);
}

}  // namespace

namespace {

// What is no switch of setup is kept for the audit log; "/?", "/H" and
// "/HELP" ask for the help box; the switches of the audit log and the
// elevated run are read too.
TEST(CommandLineTest, HelpIgnoredArgumentsAndTheOtherSwitches) {
  RunOptions options;
  ReadCommandLine("Install.exe /SILENT readme.txt /X:1 /E \"/L:C:\\a b.log\" /Z:C:\\h.ini", &options);
  EXPECT_EQ(options.ignored, (std::vector<std::string>{"/SILENT", "readme.txt", "/X:1"}));
  EXPECT_FALSE(options.help);
  EXPECT_TRUE(options.honestExitCode);
  EXPECT_EQ(options.auditLogPath, "C:\\a b.log");
  EXPECT_EQ(options.handoverPath, "C:\\h.ini");
  for (const char* line : {"Install.exe /?", "Install.exe /help", "Install.exe /H"}) {
    RunOptions asked;
    ReadCommandLine(line, &asked);
    EXPECT_TRUE(asked.help) << line;
    EXPECT_TRUE(asked.ignored.empty()) << line;
  }
  EXPECT_EQ(CommandLineArguments("\"C:\\x y\\Install.exe\"  /Q /P:a"), "/Q /P:a");
}

}  // namespace
