// The setup folder's checks through the zandor commands: each author
// mistake gives its finding with the right file, line and exit code, a
// correct folder gives none, zandor init's folder and the demo build
// without a warning, and the command-line habits (--help after a command,
// --level=best, errors before anything is written).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lib/setup_check.h"
#include "lib/zandor_commands.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

// A setup.ini without a fault; each case below changes one line of it.
const char kGoodIni[] =
    "[Settings]\n"                                    // 1
    "Language=english.lng#9|deutsch.lng#7|\n"         // 2
    "ProgExe=viewer.exe\n"                            // 3
    "DefaultDir=%ProgramFiles%Viewer\n"               // 4
    "NoCopyExt=ini|\n"                                // 5
    "Elevate=0\n"                                     // 6
    "[Info]\n"                                        // 7
    "Titel=Viewer\n"                                  // 8
    "Version=2.0\n"                                   // 9
    "GUID={0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40}\n"   // 10
    "Web=https://example.org\n"                       // 11
    "[StartMenue]\n"                                  // 12
    "DefaultDir=Viewer\n"                             // 13
    "Help=docs\\manual.txt\n"                         // 14
    "Unistall=1\n"                                    // 15
    "[Task]\n"                                        // 16
    "Desktop=1\n"                                     // 17
    "StartMenu=1\n"                                   // 18
    "ScriptFile=after.vbs\n"                          // 19
    "[UserTask]\n"                                    // 20
    "Number=3\n"                                      // 21
    "Task1=10|viewer.exe|rtf|Rich text|0||1\n"        // 22
    "Task2=0|Viewer Tools|tools\\tool.exe|0||\n"      // 23
    "Task3=6|2147483649|Software\\Viewer|Path|%InstallDir%\n";  // 24

class SetupCheckTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    d_ = dir_;
    Write(d_ / "setup" / "english.lng", "[Buttons]\r\nNext=Next\r\n");
    Write(d_ / "setup" / "deutsch.lng", "[Buttons]\r\nNext=Weiter\r\n");
    Write(d_ / "setup" / "licence.txt", "licence");
    Write(d_ / "setup" / "after.vbs", "' nothing\r\n");
    Write(d_ / "program" / "viewer.exe", "MZ");
    Write(d_ / "program" / "docs" / "manual.txt", "manual");
    Write(d_ / "program" / "tools" / "tool.exe", "MZ");
  }
  // The good setup.ini with line `line` replaced (0: as it is; an empty
  // text drops the line).
  void WriteIni(int line = 0, const std::string& text = "") {
    std::istringstream in(kGoodIni);
    std::string out, each;
    for (int number = 1; std::getline(in, each); number++) {
      if (number == line) {
        if (!text.empty()) out += text + "\r\n";
      } else {
        out += each + "\r\n";
      }
    }
    Write(d_ / "setup" / "setup.ini", out);
  }
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    ZandorContext context;
    context.selfPath = (d_ / "bin" / "zandor").string();
    context.out = &out_;
    context.err = &err_;
    return RunZandor(args, context);
  }
  int Check(bool strict = false) {
    std::vector<std::string> args = {"check", (d_ / "setup").string(), "--program", (d_ / "program").string()};
    if (strict) args.push_back("--strict");
    return Run(args);
  }
  fs::path d_;
  std::ostringstream out_, err_;
};

