// Uninstall record: the file as the uninstaller reads it, byte for byte,
// written fresh and over a prepared record, and written a second time by a
// later install into the same folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "runtime/ini.h"
#include "runtime/text.h"
#include "test_env.h"
#include "ui/language.h"
#include "uninstall/record.h"

namespace fs = std::filesystem;

namespace {

class RecordTest : public TempFolderTest {
 protected:
  // Every file under the test folder, relative to it, with "/".
  std::set<std::string> AllFiles() const {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), dir_).generic_string());
    }
    return files;
  }
};

// The uninstaller's texts with the built-in English defaults; the title is
// built into the Mutex line only.
std::string EnglishLanguage(const std::string& title) {
  return "[Language]\r\n"
         "Titel = uninstall Program\r\n"
         "Msg = Program files And registry entries will be removed.\r\n"
         "Version = Version\r\n"
         "UninstInfo = Remove the following Program from your computer:\r\n"
         "DelAll = Delete all(!) files in the directory (including user files).\r\n"
         "Error = Uninstalling Program Not possible.\r\n"
         "Mutex = Close Program '" + title + "' first!|Then press OK!\r\n"
         "Status = Uninstalling completed.\r\n"
         "Logon = Login as administrator\r\n"
         "User = Username:\r\n"
         "Password = Password:\r\n"
         "RQ_Titel = Error - Login\r\n"
         "RQ_Msg = Login failed.\r\n"
         "OK = OK\r\n"
         "Cancel = Cancel\r\n"
         "Ready = Ready\r\n"
         "Login = Login\r\n";
}

// A German language file (single-byte) that sets some of the texts the
// record carries; the rest keep their defaults. Its RQ4_Msg keeps "$Titel".
const char kGermanFile[] =
    "[Install]\r\n"
    "Help = Hilfe\r\n"
    "Uninstall=\tDeinstallieren \r\n"
    "[Requester]\r\n"
    "RQ4_Msg=Programm '$Titel' zuerst schlie\xDF" "en!\r\n"
    "RQ4_Msg2=Dann OK dr\xFC" "cken!\r\n"
    "RQ7_Msg=Anmeldung fehlgeschlagen.\r\n"
    "[LoginAdmin]\r\n"
    "Window=Als Administrator anmelden\r\n"
    "[Buttons]\r\n"
    "Login=Anmelden\r\n"
    "[Uninstaller]\r\n"
    "Titel=Programm entfernen\r\n"
    "Version=\r\n"
    "Cancel=Abbrechen\r\n";

const char kGermanLanguage[] =
    "[Language]\r\n"
    "Titel = Programm entfernen\r\n"
    "Msg = Program files And registry entries will be removed.\r\n"
    "Version = \r\n"
    "UninstInfo = Remove the following Program from your computer:\r\n"
    "DelAll = Delete all(!) files in the directory (including user files).\r\n"
    "Error = Uninstalling Program Not possible.\r\n"
    "Mutex = Programm '$Titel' zuerst schlie\xDF" "en!|Dann OK dr\xFC" "cken!\r\n"
    "Status = Uninstalling completed.\r\n"
    "Logon = Als Administrator anmelden\r\n"
    "User = Username:\r\n"
    "Password = Password:\r\n"
    "RQ_Titel = Error - Login\r\n"
    "RQ_Msg = Anmeldung fehlgeschlagen.\r\n"
    "OK = OK\r\n"
    "Cancel = Abbrechen\r\n"
    "Ready = Ready\r\n"
    "Login = Anmelden\r\n";

const char kMenu[] = "C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\";
const char kDesktopLink[] = "C:\\Users\\me\\Desktop\\Zandor Demo.lnk";
const char kGuid[] = "{0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40}";

// What a package's prepared record looks like: the uninstaller's own keys,
// a comment, and a stale ProgDir from the package builder's machine.
const char kPrepared[] =
    "; made with the package\r\n"
    "[Settings]\r\n"
    "ProgName=Zandor Demo\r\n"
    "Version=1.0\r\n"
    "ProgDir=C:\\build\\demo\\\r\n"
    "MutexString=ZandorDemoRunning\r\n"
    "NoDelAll=1\r\n"
    "Script=\r\n"
    "[Files]\r\n"
    "F0001=demo.exe\r\n"
    "F0002=docs\\manual.txt\r\n"
    "[Dirs]\r\n"
    "D0001=docs\\\r\n";

struct RecordCase {
  const char* label;
  std::string prepared;  // uninstall.dat as the package delivered it; empty: none
  std::string languageFile;  // empty: the built-in texts
  std::string title;
  UninstallRecord record;  // installDir is set by the test
  std::string expected;    // "$DIR" stands for the installation folder
};

