// The script control and the process list answered by Windows itself (run
// under Wine): the control takes the constant lines as the script runner
// writes them and refuses JScript's const, and the running test finds the
// service manager by its name but never the calling program itself.
#include <gtest/gtest.h>

#include "actions/running.h"
#include "actions/script.h"
#include "platform/script.h"

namespace {

TEST(ScriptWinTest, TheControlTakesTheConstantLinesOfBothLanguages) {
  ASSERT_TRUE(OsCreateScriptControl());
  ASSERT_TRUE(OsScriptControlPresent());
  ScriptValues values;
  values.installDir = "C:\\Program Files\\Viewer\\";
  values.workFolder = "C:\\Temp\\{W}\\";
  values.guid = "{A\"B\\}";
  const struct {
    const char* language;
    std::string code;
    bool taken;
  } cases[] = {
      {"VBScript", ScriptCodeText(kScriptVbs, values, "If zdGUID <> \"{A\"\"B\\}\" Then Err.Raise 5"), true},
      {"JScript", ScriptCodeText(kScriptJs, values, "if (zdProgDir.length != 24) throw 1;"), true},
      // The engine behind the control knows no const.
      {"JScript", "const zdProgDir = \"C:\\\\\";\r\n", false},
      // A closing "\" written as it stands swallows the quote.
      {"JScript", "var zdProgDir = \"C:\\\";\r\n", false},
      {"VBScript", "Const zdGUID = \"{A\"B}\"\r\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(OsRunScriptCode(c.language, 20000, c.code), c.taken) << c.code;
  OsReleaseScriptControl();
  EXPECT_FALSE(OsScriptControlPresent());
  EXPECT_FALSE(OsRunScriptCode("VBScript", 20000, "x = 1\r\n"));
}

TEST(ScriptWinTest, RunningTestFindsOtherProgramsButNotItself) {
  EXPECT_TRUE(IsProgramRunning("SERVICES.exe")) << "Wine's service manager runs beside every program";
  EXPECT_FALSE(IsProgramRunning("unit_tests.exe")) << "the calling program is not in the list";
  EXPECT_FALSE(IsProgramRunning("zandor-no-such-program.exe"));
}

}  // namespace
