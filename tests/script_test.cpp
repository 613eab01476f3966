// The script runner and the running-program test over their doubles: the
// code text one table (constant lines of each language, line ends), the
// language by extension, what RunScript hands the control, the install's
// script step; then the process-name comparison one table and the walk over
// a process list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/running.h"
#include "actions/script.h"
#include "app/install.h"
#include "app/startup.h"
#include "platform/message_box_double.h"
#include "platform/process_list_double.h"
#include "platform/script.h"
#include "platform/script_double.h"
#include "platform/system_double.h"
#include "test_env.h"
#include "ui/dialogs.h"

namespace {

ScriptValues Values() {
  ScriptValues values;
  values.installDir = "C:\\Program Files\\Viewer\\";
  values.workFolder = "C:\\Temp\\{W}\\";
  values.programMenuFolder = "";
  values.guid = "{G\"1}";
  return values;
}

const char kVbsLines[] =
    "Const zdProgDir = \"C:\\Program Files\\Viewer\\\"\r\n"
    "Const zdSetupDir = \"C:\\Temp\\{W}\\\"\r\n"
    "Const zdStartMenuDir = \"\"\r\n"
    "Const zdGUID = \"{G\"\"1}\"\r\n";
const char kJsLines[] =
    "var zdProgDir  = \"C:\\\\Program Files\\\\Viewer\\\\\";\r\n"
    "var zdSetupDir = \"C:\\\\Temp\\\\{W}\\\\\";\r\n"
    "var zdStartMenuDir = \"\";\r\n"
    "var zdGUID = \"{G\\\"1}\";\r\n";

TEST(ScriptText, ConstantLinesAndLineEnds) {
  struct Case {
    ScriptLanguage language;
    std::string file;
    std::string code;
  } cases[] = {
      {kScriptVbs, "MsgBox 1", std::string(kVbsLines) + "MsgBox 1\r\n"},
      {kScriptJs, "x = 1;\n", std::string(kJsLines) + "x = 1;\r\n"},
      {kScriptNone, "MsgBox 1", "MsgBox 1\r\n"},
      {kScriptVbs, "", kVbsLines},
      // Every kind of line end becomes CR LF; a last line without one gets it.
      {kScriptNone, std::string("a\r\nb\rc\nd\0e", 11), "a\r\nb\r\nc\r\nd\r\ne\r\n"},
      {kScriptNone, "a\r\n", "a\r\n"},
      {kScriptNone, "\r\n\r\n", "\r\n\r\n"},
      {kScriptNone, "a\n\r b", "a\r\n\r\n b\r\n"},
      {kScriptNone, "a\r", "a\r\n"},
      {kScriptNone, std::string("x\0\0", 3), "x\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "language " << c.language << ", file '" << c.file << "'");
    EXPECT_EQ(ScriptCodeText(c.language, Values(), c.file), c.code);
  }
  // Values without a quote are written exactly between the quotes.
  ScriptValues plain = Values();
  plain.guid = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
  const std::string code = ScriptCodeText(kScriptVbs, plain, "");
  EXPECT_EQ(code.substr(code.find("Const zdGUID")), "Const zdGUID = \"" + plain.guid + "\"\r\n");
}

TEST(ScriptText, LanguageByExtensionInAnyCase) {
  const struct {
    const char* path;
    ScriptLanguage language;
  } cases[] = {
      {"C:\\work\\post.vbs", kScriptVbs}, {"C:\\work\\POST.VBS", kScriptVbs}, {"post.Js", kScriptJs},
      {"a.txt.vbs", kScriptVbs},          {"a.vbs.txt", kScriptNone},         {"C:\\dir.vbs\\post", kScriptNone},
      {"dir.js/post", kScriptNone},       {"post.", kScriptNone},             {"post.jse", kScriptNone},
      {"", kScriptNone},
  };
  for (const auto& c : cases) EXPECT_EQ(ScriptLanguageOf(c.path), c.language) << c.path;
}

class ScriptTest : public TempFolderTest {};

TEST_F(ScriptTest, RunScriptHandsTheControlLanguageTimeoutAndCode) {
  Write("post.vbs", "MsgBox 1\r\nMsgBox 2");
  Write("POST.JS", "x = 1;");
  Write("post.txt", "MsgBox 1");
  const struct {
    const char* file;
    bool control;
    const char* language;  // null: nothing runs
    std::string code;
  } cases[] = {
      {"post.vbs", true, "VBScript", std::string(kVbsLines) + "MsgBox 1\r\nMsgBox 2\r\n"},
      {"POST.JS", true, "JScript", std::string(kJsLines) + "x = 1;\r\n"},
      {"post.txt", true, nullptr, ""},
      {"missing.vbs", true, nullptr, ""},
      {"post.vbs", false, nullptr, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << (c.control ? "" : ", no control"));
    ResetScriptDouble();
    ScriptDoubleSetCreationFails(!c.control);
    EXPECT_EQ(OsCreateScriptControl(), c.control);
    RunScript(Win(c.file), Values());
    const std::vector<ScriptDoubleRun>& runs = ScriptDoubleRuns();
    ASSERT_EQ(runs.size(), c.language ? 1u : 0u);
    if (!c.language) continue;
    EXPECT_EQ(runs[0].language, c.language);
    EXPECT_EQ(runs[0].timeoutMs, 20000);
    EXPECT_EQ(runs[0].code, c.code);
  }
}

TEST_F(ScriptTest, InstallStepRunsTheNamedScriptWithTheFoldersUsed) {
  MakeFolder("work");
  Write("work/Post.VBS", "WScript");
  RunPaths paths;
  paths.workFolder = Win("work\\");
  paths.iniPath = paths.workFolder + "setup.ini";
  ProductInfo product;
  product.guid = "{G-1}";
  const struct {
    const char* scriptFile;
    size_t runs;
  } cases[] = {{"Post.VBS", 1}, {"", 0}, {"Absent.vbs", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scriptFile);
    ResetScriptDouble();
    OsCreateScriptControl();
    SetupConfig config;
    config.scriptFile = c.scriptFile;
    config.noUninstall = 1;
    InstallChoices choices;
    choices.installDir = Win("inst");
    InstallResult result;
    InstallContext context;
    context.paths = &paths;
    context.product = &product;
    context.config = &config;
    context.choices = &choices;
    context.result = &result;
    RunInstall(&context);
    ASSERT_EQ(ScriptDoubleRuns().size(), c.runs);
    if (c.runs == 0) continue;
    EXPECT_EQ(ScriptDoubleRuns()[0].code, "Const zdProgDir = \"" + Win("inst") + "\\\"\r\nConst zdSetupDir = \"" +
                                              Win("work\\") + "\"\r\nConst zdStartMenuDir = \"\"\r\n" +
                                              "Const zdGUID = \"{G-1}\"\r\nWScript\r\n");
  }
}

// ------------------------------------------------------ running program --

TEST(RunningProgram, NamesCompareUpperCasedByTheirFileNamePart) {
  EXPECT_EQ(UpperProgramName("az\xE0\xF7\xFF\xDF{~"), "AZ\xC0\xD7\xDF\xDF{~");
  const struct {
    const char* process;
    const char* program;
    bool match;
  } cases[] = {
      {"VIEWER.EXE", "viewer.exe", true},
      {"viewer.exe", "Viewer.EXE", true},
      {"C:\\Program Files\\Viewer\\Viewer.exe", "viewer.exe", true},
      {"/usr/bin/Viewer.exe", "VIEWER.exe", true},
      {"C:\\Program Files\\Viewer\\Viewer.exe", "Viewer\\Viewer.exe", false},  // only file names compare
      {"Viewer.exe", "Viewer", false},
      {"Viewer", "Viewer.exe", false},
      {"\xE9t\xE9.exe", "\xC9T\xC9.EXE", true},  // Latin-1 small letters rise to their capitals
      {"a\xF7.exe", "A\xD7.EXE", true},          // the rule moves all of 0xE0 to 0xFF
      {"\xC9t\xC9.exe", "\xE9T\xE9.EXE", true},  // and the query as well
      {"Viewer.exe", "", false},
      {"", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProcessNameMatches(c.process, UpperProgramName(c.program)), c.match)
        << c.process << " / " << c.program;
  }
}

TEST_F(ScriptTest, IsProgramRunningWalksTheWholeList) {
  ProcessListDoubleSet({"[System Process]", "C:\\Windows\\explorer.exe", "Viewer.exe", "services.exe",
                        "D:\\Tools\\VIEWER.EXE"});
  EXPECT_TRUE(IsProgramRunning("viewer.exe")) << "two processes of the name are one answer";
  EXPECT_TRUE(IsProgramRunning("SERVICES.exe")) << "after a match further up";
  EXPECT_TRUE(IsProgramRunning("Explorer.Exe"));
  EXPECT_FALSE(IsProgramRunning("Windows\\explorer.exe"));
  EXPECT_FALSE(IsProgramRunning("notepad.exe"));
  EXPECT_FALSE(IsProgramRunning(""));
  ProcessListDoubleSetFails(true);
  EXPECT_FALSE(IsProgramRunning("viewer.exe")) << "an unreadable list: nothing runs";
}

// Start-up's check: the process list only when no mutex is named.
TEST_F(ScriptTest, StartupCheckLooksAtTheNameOnlyWithoutAMutex) {
  const struct {
    const char* what;
    const char* mutex;
    bool held;
    const char* process;
    int answer;  // to the warning
    bool running, goOn;
  } cases[] = {
      {"name found, OK", "", false, "C:\\Apps\\VIEWER.EXE", kAnswerOk, true, true},
      {"name found, Cancel", " \t", false, "viewer.exe", kAnswerCancel, true, false},
      {"name not found", "", false, "other.exe", kAnswerOk, false, true},
      {"mutex named, not held: the name is not looked at", "ViewerMutex", false, "viewer.exe", kAnswerOk, false, true},
      {"mutex held", "ViewerMutex", true, "other.exe", kAnswerCancel, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetTestSystem();
    ProcessListDoubleSet({"explorer.exe", c.process});
    if (c.held) SystemDoubleHoldMutex("ViewerMutex");
    MessageBoxDoubleQueueAnswer(c.answer);
    LoadDefaultTexts("Viewer", "");
    ProductInfo product;
    product.title = "Viewer";
    product.progExe = "Viewer.exe";
    product.mutexName = c.mutex;
    bool running = false;
    EXPECT_EQ(WarnIfProgramRunning(product, std::string(), &running), c.goOn);
    EXPECT_EQ(running, c.running);
    EXPECT_EQ(MessageBoxDoubleBoxes().size(), c.running ? 1u : 0u);
  }
}

}  // namespace
