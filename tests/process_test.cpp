// The process runner over the platform: command-line building, and small
// child programs (tests/programs/child.cpp) started, waited for, queried,
// killed and released.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "process_fixture.h"
#include "runtime/program_runner.h"

namespace fs = std::filesystem;

namespace {

TEST(BuildProgramCommandLineTest, QuotesThePathAndAddsParameters) {
  struct Case {
    const char* program;
    const char* parameters;
    const char* line;
  };
  const Case cases[] = {
      {"C:\\Tools\\tool.exe", "", "\"C:\\Tools\\tool.exe\""},
      {"C:\\Program Files\\tool.exe", "", "\"C:\\Program Files\\tool.exe\""},
      {"\"C:\\Program Files\\tool.exe\"", "", "\"C:\\Program Files\\tool.exe\""},
      {"\"C:\\Program Files\\tool.exe\" /x", "", "\"C:\\Program Files\\tool.exe\" /x"},
      {"regsvr32.exe", "/S C:\\a.dll", "\"regsvr32.exe\" /S C:\\a.dll"},
      {"RunDll32.exe", "Url.dll,FileProtocolHandler http://x/",
       "\"RunDll32.exe\" Url.dll,FileProtocolHandler http://x/"},
      {"tool.exe", " ", "\"tool.exe\"  "},
      {"\"tool.exe\"", "a b", "\"tool.exe\" a b"},
      {"", "", "\"\""},
      {"a\"b", "", "\"a\"b\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    EXPECT_EQ(BuildProgramCommandLine(c.program, c.parameters), c.line);
  }
}

TEST_F(ProcessTest, WaitAndOpenGiveTheExitCode) {
  for (int code : {0, 1, 2, 7, 255}) {
    SCOPED_TRACE(code);
    Program program = RunProgram(Script("exit.exe", "exit " + std::to_string(code)), "", "", kRunWait | kRunOpen);
    ASSERT_NE(program, 0u);
    EXPECT_TRUE(IsProgram(program));
    EXPECT_FALSE(ProgramRunning(program));
    EXPECT_EQ(ProgramExitCode(program), static_cast<uint32_t>(code));
    EXPECT_EQ(ProgramExitCode(program), static_cast<uint32_t>(code));  // asked twice
    CloseProgram(program);
    EXPECT_FALSE(IsProgram(program));
  }
}

TEST_F(ProcessTest, WaitWithoutOpenReturnsAfterTheEnd) {
  std::string script = Script("late.exe", "sleep 200\nwrite late.txt done");
  Program result = RunProgram(script, "", "", kRunWait);
  EXPECT_NE(result, 0u);
  EXPECT_FALSE(IsProgram(result));  // not tracked without Open
  EXPECT_EQ(Read("late.txt"), "done\n");
}

TEST_F(ProcessTest, OpenWithoutWaitRunsBeside) {
  std::string script = Script("gate.exe", "wait go\nexit 3");
  Program program = RunProgram(script, "", "", kRunOpen);
  ASSERT_NE(program, 0u);
  EXPECT_TRUE(IsProgram(program));
  EXPECT_TRUE(ProgramRunning(program));
  EXPECT_EQ(ProgramExitCode(program), kStillActive);
  Write("go", "");
  EXPECT_TRUE(Eventually([&] { return !ProgramRunning(program); }));
  EXPECT_EQ(ProgramExitCode(program), 3u);
  CloseProgram(program);
  EXPECT_FALSE(IsProgram(program));
}

TEST_F(ProcessTest, KillGivesAllOnes) {
  Program program = RunProgram(Script("sleeper.exe", "sleep 60000"), "", "", kRunOpen);
  ASSERT_NE(program, 0u);
  EXPECT_TRUE(ProgramRunning(program));
  EXPECT_TRUE(KillProgram(program));
  EXPECT_TRUE(Eventually([&] { return !ProgramRunning(program); }));
  EXPECT_EQ(ProgramExitCode(program), 0xFFFFFFFFu);
  EXPECT_TRUE(IsProgram(program));  // valid until released
  CloseProgram(program);
  EXPECT_FALSE(IsProgram(program));
}

TEST_F(ProcessTest, TwoProgramsAreKeptApart) {
  Program one = RunProgram(Script("one.exe", "exit 11"), "", "", kRunWait | kRunOpen);
  Program two = RunProgram(Script("two.exe", "exit 22"), "", "", kRunWait | kRunOpen);
  ASSERT_NE(one, 0u);
  ASSERT_NE(two, 0u);
  EXPECT_NE(one, two);
  CloseProgram(one);
  EXPECT_FALSE(IsProgram(one));
  EXPECT_TRUE(IsProgram(two));
  EXPECT_EQ(ProgramExitCode(two), 22u);
  CloseProgram(two);
}

TEST_F(ProcessTest, WorkingFolderIsTheOneAsked) {
  // An empty folder inherits the current one; running somewhere else than
  // asked would be worse than not running.
  fs::create_directories(dir_ + "/work place");
  std::string script = Script("where.exe", "cwd where.txt");
  const struct {
    std::string folder;
    std::string where;  // empty: not run
  } cases[] = {
      {dir_ + "\\work place\\", fs::canonical(dir_ + "/work place").string() + "\n"},
      {"", fs::canonical(fs::current_path()).string() + "\n"},
      {dir_ + "\\no such folder", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    fs::remove(Native("where.txt"));
    Program program = RunProgram(script, "", c.folder, kRunWait | kRunOpen);
    EXPECT_EQ(program != 0, !c.where.empty());
    EXPECT_EQ(ProgramExitCode(program), 0u);
    CloseProgram(program);
    EXPECT_EQ(Read("where.txt"), c.where);
  }
}

TEST_F(ProcessTest, ParametersArePassed) {
  std::string script = Script("args.exe", "args args.txt");
  ASSERT_NE(RunProgram(script, "one \"two words\" three", "", kRunWait), 0u);
  EXPECT_EQ(Read("args.txt"), "one\ntwo words\nthree\n");
  ASSERT_NE(RunProgram(script, "", "", kRunWait), 0u);
  EXPECT_EQ(Read("args.txt"), "");
}

TEST_F(ProcessTest, PathWithBlanksNeedsNoQuotesFromTheCaller) {
  fs::create_directories(dir_ + "/with blank");
  std::string script = Script("with blank/ok.exe", "exit 5");
  for (const std::string& path : {script, "\"" + script + "\""}) {
    SCOPED_TRACE(path);
    Program program = RunProgram(path, "", "", kRunWait | kRunOpen);
    ASSERT_NE(program, 0u);
    EXPECT_EQ(ProgramExitCode(program), 5u);
    CloseProgram(program);
  }
}

TEST_F(ProcessTest, MissingProgramGivesZero) {
  // The direct start fails and the shell's "open" has nothing to offer here.
  for (uint32_t flags : {0u, 1u, 4u, 5u}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(RunProgram(dir_ + "\\missing.exe", "", "", flags), 0u);
    EXPECT_EQ(RunProgram(dir_ + "\\missing.exe", "a b", dir_, flags), 0u);
  }
  EXPECT_EQ(RunProgram("", "", "", kRunWait | kRunOpen), 0u);
}

TEST_F(ProcessTest, NoProgramAnswersZero) {
  // 0, a value never handed out and a released program; a second release
  // does nothing.
  Program released = RunProgram(Script("quick.exe", "exit 4"), "", "", kRunWait | kRunOpen);
  ASSERT_NE(released, 0u);
  CloseProgram(released);
  for (Program program : {Program(0), Program(1), released}) {
    SCOPED_TRACE(program);
    EXPECT_FALSE(IsProgram(program));
    EXPECT_EQ(ProgramExitCode(program), 0u);
    EXPECT_FALSE(ProgramRunning(program));
    EXPECT_FALSE(KillProgram(program));
    CloseProgram(program);
  }
}

TEST_F(ProcessTest, ResetReleasesEveryProgram) {
  Program program = RunProgram(Script("quick.exe", "exit 0"), "", "", kRunWait | kRunOpen);
  ASSERT_NE(program, 0u);
  ResetProcessRunner();
  EXPECT_FALSE(IsProgram(program));
}

}  // namespace
