// The audit log and the exit codes of "/L" and "/E": the switches, the
// code each way a run can end gives, the log sink (no-op when closed, a log
// that cannot be made or written changes nothing, the system's error code
// kept), and the file lines of an extraction with a file left alone, a
// damaged block and a file that cannot be created.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/exit_code.h"
#include "app/setup_main.h"
#include "platform/message_box_double.h"
#include "platform/system_double.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "ui/dialogs.h"
#include "stream_builder.h"
#include "package_file.h"
#include "test_env.h"

namespace {

struct SwitchCase {
  const char* line;
  const char* logPath;
  bool honest;
};

const SwitchCase kSwitchCases[] = {
    {"Install.exe /Q", "", false},
    {"Install.exe /L:C:\\logs\\setup.log", "C:\\logs\\setup.log", false},
    {"Install.exe /l=setup.log /e", "setup.log", true},
    {"Install.exe \"/L:C:\\My Logs\\a.log\" /Q", "C:\\My Logs\\a.log", false},
    {"Install.exe /L", "", false},
    {"Install.exe /L:first /L:second", "second", false},
    {"Install.exe /E", "", true},
    {"Install.exe /Exit:whatever", "", true},
    // The program path is not a switch, and an empty argument ends the line.
    {"/E", "", false},
    {"Install.exe \"\" /E /L:x", "", false},
};

TEST(AuditSwitchTest, LogPathAndExitCodeSwitches) {
  for (const SwitchCase& c : kSwitchCases) {
    RunOptions options;
    ReadCommandLine(c.line, &options);
    EXPECT_EQ(options.auditLogPath, c.logPath) << c.line;
    EXPECT_EQ(options.honestExitCode, c.honest) << c.line;
  }
}

struct ExitCase {
  const char* what;
  RunOutcome outcome;
  int code;
};

RunOutcome Outcome(bool startFailed, bool runningCancelled, bool hookStopped, bool wizardCancelled,
                   bool installDirFailed, bool stepFailed) {
  RunOutcome o;
  o.startFailed = startFailed;
  o.runningCancelled = runningCancelled;
  o.hookStopped = hookStopped;
  o.wizardCancelled = wizardCancelled;
  o.installDirFailed = installDirFailed;
  o.stepFailed = stepFailed;
  return o;
}

const ExitCase kExitCases[] = {
    {"installed", Outcome(false, false, false, false, false, false), 0},
    {"running warning cancelled", Outcome(false, true, false, false, false, false), 1},
    {"wizard cancelled", Outcome(false, false, false, true, false, false), 1},
    {"before-hook stopped", Outcome(false, false, true, false, false, false), 2},
    {"a file failed", Outcome(false, false, false, false, false, true), 3},
    {"installation folder failed", Outcome(false, false, false, false, true, false), 4},
    {"work folder or package failed", Outcome(true, false, false, false, false, false), 4},
    // What came first wins: a failed start over everything, the stops
    // before the install over what the install did.
    {"start failed, then cancelled", Outcome(true, false, false, true, false, false), 4},
    {"start failed, files failed", Outcome(true, false, false, false, false, true), 4},
    {"folder failed, so files failed", Outcome(false, false, false, false, true, true), 4},
    {"cancelled on the warning", Outcome(false, true, true, true, false, false), 1},
    {"hook stopped a wizard", Outcome(false, false, true, true, false, false), 2},
};

TEST(ExitCodeTest, HonestCodesAndZeroWithoutTheSwitch) {
  for (const ExitCase& c : kExitCases) {
    EXPECT_EQ(RunExitCode(c.outcome, true), c.code) << c.what;
    EXPECT_EQ(RunExitCode(c.outcome, false), 0) << c.what;
  }
}

class AuditLogTest : public TempFolderTest {
 protected:
  std::vector<std::string> Lines(const std::string& name) const {
    std::vector<std::string> lines;
    const std::string text = Read(name);
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "a line without its CR LF";
    return lines;
  }
};

TEST_F(AuditLogTest, LinesGoOutAtOnceAndClosedLogIsSilent) {
  AuditLine("before any log");
  AuditStep("file", "written", true, "x");
  EXPECT_FALSE(AuditLogOpen());
  Write("audit.log", "an older run\r\n");
  ASSERT_TRUE(OpenAuditLog(Win("audit.log")));
  AuditLine("start  one");
  // Every line is in the file before the log is closed.
  EXPECT_EQ(Read("audit.log"), "start  one\r\n");
  OsSetLastError(5);
  AuditStep("link", "made", false, "C:\\a.lnk");
  EXPECT_EQ(OsLastError(), 5u) << "a report keeps the system's error code";
  AuditStep("link", "made", true, "C:\\b.lnk");
  AuditStep("hook", "", false, "");
  // A refusal without a system error gives its reason, never "error 0".
  OsSetLastError(0);
  AuditStep("hook", "", false, "AfterZD.exe", "cannot be started");
  AuditStep("script", "", false, "a.vbs");
  CloseAuditLog();
  AuditLine("after the log");
  EXPECT_EQ(Lines("audit.log"),
            (std::vector<std::string>{"start  one", "link  failed  error 5  C:\\a.lnk", "link  made  C:\\b.lnk",
                                      "hook  failed  error 5", "hook  failed  cannot be started  AfterZD.exe",
                                      "script  failed  refused, no system error  a.vbs"}));
}

TEST_F(AuditLogTest, LogThatCannotBeMadeChangesNothing) {
  Write("blocker", "a file where a folder should be");
  EXPECT_FALSE(OpenAuditLog(Win("blocker\\audit.log")));
  EXPECT_FALSE(OpenAuditLog(""));
  AuditLine("nowhere");
  EXPECT_FALSE(AuditLogOpen());
  EXPECT_EQ(Read("blocker"), "a file where a folder should be");
}

TEST_F(AuditLogTest, ExtractionNamesEveryFileAndWhy) {
  const std::string dest = Win("dest\\");
  Write("dest/keep.ini", "the user's");
  Write("dest/blocked", "a file where a folder should be");
  TestEntry damaged = RawFile("damaged.txt", "abc");
  damaged.block = {0x4A, 0x43, 0x08, 0x00, 0x00, 0x00, 0xC0, 0xCC, 0xC5,
                   0xC2, 0x56, 0x6C, 0xD8, 0x20, 0x00, 0x00, 0x0F, 0x30};  // checksum off by one bit
  damaged.size = 8;
  WriteBytes("pkg/test.pck", MakePackage({RawFile("a.txt", "a"), RawFile("blocked\\b.txt", "b"), damaged,
                                          RawFile("keep.ini", "packed"), RawFile("new.ini", "new")}));
  ASSERT_TRUE(OpenAuditLog(Win("audit.log")));
  ASSERT_TRUE(OpenPackage(Native("pkg/test.pck"), nullptr));
  EXPECT_FALSE(ExtractPackage(dest, "ini|"));
  ClosePackage();
  CloseAuditLog();
  const std::vector<std::string> lines = Lines("audit.log");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "file  written  " + dest + "a.txt");
  // The system's code of the refused create comes before the path.
  EXPECT_EQ(lines[1].rfind("file  failed  file cannot be created  error ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[1].find("  error 0  "), std::string::npos) << lines[1];
  const std::string blocked = "  " + dest + "blocked\\b.txt";
  EXPECT_EQ(lines[1].compare(lines[1].size() - blocked.size(), blocked.size(), blocked), 0) << lines[1];
  EXPECT_EQ(lines[2], "file  failed  damaged data block  " + dest + "damaged.txt");
  EXPECT_EQ(lines[3], "file  skipped  NoCopyExt  " + dest + "keep.ini");
  EXPECT_EQ(lines[4], "file  written  " + dest + "new.ini");
  EXPECT_EQ(Read("dest/keep.ini"), "the user's");
}

// ------------------------------------------------ whole runs, native --

struct RunCase {
  const char* what;
  const char* switches;  // after the program path and "/P:<dir>/inst"
  const char* taskLines;  // [Task] lines of setup.ini
  bool blockInstallDir;   // a file stands where the installation folder goes
  bool blockProgramFile;  // a file stands where a program file's folder goes
  bool cancelWarning;     // the running warning comes and is answered Cancel
  int exitCode;
  const char* lastLogLine;
};

const RunCase kRunCases[] = {
    {"quiet install", "/Q /E", "", false, false, false, 0, "end  exit code 0"},
    {"wizard that ends without its install", "/E", "", false, false, false, 1, "end  exit code 1"},
    {"running warning answered Cancel", "/Q /E", "MutexString=HeldMutex", false, false, true, 1,
     "end  exit code 1"},
    {"running warning, without /E", "/Q", "MutexString=HeldMutex", false, false, true, 0, "end  exit code 0"},
    {"a program file that cannot be written", "/Q /E", "", false, true, false, 3, "end  exit code 3"},
    {"the same without /E", "/Q", "", false, true, false, 0, "end  exit code 0"},
    {"installation folder that cannot be made", "/Q /E", "", true, false, false, 4, "end  exit code 4"},
};

class AuditRunTest : public AuditLogTest {
 protected:
  void TearDown() override {
    unsetenv("InstallDir");
    unsetenv("SetupExeDir");
    AuditLogTest::TearDown();
  }
};

TEST_F(AuditRunTest, ExitCodesAndTheLogOfWholeRuns) {
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.what);
    ResetEverything();
    std::filesystem::remove_all(dir_);
    MakeFolder("");
    SystemDoubleSetTempPath(dir_);
    WritePackageFile(Native("inner.pck"), {{"Prog.exe", "program"}, {"sub\\data.txt", "data"}}, {});
    WritePackageFile(Native("Install.exe"),
                     {{"setup.ini", std::string("[Info]\r\nTitel=Audited\r\n[Settings]\r\nProgExe=Prog.exe\r\n"
                                                "[Task]\r\n") + c.taskLines + "\r\n"},
                      {"setup.pck", Read("inner.pck")}},
                     {'M', 'Z'});
    if (c.blockInstallDir) Write("inst", "a file");
    if (c.blockProgramFile) Write("inst/sub", "a file");
    if (c.cancelWarning) SystemDoubleHoldMutex("HeldMutex");
    if (c.cancelWarning) MessageBoxDoubleQueueAnswer(kAnswerCancel);
    SystemDoubleSetModuleFileName(Native("Install.exe"));
    SystemDoubleSetCommandLine("Install.exe /P:" + Native("inst") + " " + c.switches + " /L:" + Native("run.log"));
    EXPECT_EQ(SetupMain(), c.exitCode);
    const std::vector<std::string> lines = Lines("run.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.lastLogLine);
  }
}

TEST_F(AuditRunTest, QuietInstallLogsItsStepsInOrder) {
  SystemDoubleSetTempPath(dir_);
  WritePackageFile(Native("inner.pck"), {{"Prog.exe", "program"}}, {});
  WritePackageFile(Native("Install.exe"),
                   {{"setup.ini", "[Info]\r\nTitel=Audited\r\nVersion=2\r\n[Settings]\r\nProgExe=Prog.exe\r\n"},
                    {"setup.pck", Read("inner.pck")}},
                   {'M', 'Z'});
  SystemDoubleSetModuleFileName(Native("Install.exe"));
  SystemDoubleSetCommandLine("Install.exe /Q /P:" + Native("inst") + " /L:" + Native("run.log"));
  EXPECT_EQ(SetupMain(), 0);
  std::vector<std::string> steps;
  int registryValues = 0;
  for (const std::string& line : Lines("run.log")) {
    // The work folder's name is new each run; the uninstall entry's values
    // are counted here and read one by one under Wine.
    if (line.find(::Setup().paths.workFolder) != std::string::npos) continue;
    if (line.rfind("registry  written  HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Audited  ", 0) == 0) {
      ++registryValues;
      continue;
    }
    steps.push_back(line);
  }
  EXPECT_EQ(registryValues, 13);
  const std::string inst = Native("inst") + "\\";
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "start  command line  Install.exe /Q /P:" + Native("inst") + " /L:" + Native("run.log"),
                       "start  package  opened  " + Native("Install.exe"), "start  package  unpacked",
                       "start  setup.ini  Audited  2", "start  language  built-in", "install  folder  " + inst,
                       "install  folder made  " + inst, "install  program files  setup.pck",
                       "file  written  " + inst + "Prog.exe", "uninstall  entry  Audited", "uninstall  record  written  " + inst + "uninstall.dat",
                       "end  exit code 0"}));
}

}  // namespace