TEST_F(SetupCheckTest, AuthorMistakesAreNamedWithTheirLine) {
  WriteIni();
  ASSERT_EQ(Check(true), kZandorOk) << err_.str();
  EXPECT_EQ(err_.str(), "");
  struct Case {
    int line;          // of kGoodIni to replace
    const char* text;  // what the author wrote instead
    int exitCode;
    const char* finding;  // part of the one expected finding
  } cases[] = {
      {8, "Title=Viewer", 1, "setup.ini:8: error: unknown key \"Title\" in [Info], it is not read; did you mean Titel?"},
      {12, "[StartMenu]", 1, "setup.ini:12: error: unknown group [StartMenu], its keys are not read; did you mean [StartMenue]?"},
      {15, "Uninstall=1", 1, "setup.ini:15: error: unknown key \"Uninstall\" in [StartMenue], it is not read; did you mean Unistall?"},
      {17, "Extension=rtf", 0, "setup.ini:17: warning: unknown key \"Extension\" in [Task], it is not read; extra tasks"},
      {17, "MutexString=Runs", 0, "!"},  // a key of [Task] in its place: no finding
      {9, "MutexString=Runs", 1, "setup.ini:9: error: unknown key \"MutexString\" in [Info], it is not read; MutexString belongs in [Task]"},
      {3, "ProgExe=view.exe", 1, "setup.ini:3: error: ProgExe \"view.exe\" is not among the program files"},
      {14, "Help=docs\\manual.htm", 1, "setup.ini:14: error: Help \"docs\\manual.htm\" is not among the program files"},
      {2, "Language=english.lng#9|french.lng#12|", 1, "setup.ini:2: error: language file \"french.lng\" is not in the setup folder"},
      {2, "Language=english.lng#9|deutsch.lng#7", 1, "setup.ini:2: error: Language \"english.lng#9|deutsch.lng#7\": every entry ends with \"|\""},
      {2, "Language=english.lng|deutsch.lng|", 1, "setup.ini:2: error: Language entry \"english.lng\" needs its language number"},
      {10, "GUID=0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40", 1, "setup.ini:10: error: GUID \"0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40\" is not of the form"},
      {10, "GUID={0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D4}", 1, "setup.ini:10: error: GUID"},
      {17, "Desktop=yes", 1, "setup.ini:17: error: Desktop=yes is not a decimal number (reads as 0)"},
      {18, "StartMenu=256", 0, "setup.ini:18: warning: StartMenu=256: write 1 for on, 0 for off (this one reads as off)"},
      {6, "Elevate=3", 1, "setup.ini:6: error: Elevate=3 is none of 0"},
      {4, "", 1, "setup.ini:1: error: no DefaultDir in [Settings]: the program would install into the Program Files folder itself"},
      {4, "DefaultDir=%ProgramFiles%", 1, "setup.ini:4: error: DefaultDir \"%ProgramFiles%\" is the %ProgramFiles% folder itself"},
      {4, "DefaultDir=C:\\", 1, "setup.ini:4: error: DefaultDir \"C:\\\" is the root of a drive"},
      {4, "DefaultDir=%ProgramFile%Viewer", 1, "did you mean %ProgramFiles%?"},
      {4, "DefaultDir=%ProgramFiles%\\Viewer", 0, "setup.ini:4: warning: DefaultDir \"%ProgramFiles%\\Viewer\": folder variables end in"},
      {5, "NoCopyExt=.ini|", 1, "setup.ini:5: error: NoCopyExt item \".ini\": write the extension alone"},
      {19, "ScriptFile=after.bat", 1, "setup.ini:19: error: ScriptFile \"after.bat\" is not in the setup folder"},
      {22, "Task1=10,viewer.exe,rtf,Rich text", 1, "setup.ini:22: error: Task1 \"10,viewer.exe,rtf,Rich text\": fields are separated by \"|\", not commas"},
      {22, "Task1=10|viewer.exe|.rtf|Rich text|0||1", 1, "setup.ini:22: error: Task1 \"10|viewer.exe|.rtf|Rich text|0||1\": the extension \".rtf\" must be letters"},
      {22, "Task1=10|viewer.exe||Rich text|0||1", 1, "field 3 of a file association must not be empty"},
      {22, "Task1=11|viewer.exe|rtf", 1, "setup.ini:22: error: Task1 \"11|viewer.exe|rtf\": type 11 is no task type"},
      {22, "Task1=assoc|viewer.exe|rtf", 1, "the type \"assoc\" is not a number"},
      {22, "Task1=10|viewer.exe|rtf|Rich text|0||1|extra", 1, "a file association (type 10) has at most 7 fields, this line has 8"},
      {22, "Task1=10|view.exe|rtf|Rich text|0||1", 1, "setup.ini:22: error: Task1 program \"view.exe\" is not among the program files"},
      {23, "Task2=0|Viewer Tools|tools\\tools.exe|0||", 1, "setup.ini:23: error: Task2 target \"tools\\tools.exe\" is not among"},
      {23, "Task2=0|Viewer Tools|%InstallDir%tools\\tool.exe|0||", 1, "%InstallDir% is not replaced here"},
      {23, "Task2=0|Notepad|%Windows%notepad.exe|0||", 0, "!"},  // outside the program folder: not looked for
      {23, "Task2=0|Notes|C:\\Windows\\notepad.exe|0||", 1, "is a full path, but it is taken under the installation folder"},
      {24, "Task3=6|HKCU|Software\\Viewer|Path|x", 1, "setup.ini:24: error: Task3 \"6|HKCU|Software\\Viewer|Path|x\": the root key \"HKCU\" is none of"},
      {24, "Task4=6|2147483649|Software\\Viewer|Path|x", 1, "setup.ini:24: error: Task4 is not run: Number is 3"},
      {21, "Number=three", 1, "setup.ini:21: error: Number=three is not a decimal number"},
      {21, "", 1, "setup.ini:21: error: [UserTask] has task lines but no Number, so none of them runs"},
      {11, "Titel=Again", 1, "setup.ini:11: error: Titel is given twice in [Info]; only the first one (line 8) is read"},
  };
  for (const Case& c : cases) {
    WriteIni(c.line, c.text);
    int code = Check();
    std::string found = err_.str();
    EXPECT_EQ(code, c.exitCode) << c.text << "\n" << found;
    if (std::string(c.finding) == "!") {
      EXPECT_EQ(found, "") << c.text;
      continue;
    }
    EXPECT_NE(found.find(c.finding), std::string::npos) << c.text << "\n" << found;
    if (c.exitCode == 0) {
      EXPECT_EQ(Check(true), kZandorFailed) << "--strict: " << c.text;
    }
  }
}

