// The process runner over the native platform: command-line building, and
// small shell scripts started, waited for, queried, killed and released.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "runtime/process.h"

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

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessRunner();
    char pattern[] = "/tmp/zd-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    ResetProcessRunner();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Writes an executable shell script and answers its path in Windows form.
  std::string Script(const std::string& name, const std::string& body) const {
    std::string path = dir_ + "/" + name;
    {
      std::ofstream out(path, std::ios::binary);
      out << "#!/bin/sh\n" << body << "\n";
    }
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    return dir_ + "\\" + name;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const { return fs::exists(dir_ + "/" + name); }
  void Touch(const std::string& name) const { std::ofstream out(dir_ + "/" + name); }

  // Polls until the condition holds; a generous bound so that a loaded
  // machine does not fail the test, while a hang still ends.
  static bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
  }

  std::string dir_;
};

TEST_F(ProcessTest, WaitAndOpenGiveTheExitCode) {
  for (int code : {0, 1, 2, 7, 255}) {
    SCOPED_TRACE(code);
    Program program = RunProgram(Script("exit.sh", "exit " + std::to_string(code)), "", "", kRunWait | kRunOpen);
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
  std::string script = Script("late.sh", "sleep 0.2\necho done > \"" + dir_ + "/late.txt\"");
  Program result = RunProgram(script, "", "", kRunWait);
  EXPECT_NE(result, 0u);
  EXPECT_FALSE(IsProgram(result));  // not tracked without Open
  EXPECT_EQ(Read("late.txt"), "done\n");
}

TEST_F(ProcessTest, OpenWithoutWaitRunsBeside) {
  std::string script = Script("gate.sh", "while [ ! -e \"" + dir_ + "/go\" ]; do sleep 0.02; done\nexit 3");
  Program program = RunProgram(script, "", "", kRunOpen);
  ASSERT_NE(program, 0u);
  EXPECT_TRUE(IsProgram(program));
  EXPECT_TRUE(ProgramRunning(program));
  EXPECT_EQ(ProgramExitCode(program), kStillActive);
  Touch("go");
  EXPECT_TRUE(Eventually([&] { return !ProgramRunning(program); }));
  EXPECT_EQ(ProgramExitCode(program), 3u);
  CloseProgram(program);
  EXPECT_FALSE(IsProgram(program));
}

TEST_F(ProcessTest, KillGivesAllOnes) {
  Program program = RunProgram(Script("sleeper.sh", "exec sleep 60"), "", "", kRunOpen);
  ASSERT_NE(program, 0u);
  EXPECT_TRUE(ProgramRunning(program));
  EXPECT_TRUE(KillProgram(program));
  EXPECT_TRUE(Eventually([&] { return !ProgramRunning(program); }));
  EXPECT_EQ(ProgramExitCode(program), 0xFFFFFFFFu);
  EXPECT_TRUE(IsProgram(program));  // valid until released
  CloseProgram(program);
  EXPECT_FALSE(IsProgram(program));
}

TEST_F(ProcessTest, ReleasedProgramIsNoProgram) {
  Program program = RunProgram(Script("quick.sh", "exit 4"), "", "", kRunWait | kRunOpen);
  ASSERT_NE(program, 0u);
  CloseProgram(program);
  EXPECT_FALSE(IsProgram(program));
  EXPECT_EQ(ProgramExitCode(program), 0u);
  EXPECT_FALSE(ProgramRunning(program));
  EXPECT_FALSE(KillProgram(program));
  CloseProgram(program);  // a second release does nothing
}

TEST_F(ProcessTest, TwoProgramsAreKeptApart) {
  Program one = RunProgram(Script("one.sh", "exit 11"), "", "", kRunWait | kRunOpen);
  Program two = RunProgram(Script("two.sh", "exit 22"), "", "", kRunWait | kRunOpen);
  ASSERT_NE(one, 0u);
  ASSERT_NE(two, 0u);
  EXPECT_NE(one, two);
  CloseProgram(one);
  EXPECT_FALSE(IsProgram(one));
  EXPECT_TRUE(IsProgram(two));
  EXPECT_EQ(ProgramExitCode(two), 22u);
  CloseProgram(two);
}

TEST_F(ProcessTest, WorkingFolderIsHonoured) {
  fs::create_directories(dir_ + "/work place");
  std::string script = Script("where.sh", "pwd -P > \"" + dir_ + "/where.txt\"");
  Program program = RunProgram(script, "", dir_ + "\\work place\\", kRunWait | kRunOpen);
  ASSERT_NE(program, 0u);
  EXPECT_EQ(ProgramExitCode(program), 0u);
  CloseProgram(program);
  EXPECT_EQ(Read("where.txt"), fs::canonical(dir_ + "/work place").string() + "\n");
}

TEST_F(ProcessTest, EmptyWorkingFolderInheritsTheCurrentOne) {
  std::string script = Script("where.sh", "pwd -P > \"" + dir_ + "/where.txt\"");
  ASSERT_NE(RunProgram(script, "", "", kRunWait), 0u);
  EXPECT_EQ(Read("where.txt"), fs::canonical(fs::current_path()).string() + "\n");
}

TEST_F(ProcessTest, ParametersArePassed) {
  std::string script = Script("args.sh", "printf '%s\\n' \"$@\" > \"" + dir_ + "/args.txt\"");
  ASSERT_NE(RunProgram(script, "one \"two words\" three", "", kRunWait), 0u);
  EXPECT_EQ(Read("args.txt"), "one\ntwo words\nthree\n");
  ASSERT_NE(RunProgram(script, "", "", kRunWait), 0u);
  EXPECT_EQ(Read("args.txt"), "\n");  // printf of no arguments prints one empty line
}

TEST_F(ProcessTest, PathWithBlanksNeedsNoQuotesFromTheCaller) {
  fs::create_directories(dir_ + "/with blank");
  std::string script = Script("with blank/ok.sh", "exit 5");
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

TEST_F(ProcessTest, FileThatCannotRunGivesZero) {
  {
    std::ofstream out(dir_ + "/readme.txt");
    out << "not a program\n";
  }
  EXPECT_EQ(RunProgram(dir_ + "\\readme.txt", "", "", kRunWait | kRunOpen), 0u);
  EXPECT_EQ(RunProgram(dir_, "", "", kRunWait | kRunOpen), 0u);
}

TEST_F(ProcessTest, MissingWorkingFolderGivesZero) {
  // Running somewhere else than asked would be worse than not running.
  std::string script = Script("marker.sh", "echo ran > \"" + dir_ + "/ran.txt\"");
  EXPECT_EQ(RunProgram(script, "", dir_ + "\\no such folder", kRunWait | kRunOpen), 0u);
  EXPECT_FALSE(Exists("ran.txt"));
}

TEST_F(ProcessTest, NoProgramAnswersZero) {
  EXPECT_EQ(ProgramExitCode(0), 0u);
  EXPECT_FALSE(ProgramRunning(0));
  EXPECT_FALSE(KillProgram(0));
  EXPECT_FALSE(IsProgram(0));
  CloseProgram(0);
  // A value that was never handed out is no program either.
  EXPECT_FALSE(IsProgram(1));
  EXPECT_EQ(ProgramExitCode(1), 0u);
  EXPECT_FALSE(ProgramRunning(1));
}

TEST_F(ProcessTest, ResetReleasesEveryProgram) {
  Program program = RunProgram(Script("quick.sh", "exit 0"), "", "", kRunWait | kRunOpen);
  ASSERT_NE(program, 0u);
  ResetProcessRunner();
  EXPECT_FALSE(IsProgram(program));
}

}  // namespace