TEST_F(RecordTest, WrittenFileByteForByte) {
  UninstallRecord bare;
  bare.progExe = "tool.exe";
  bare.guid = "{11111111-2222-3333-4444-555555555555}";

  UninstallRecord full;
  full.progExe = "demo.exe";
  full.guid = kGuid;
  full.progLink = "Zandor Demo";
  full.startMenuExe = "tools\\sub/my.viewer.exe";
  full.programMenuFolder = kMenu;
  full.desktopLinkPath = kDesktopLink;
  full.loginAdmin = true;
  full.taskRecords = {"LINK|C:\\Users\\me\\Desktop\\Manual.lnk", "REG|1|Software\\Zandor Demo|Greeting"};

  const RecordCase cases[] = {
      {"no prepared record, no links, no tasks, ProgLink from ProgExe", "", "", "Tool", bare,
       "[Settings]\r\n"
       "ProgDir = $DIR\r\n"
       "ProgExe = tool.exe\r\n"
       "GUID = {11111111-2222-3333-4444-555555555555}\r\n"
       "ProgLink = tool\r\n"
       "StartMenu = \r\n"
       "DesktopIcon = \r\n"
       "LoginAdmin = 0\r\n"
       "MadeProgDir = 0\r\n"
       "MadeParents = 0\r\n" +
           EnglishLanguage("Tool") +
           "[StartMenu]\r\n"
           "Program = tool.lnk\r\n"
           "AddExe = .lnk\r\n"
           "Help = Help.lnk\r\n"
           "Homepage = Homepage.lnk\r\n"
           "Uninstall = Uninstall.lnk\r\n"
           "[UserTask]\r\n"
           "Number = 0\r\n"},
      {"prepared record kept, German texts, links, login and tasks", kPrepared, kGermanFile, "Zandor Demo", full,
       std::string("; made with the package\r\n"
                   "[Settings]\r\n"
                   "ProgName = Zandor Demo\r\n"
                   "Version = 1.0\r\n"
                   "ProgDir = $DIR\r\n"
                   "MutexString = ZandorDemoRunning\r\n"
                   "NoDelAll = 1\r\n"
                   "Script = \r\n"
                   "ProgExe = demo.exe\r\n"
                   "GUID = {0B8E5D3A-6C2F-4E1B-9A7D-3F5C8E2B1D40}\r\n"
                   "ProgLink = Zandor Demo\r\n"
                   "StartMenu = C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\\r\n"
                   "DesktopIcon = C:\\Users\\me\\Desktop\\Zandor Demo.lnk\r\n"
                   "LoginAdmin = 1\r\n"
                   "MadeProgDir = 0\r\n"
                   "MadeParents = 0\r\n"
                   "[Files]\r\n"
                   "F0001 = demo.exe\r\n"
                   "F0002 = docs\\manual.txt\r\n"
                   "[Dirs]\r\n"
                   "D0001 = docs\\\r\n") +
           kGermanLanguage +
           "[StartMenu]\r\n"
           "Program = C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\Zandor Demo.lnk\r\n"
           "AddExe = C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\my.lnk\r\n"
           "Help = C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\Hilfe.lnk\r\n"
           "Homepage = C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\Homepage.lnk\r\n"
           "Uninstall = C:\\Users\\me\\Start Menu\\Programs\\Zandor Demo\\Deinstallieren.lnk\r\n"
           "[UserTask]\r\n"
           "Number = 2\r\n"
           "Task1 = LINK|C:\\Users\\me\\Desktop\\Manual.lnk\r\n"
           "Task2 = REG|1|Software\\Zandor Demo|Greeting\r\n"},
  };
  int run = 0;
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.label);
    ResetEverything();
    std::string folder = "inst" + std::to_string(++run);
    if (!c.prepared.empty()) Write(folder + "/uninstall.dat", c.prepared);
    MakeFolder(folder);
    std::string language;
    if (!c.languageFile.empty()) language = Write("work/deutsch.lng", c.languageFile);
    LoadLanguageTexts(language, c.title, "1.0");

    UninstallRecord record = c.record;
    record.installDir = Win(folder + "\\");
    WriteUninstallRecord(record);

    EXPECT_EQ(UninstallRecordPath(record.installDir), record.installDir + "uninstall.dat");
    EXPECT_EQ(Read(folder + "/uninstall.dat"), ReplaceAll(c.expected, "$DIR", record.installDir));
  }
  // Nothing beside the records: no temporary file left, nothing elsewhere.
  EXPECT_EQ(AllFiles(), (std::set<std::string>{"inst1/uninstall.dat", "inst2/uninstall.dat", "work/deutsch.lng"}));
}