TEST_F(SetupCheckTest, FilesUnderNearNamesAndPicturesOfTheWrongKind) {
  WriteIni();
  fs::rename(d_ / "setup" / "licence.txt", d_ / "setup" / "license.txt");
  Write(d_ / "setup" / "README.md", "read me");
  Write(d_ / "setup" / "splash.bmp", "not a picture");
  std::vector<uint8_t> icon = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 22, 0, 0, 0};
  WriteBytes(d_ / "setup" / "header.ico", icon);
  EXPECT_EQ(Check(), kZandorFailed);
  std::string found = err_.str();
  for (const char* finding : {"license.txt: error: the licence page shows only licence.rtf or licence.txt",
                              "README.md: warning: the information page shows only readme.rtf or readme.txt",
                              "splash.bmp: error: is not a BMP picture",
                              "header.ico: warning: holds no 32x32 image"}) {
    EXPECT_NE(found.find(finding), std::string::npos) << finding << "\n" << found;
  }
  // A 130x300 bitmap and a 32x32 icon pass.
  std::vector<uint8_t> bmp(54, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[18] = 130, bmp[22] = 300 & 0xFF, bmp[23] = 300 >> 8;
  WriteBytes(d_ / "setup" / "splash.bmp", bmp);
  icon[6] = icon[7] = 32;
  WriteBytes(d_ / "setup" / "header.ico", icon);
  fs::rename(d_ / "setup" / "license.txt", d_ / "setup" / "licence.txt");
  fs::rename(d_ / "setup" / "README.md", d_ / "setup" / "readme.txt");
  EXPECT_EQ(Check(true), kZandorOk) << err_.str();
  // Windows finds setup.ini and the files it names in any letter case.
  fs::rename(d_ / "setup" / "setup.ini", d_ / "setup" / "Setup.INI");
  fs::rename(d_ / "setup" / "english.lng", d_ / "setup" / "English.LNG");
  EXPECT_EQ(Check(true), kZandorOk) << err_.str();
}

