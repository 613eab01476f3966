// The native platform's doubles and kept state: each reset puts back
// everything, and a creation time dies with the file it was set on.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <iostream>
#include <string>

#include "filesys_fixture.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/message_box_double.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system.h"
#include "platform/system_double.h"

namespace {

// Every answer of the system double, in one text to compare whole.
std::string AskSystem() {
  std::string folder;
  bool known = OsGetSpecialFolder(5, &folder);
  return "folder " + std::to_string(known) + " " + folder + "\nsystem " + OsGetSystemDirectory() +
         "\nwindows " + OsGetWindowsDirectory() + "\nnt " + std::to_string(OsIsNtFamily()) +
         "\ncommand " + OsGetCommandLine() + "\nmodule " + OsGetModuleFileName() + "\ntemp " +
         OsGetTempPath() + "\nguid " + std::to_string(OsCreateGuidText().size()) + "\nlang " +
         std::to_string(OsGetUserDefaultLangID()) + "\nadmin " + std::to_string(OsHasAdminRights()) +
         "\nmutex " + std::to_string(OsProbeNamedMutex("Held")) + "\nreboots " +
         std::to_string(SystemDoubleRebootPrompts());
}

TEST(PlatformDoubleTest, ResetsPutEveryDoubleBackWhole) {
  ResetSystemDouble();
  ResetRegistryDouble();
  ResetMessageBoxDouble();
  const std::string fresh = AskSystem();
  // The command line, module path and temporary folder are the process's own.
  EXPECT_NE(OsGetCommandLine().find("unit_tests"), std::string::npos);
  EXPECT_NE(OsGetModuleFileName().find("unit_tests"), std::string::npos);
  EXPECT_NE(fresh.find("\nguid 38\n"), std::string::npos);
  EXPECT_NE(fresh.find("\nmutex 1\nreboots 0"), std::string::npos);

  SystemDoubleSetSpecialFolder(5, "C:\\Docs");
  SystemDoubleSetSystemDirectory("D:\\sys");
  SystemDoubleSetWindowsDirectory("D:\\win");
  SystemDoubleSetCommandLine("Install.exe /Q");
  SystemDoubleSetModuleFileName("C:\\Setup\\Install.exe");
  SystemDoubleSetTempPath("/nowhere/temp");
  SystemDoubleSetNtFamily(false);
  SystemDoubleSetAdminRights(false);
  SystemDoubleSetGuidFails(true);
  SystemDoubleSetUserDefaultLangID(0x0407);
  SystemDoubleHoldMutex("Held");
  OsPromptReboot();
  OsPromptReboot();
  EXPECT_EQ(AskSystem(),
            "folder 1 C:\\Docs\nsystem D:\\sys\nwindows D:\\win\nnt 0\ncommand Install.exe /Q\n"
            "module C:\\Setup\\Install.exe\ntemp /nowhere/temp/\nguid 0\nlang 1031\nadmin 0\n"
            "mutex 2\nreboots 2");

  RegistryDoubleSetString(kHkeyCurrentUser, "Software\\Zandor", "Value", "1");
  MessageBoxDoubleQueueAnswer(kIdCancel);
  EXPECT_EQ(OsMessageBox("Caption", "Text", kMbOkCancel), kIdCancel);

  ResetSystemDouble();
  ResetRegistryDouble();
  ResetMessageBoxDouble();
  EXPECT_EQ(AskSystem(), fresh);
  EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, "Software"));
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_EQ(OsMessageBox("Caption", "Text", kMbOkCancel), kIdOk);
  ResetMessageBoxDouble();
}

uint64_t CreationTimeOf(const std::string& path) {
  OsFindData data;
  OsFind find = OsFindFirst(path, &data, nullptr);
  if (!find) return 0;
  OsFindClose(find);
  return data.creationTime;
}

class CreationTimeTest : public FileSysTest {
 protected:
  void TearDown() override {
    ResetSystemDouble();
    FileSysTest::TearDown();
  }
  // A new file with the creation time set through the platform; its inode.
  ino_t MakeFile(const std::string& name, uint64_t creation) {
    OsFile file = OsOpenFile(Win(name), kOsOpenCreateNew);
    EXPECT_NE(file, nullptr);
    if (creation) {
      EXPECT_TRUE(OsSetFileTimes(file, creation, 0));
    }
    OsCloseFile(file);
    struct stat st;
    EXPECT_EQ(stat(Native(name).c_str(), &st), 0);
    return st.st_ino;
  }
};

TEST_F(CreationTimeTest, DiesWithTheFileItWasSetOn) {
  // Each way ends the file "old" with its creation time kept; new files then
  // come until one reuses old's inode number, and that one must show its own
  // time, not old's.
  enum Ending { kDeleted, kReplaced, kReset };
  const struct {
    Ending ending;
    const char* what;
  } cases[] = {{kDeleted, "deleted"}, {kReplaced, "replaced"}, {kReset, "forgotten by the reset"}};
  const uint64_t kOldCreation = FileTimeOf(kApril23At1606);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ino_t inode = MakeFile("old", kOldCreation);
    ASSERT_EQ(CreationTimeOf(Win("old")), kOldCreation);
    if (c.ending == kDeleted) {
      ASSERT_TRUE(OsDeleteFile(Win("old")));
    } else if (c.ending == kReplaced) {
      MakeFile("new", 0);
      ASSERT_TRUE(OsReplaceFile(Win("new"), Win("old")));
      // The name keeps its creation time, as a Windows replace keeps it.
      EXPECT_EQ(CreationTimeOf(Win("old")), kOldCreation);
    } else {
      ResetSystemDouble();
      EXPECT_NE(CreationTimeOf(Win("old")), kOldCreation);
      std::filesystem::remove(Native("old"));
    }
    bool reused = false;
    for (int i = 0; i < 64 && !reused; ++i) {
      std::string name = "next" + std::to_string(i);
      reused = MakeFile(name, 0) == inode;
      if (reused) {
        EXPECT_NE(CreationTimeOf(Win(name)), kOldCreation);
      }
    }
    if (!reused) std::cout << "inode " << inode << " was not reused; nothing to check\n";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
}

}  // namespace
