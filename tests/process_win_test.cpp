// Process-runner cases that only Windows has: the shell's "Open" of a
// document starts the program registered for its type, and a start that
// fails shows none of the system's messages.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "process_fixture.h"
#include "runtime/program_runner.h"
#include "window_watch.h"

namespace {

// Registers a document type, opened by the program given, and removes it
// again. It goes to HKEY_CLASSES_ROOT itself: Wine's shell does not look at
// the user's own classes.
class ScopedDocumentType {
 public:
  ScopedDocumentType(const std::string& extension, const std::string& command)
      : extension_(extension), type_("ZandorTest" + extension) {
    RegSetKeyValueA(HKEY_CLASSES_ROOT, extension_.c_str(), nullptr, REG_SZ, type_.c_str(),
                    static_cast<DWORD>(type_.size() + 1));
    RegSetKeyValueA(HKEY_CLASSES_ROOT, (type_ + "\\shell\\open\\command").c_str(), nullptr, REG_SZ,
                    command.c_str(), static_cast<DWORD>(command.size() + 1));
  }
  ~ScopedDocumentType() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, extension_.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, type_.c_str());
  }

 private:
  std::string extension_;
  std::string type_;
};

TEST_F(ProcessTest, DocumentOpensThroughTheShellWithTheProgramOfItsType) {
  std::string opener = Script("opener.exe", "args opened.txt\ncwd where.txt\nexit 6");
  ScopedDocumentType type(".zdtestdoc", "\"" + opener + "\" \"%1\"");
  Write("letter.zdtestdoc", "a document\n");
  Program program = RunProgram(dir_ + "\\letter.zdtestdoc", "", "", kRunWait | kRunOpen);
  ASSERT_NE(program, 0u);
  // The shell's process handle is kept: waited for, and asked for the code.
  EXPECT_FALSE(ProgramRunning(program));
  EXPECT_EQ(ProgramExitCode(program), 6u);
  CloseProgram(program);
  EXPECT_EQ(Read("opened.txt"), dir_ + "\\letter.zdtestdoc\n");
  // Without a folder of its own the program runs in the document's folder.
  EXPECT_EQ(Read("where.txt"), dir_ + "\n");
}

// A copy started to go when it ends: it runs, nobody may write it while it
// does, and its end takes the file (Wine deletes the image; Windows may keep
// an image that ran, docs/windows.md). A copy that cannot start goes at once.
TEST_F(ProcessTest, ImageDeletedOnCloseGoesWhenItsProcessEnds) {
  const std::string copy = Script("copy.exe", "sleep 300\nexit 3");
  OsStartedProcess started;
  ASSERT_TRUE(OsCreateProcessDeletingImage("\"" + copy + "\"", dir_, copy, &started));
  EXPECT_EQ(CreateFileA(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  ASSERT_TRUE(OsWaitProcess(started.process, 30000));
  EXPECT_EQ(OsProcessExitCode(started.process), 3u);
  OsCloseProcess(started.process);
  EXPECT_TRUE(Eventually([&] { return GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES; }));

  const std::string broken = dir_ + "\\broken.exe";
  Write("broken.exe", "no program");
  EXPECT_FALSE(OsCreateProcessDeletingImage("\"" + broken + "\"", dir_, broken, &started));
  EXPECT_EQ(GetFileAttributesA(broken.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ProcessTest, FailedStartsShowNoMessage) {
  if (!CanShowWindows()) GTEST_SKIP() << "no screen to show a message on";
  Write("readme.zdnothing", "nothing opens this\n");
  EXPECT_EQ(RunProgram(dir_ + "\\missing.exe", "", "", kRunWait | kRunOpen), 0u);
  EXPECT_EQ(RunProgram(dir_ + "\\readme.zdnothing", "", "", kRunWait | kRunOpen), 0u);
  EXPECT_EQ(RunProgram(dir_ + "\\missing.exe", "", "", 0), 0u);
  EXPECT_EQ(WindowsShownByThisTest(), std::vector<std::string>());
}

}  // namespace