// build stops at the first finding, before the stub is read or a file
// written; init's folder builds without a warning.
TEST_F(SetupCheckTest, BuildChecksFirstAndInitBuildsAsItStands) {
  WriteIni(8, "Title=Viewer");
  std::string out = (d_ / "Install.exe").string();
  EXPECT_EQ(Run({"build", (d_ / "setup").string(), "--program", (d_ / "program").string(), "-o", out}),
            kZandorFailed);
  EXPECT_EQ(err_.str().find("setup.ini:8: error:"), 0u) << err_.str();
  EXPECT_EQ(err_.str().find("stub"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(out));
  // No setup.ini comes before anything about the stub.
  EXPECT_EQ(Run({"build", (d_ / "program").string(), "-o", out}), kZandorFailed);
  EXPECT_EQ(err_.str().find("zandor: " + (d_ / "program").string() + " has no setup.ini"), 0u) << err_.str();

  ASSERT_EQ(Run({"init", (d_ / "new").string(), "--program", (d_ / "program").string()}), kZandorOk)
      << err_.str();
  EXPECT_NE(out_.str().find("zandor build"), std::string::npos);
  ASSERT_EQ(Run({"check", (d_ / "new").string(), "--program", (d_ / "program").string(), "--strict"}),
            kZandorOk)
      << err_.str();
  EXPECT_EQ(err_.str(), "");
  // init never writes over a folder's files.
  EXPECT_EQ(Run({"init", (d_ / "new").string()}), kZandorFailed);
  EXPECT_NE(err_.str().find("is there already"), std::string::npos) << err_.str();

  // Command-line habits.
  EXPECT_EQ(Run({"build", "--help"}), kZandorOk);
  EXPECT_NE(out_.str().find("zandor build SETUPDIR"), std::string::npos);
  EXPECT_EQ(Run({"check", "-h"}), kZandorOk);
  Write(d_ / "p" / "a.txt", "a");
  EXPECT_EQ(Run({"pack", (d_ / "p").string(), "--level=best", "--output=" + (d_ / "p.pck").string()}), kZandorOk)
      << err_.str();
  EXPECT_EQ(Run({"pack", (d_ / "p").string(), "--level=max", "-o", (d_ / "q.pck").string()}), kZandorUsage);
  EXPECT_EQ(Run({"--version"}), kZandorOk);
  EXPECT_EQ(out_.str().rfind("zandor ", 0), 0u);
  EXPECT_EQ(Run({"pack", (d_ / "p").string(), "-o", (d_ / "r.pck").string(), "--strict"}), kZandorUsage);
}

// The example as scripts/demo.sh lays it out (the program built into it)
// checks without a finding.
TEST_F(SetupCheckTest, TheDemoChecksClean) {
  fs::path demo = fs::path(ZANDOR_SOURCE_DIR) / "examples" / "demo";
  fs::copy(demo / "program", d_ / "demo", fs::copy_options::recursive);
  Write(d_ / "demo" / "demo.exe", "MZ");
  Write(d_ / "demo" / "tools" / "Demo Info.exe", "MZ");
  ASSERT_EQ(Run({"check", (demo / "setup").string(), "--program", (d_ / "demo").string(), "--strict"}), kZandorOk)
      << err_.str();
  EXPECT_EQ(err_.str(), "");
}

TEST(SetupCheckNames, NearestName) {
  EXPECT_EQ(NearestName("Title", {"Titel", "Version"}), "Titel");
  EXPECT_EQ(NearestName("uninstall", {"Unistall", "Help"}), "Unistall");
  EXPECT_EQ(NearestName("Colour", {"Titel", "Version"}), "");
  EXPECT_EQ(NearestName("Exe", {"URL", "Help"}), "");
}

}  // namespace
