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

// What the system double answers, in one record to compare whole.
struct SystemAnswers {
  bool specialFolderKnown;
  std::string systemDirectory, windowsDirectory, commandLine, moduleFileName, tempPath;
  bool ntFamily, admin, guidMade;
  uint16_t langId;
  MutexProbe mutex;
  int rebootPrompts;
};

SystemAnswers AskSystem() {
  std::string ignored;
  return {OsGetSpecialFolder(5, &ignored), OsGetSystemDirectory(), OsGetWindowsDirectory(),
          OsGetCommandLine(), OsGetModuleFileName(), OsGetTempPath(), OsIsNtFamily(),
          OsHasAdminRights(), OsCreateGuidText().size() == 38, OsGetUserDefaultLangID(),
          OsProbeNamedMutex("Held"), SystemDoubleRebootPrompts()};
}

void ExpectSame(const SystemAnswers& a, const SystemAnswers& b) {
  EXPECT_EQ(a.specialFolderKnown, b.specialFolderKnown);
  EXPECT_EQ(a.systemDirectory, b.systemDirectory);
  EXPECT_EQ(a.windowsDirectory, b.windowsDirectory);
  EXPECT_EQ(a.commandLine, b.commandLine);
  EXPECT_EQ(a.moduleFileName, b.moduleFileName);
  EXPECT_EQ(a.tempPath, b.tempPath);
  EXPECT_EQ(a.ntFamily, b.ntFamily);
  EXPECT_EQ(a.admin, b.admin);
  EXPECT_EQ(a.guidMade, b.guidMade);
  EXPECT_EQ(a.langId, b.langId);
  EXPECT_EQ(a.mutex, b.mutex);
  EXPECT_EQ(a.rebootPrompts, b.rebootPrompts);
}

TEST(PlatformDoubleTest, ResetsPutEveryDoubleBackWhole) {
  ResetSystemDouble();
  ResetRegistryDouble();
  ResetMessageBoxDouble();
  const SystemAnswers fresh = AskSystem();
  EXPECT_EQ(fresh.rebootPrompts, 0);
  EXPECT_EQ(fresh.mutex, kMutexCreated);
  EXPECT_TRUE(fresh.guidMade);
  // The command line, module path and temporary folder are the process's own.
  EXPECT_NE(fresh.commandLine.find("unit_tests"), std::string::npos);
  EXPECT_NE(fresh.moduleFileName.find("unit_tests"), std::string::npos);
  EXPECT_EQ(fresh.tempPath.back(), '/');

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
  const SystemAnswers set = AskSystem();
  EXPECT_EQ(set.commandLine, "Install.exe /Q");
  EXPECT_EQ(set.tempPath, "/nowhere/temp/");
  EXPECT_FALSE(set.guidMade);
  EXPECT_EQ(set.mutex, kMutexExisted);
  EXPECT_EQ(set.rebootPrompts, 2);

  RegistryDoubleSetString(kHkeyCurrentUser, "Software\\Zandor", "Value", "1");
  MessageBoxDoubleQueueAnswer(kIdCancel);
  EXPECT_EQ(OsMessageBox("Caption", "Text", kMbOkCancel), kIdCancel);

  ResetSystemDouble();
  ResetRegistryDouble();
  ResetMessageBoxDouble();
  ExpectSame(AskSystem(), fresh);
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
      ASSERT_TRUE(OsReplaceFile(Win("new"), Win("old"), Win("old.bak")));
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