// A later install into the same folder replaces setup's keys where they
// stand; the uninstaller's groups and any key setup does not write again
// (here the first run's Task2) stay.
TEST_F(RecordTest, SecondInstallWritesOverTheFirstRecord) {
  Write("inst/uninstall.dat", kPrepared);
  LoadDefaultTexts("Zandor Demo", "1.0");
  UninstallRecord first;
  first.installDir = Win("inst\\");
  first.progExe = "demo.exe";
  first.guid = kGuid;
  first.progLink = "Zandor Demo";
  first.programMenuFolder = kMenu;
  first.desktopLinkPath = kDesktopLink;
  first.loginAdmin = true;
  first.taskRecords = {"LINK|a.lnk", "LINK|b.lnk"};
  WriteUninstallRecord(first);
  std::string afterFirst = Read("inst/uninstall.dat");

  UninstallRecord second = first;
  second.programMenuFolder.clear();
  second.desktopLinkPath.clear();
  second.loginAdmin = false;
  second.taskRecords = {"LINK|c.lnk"};
  WriteUninstallRecord(second);
  std::string afterSecond = Read("inst/uninstall.dat");

  // The same lines in the same places: only values changed.
  EXPECT_EQ(CountChar(afterSecond, '\n'), CountChar(afterFirst, '\n'));
  IniOpen(UninstallRecordPath(second.installDir));
  struct Expect {
    const char* group;
    const char* key;
    const char* value;
  };
  const Expect expected[] = {
      {"Settings", "ProgName", "Zandor Demo"},
      {"Settings", "NoDelAll", "1"},
      {"Settings", "StartMenu", ""},
      {"Settings", "DesktopIcon", ""},
      {"Settings", "LoginAdmin", "0"},
      {"Files", "F0002", "docs\\manual.txt"},
      {"Dirs", "D0001", "docs\\"},
      {"StartMenu", "Program", "Zandor Demo.lnk"},
      {"StartMenu", "Uninstall", "Uninstall.lnk"},
      {"UserTask", "Number", "1"},
      {"UserTask", "Task1", "LINK|c.lnk"},
      {"UserTask", "Task2", "LINK|b.lnk"},
  };
  for (const Expect& e : expected) {
    IniSelectGroup(e.group);
    EXPECT_EQ(IniReadString(e.key, "<none>"), e.value) << e.group << "/" << e.key;
  }
  IniClose();
}

}  // namespace

#include "uninstall/uninstall_data.h"

namespace {

TEST_F(RecordTest, LargeRecordIsWrittenAndReadWhole) {
  // 120,000 files past the old cap of 100,000, with numbering gaps the
  // reader must stop at, odd keys it must skip, and a store that refuses the
  // write (a read-only record): that failure is reported.
  const size_t kCount = 120000;
  std::string text = "[Settings]\r\nProgName = Big\r\n[Files]\r\nf0001 = first.txt\r\nF0001 = duplicate.txt\r\n"
                     "F00002 = odd.txt\r\n";
  for (size_t i = 2; i <= kCount; ++i) {
    std::string digits = std::to_string(i);
    text += "F" + std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits + " = dir\\file" + digits +
            ".bin\r\n";
  }
  text += "F" + std::to_string(kCount + 2) + " = beyond the gap\r\n[Dirs]\r\nD0001 = dir\\\r\n";
  Write("big/uninstall.dat", text);
  LoadDefaultTexts("Big", "1.0");
  UninstallRecord record;
  record.installDir = Win("big\\");
  record.progExe = "big.exe";
  EXPECT_TRUE(WriteUninstallRecord(record));

  UninstallData data;
  ASSERT_EQ(ReadUninstallData(UninstallRecordPath(record.installDir), &data), kDataRead);
  ASSERT_EQ(data.files.size(), kCount);
  EXPECT_EQ(data.files[0], "first.txt");
  EXPECT_EQ(data.files[1], "dir\\file2.bin");
  EXPECT_EQ(data.files.back(), "dir\\file" + std::to_string(kCount) + ".bin");
  EXPECT_EQ(data.dirs, std::vector<std::string>{"dir\\"});
  EXPECT_EQ(data.progExe, "big.exe");

  fs::permissions(Native("big/uninstall.dat"), fs::perms::owner_write, fs::perm_options::remove);
  record.progExe = "other.exe";
  EXPECT_FALSE(WriteUninstallRecord(record));
  fs::permissions(Native("big/uninstall.dat"), fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
