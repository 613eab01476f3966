// The task list over the doubles: one table of task lines with the links,
// registry values, message boxes and records each leaves; the confirmed
// copy with its version dialog; the INI values, components and the
// install's task step that puts the records into uninstall.dat.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "actions/confirmed_copy.h"
#include "actions/folders.h"
#include "actions/tasks.h"
#include "app/config.h"
#include "app/install.h"
#include "app/startup.h"
#include "platform/message_box.h"
#include "platform/message_box_double.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/shell_link_double.h"
#include "platform/system_double.h"
#include "platform/version_double.h"
#include "platform/window_double.h"
#include "process_fixture.h"
#include "runtime/ini.h"
#include "runtime/text.h"
#include "ui/version_dialog.h"

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

class TasksTest : public ProcessTest {
 protected:
  // The test folder is the current folder, so that whatever a relative
  // path would write lands where the test sees it.
  void SetUp() override {
    ProcessTest::SetUp();
    oldFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    for (const char* folder : {"Desktop", "Startup", "System", "Windows", "PF", "inst", "work", "Menu"}) {
      MakeFolder(folder);
    }
    SystemDoubleSetSpecialFolder(kFolderDesktop, Win("Desktop"));
    SystemDoubleSetSpecialFolder(kFolderStartup, Win("Startup"));
    SystemDoubleSetSystemDirectory(Win("System"));
    SystemDoubleSetWindowsDirectory(Win("Windows"));
    SystemDoubleSetNtFamily(true);
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", Win("PF"));
    Write("inst/app.ico", "icon");
    Write("Windows/w.ico", "icon");
    LoadDefaultTexts("Viewer", "2.1");
    run_.iniPath = Win("work\\setup.ini");
    run_.installDir = Win("inst\\");
    run_.workFolder = Win("work\\");
    run_.programMenuFolder = Win("Menu\\");
    run_.languageNumber = 7;
  }

  // "@" stands for the test folder with its "\".
  std::string At(const std::string& text) const { return ReplaceAll(text, "@", dir_ + "\\"); }

  std::vector<std::string> Run(const std::string& userTask) {
    Write("work/setup.ini", "[Settings]\r\nProgExe=app.exe\r\n[UserTask]\r\n" + userTask);
    return RunTaskList(run_);
  }

  // One line per link: link file, target, working folder, arguments, icon.
  std::string Links() const {
    std::string out;
    for (const ShellLinkFields& l : ShellLinkDoubleLinks()) {
      out += l.linkFile + " > " + l.target + " | " + l.workingFolder + " | " + l.arguments + " | " + l.iconFile +
             "," + std::to_string(l.iconIndex);
      out += Exists(l.linkFile) ? "\n" : " (not saved)\n";
    }
    return out;
  }

  // One line per registry value set: root, key, name = text.
  static std::string Writes() {
    std::string out;
    for (const RegistryDoubleWrite& w : RegistryDoubleWrites()) {
      std::string text(w.value.data.begin(), w.value.data.end());
      if (!text.empty() && text.back() == '\0') text.pop_back();
      out += std::to_string(w.root & 0xF) + ":" + w.subkey + "[" + w.name + "]=" + text + "\n";
    }
    return out;
  }

  static std::string Boxes() {
    std::string out;
    for (const MessageBoxRecord& b : MessageBoxDoubleBoxes()) {
      out += b.caption + " / " + b.text + " / " + std::to_string(b.flags) + "\n";
    }
    return out;
  }

  std::string IniValue(const std::string& file, const std::string& group, const std::string& key) {
    IniOpen(file);
    IniSelectGroup(group);
    std::string value = IniReadString(key, "-");
    IniClose();
    return value;
  }

  void TearDown() override {
    std::filesystem::current_path(oldFolder_);
    ProcessTest::TearDown();
  }

  TaskListRun run_;
  std::filesystem::path oldFolder_;
};

std::string Lines(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) out += r + "\n";
  return out;
}

// Each case is the UserTask group of setup.ini and what the list leaves:
// its records, the links (0 desktop, 1 program menu, 2 and 3 address links,
// 4 Startup), the registry values and the message boxes asked. "@" is the
// test folder; the installation folder is @inst\, the program menu @Menu\.
TEST_F(TasksTest, TaskLinesByTheirFields) {
  const struct {
    const char* userTask;
    const char* records;
    const char* links;
    const char* registry;
  } cases[] = {
      // The count: 0, missing or not a number runs nothing.
      {"Number=0\r\nTask1=0|a|app.exe\r\n", "", "", ""},
      {"Task1=0|a|app.exe\r\n", "", "", ""},
      {"Number=two\r\nTask1=0|a|app.exe\r\n", "", "", ""},
      {"Number=-1\r\nTask1=0|a|app.exe\r\n", "", "", ""},
      {"Number=65537\r\nTask1=0|a|app.exe\r\nTask2=0|b|app.exe\r\n",  // 16 bits: 1
       "0|@Desktop\\a.lnk\n", "@Desktop\\a.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,0\n", ""},
      // A missing or empty line is skipped and the later ones run; a type
      // that is no number is 0, a desktop link.
      {"Number=4\r\nTask2=\r\nTask3=x|b|app.exe\r\nTask4=0|c.lnk|bin\\app.exe|||-v two\r\n",
       "0|@Desktop\\b.lnk\n0|@Desktop\\c.lnk\n",
       "@Desktop\\b.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,0\n"
       "@Desktop\\c.lnk > @inst\\bin\\app.exe | @inst\\bin\\ | -v two | @inst\\bin\\app.exe,0\n",
       ""},
      // ".lnk" is compared with case; targets with two "%" expand, with
      // none, one or four go under the installation folder, drive and all.
      {"Number=5\r\nTask1=0|d.LNK|%Windows%w.exe\r\nTask2=0|e|C:\\x.exe\r\nTask3=0|f|50%.exe\r\n"
       "Task4=0|g|%Windows%%System%x.exe\r\nTask5=0|h|%Nowhere%x.exe\r\n",
       "0|@Desktop\\d.LNK.lnk\n0|@Desktop\\e.lnk\n0|@Desktop\\f.lnk\n0|@Desktop\\g.lnk\n0|@Desktop\\h.lnk\n",
       "@Desktop\\d.LNK.lnk > @Windows\\w.exe | @Windows\\ |  | @Windows\\w.exe,0\n"
       "@Desktop\\e.lnk > @inst\\C:\\x.exe | @inst\\C:\\ |  | @inst\\C:\\x.exe,0\n"
       "@Desktop\\f.lnk > @inst\\50%.exe | @inst\\ |  | @inst\\50%.exe,0\n"
       "@Desktop\\g.lnk > @inst\\%Windows%%System%x.exe | @inst\\ |  | "
       "@inst\\%Windows%%System%x.exe,0\n"
       "@Desktop\\h.lnk > %Nowhere%x.exe |  |  | %Nowhere%x.exe,0\n",
       ""},
      // Icons: a file that exists with its index (the low byte); index -1,
      // an empty or missing file: the target's own.
      {"Number=5\r\nTask1=0|i|app.exe|2|app.ico\r\nTask2=0|j|app.exe|-1|app.ico\r\nTask3=0|k|app.exe|2|\r\n"
       "Task4=0|l|app.exe|1|none.ico\r\nTask5=0|m|app.exe|257|%Windows%w.ico\r\n",
       "0|@Desktop\\i.lnk\n0|@Desktop\\j.lnk\n0|@Desktop\\k.lnk\n0|@Desktop\\l.lnk\n0|@Desktop\\m.lnk\n",
       "@Desktop\\i.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.ico,2\n"
       "@Desktop\\j.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,0\n"
       "@Desktop\\k.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,2\n"
       "@Desktop\\l.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,1\n"
       "@Desktop\\m.lnk > @inst\\app.exe | @inst\\ |  | @Windows\\w.ico,1\n",
       ""},
      // The program menu (its sub-folder made), the address links with the
      // address as written (given to the URL handler, as every address
      // link is) and url.dll unless an icon is given, Startup.
      {"Number=5\r\nTask1=1|Sub\\n|app.exe|0||-x\r\nTask2=2|Home|http://e.org/a b|0||ignored\r\n"
       "Task3=2|Home2|http://e.org/|3|app.ico\r\nTask4=3|Web.lnk|http://e.org/|-1|app.ico\r\n"
       "Task5=4|auto|app.exe|||/min\r\n",
       "1|@Menu\\Sub\\n.lnk\n2|@Desktop\\Home.lnk\n2|@Desktop\\Home2.lnk\n3|@Menu\\Web.lnk\n4|@Startup\\auto.lnk\n",
       "@Menu\\Sub\\n.lnk > @inst\\app.exe | @inst\\ | -x | @inst\\app.exe,0\n"
       "@Desktop\\Home.lnk > @System\\RunDll32.exe |  | Url.dll,FileProtocolHandler http://e.org/a b | "
       "C:\\WINDOWS\\system32\\url.dll,0\n"
       "@Desktop\\Home2.lnk > @System\\RunDll32.exe |  | Url.dll,FileProtocolHandler http://e.org/ | @inst\\app.ico,3\n"
       "@Menu\\Web.lnk > @System\\RunDll32.exe |  | Url.dll,FileProtocolHandler http://e.org/ | "
       "C:\\WINDOWS\\system32\\url.dll,0\n"
       "@Startup\\auto.lnk > @inst\\app.exe | @inst\\ | /min | @inst\\app.exe,0\n",
       ""},
      // A link name stays inside its folder: "..", a drive or a root of its
      // own is refused.
      {"Number=4\r\nTask1=0|..\\Escape|app.exe\r\nTask2=1|C:\\x|app.exe\r\nTask3=4|\\root|app.exe\r\n"
       "Task4=0|ok|app.exe\r\n",
       "0|@Desktop\\ok.lnk\n", "@Desktop\\ok.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,0\n", ""},
      // Registry values: the three roots by either form of their number;
      // any other root is refused, as are types 7, negative and above 10.
      {"Number=7\r\nTask1=6|2147483649|Software\\Zd|Path|%InstallDir%bin;%ProgDir%\r\n"
       "Task2=6|-2147483646|Software\\Zd||v\r\nTask3=6|2147483648|.zd|Name|t\r\n"
       "Task4=6|2147483651|Software\\Zd|Users|u\r\nTask5=6|5|Software\\Zd|Five|f\r\n"
       "Task6=7|a|app.exe\r\nTask7=-1|a|app.exe\r\n",
       "6|2147483649|Software\\Zd|Path\n6|2147483650|Software\\Zd|\n6|2147483648|.zd|Name\n", "",
       "1:Software\\Zd[Path]=@inst\\bin;@inst\\\n2:Software\\Zd[]=v\n0:.zd[Name]=t\n"},
      // Associations: the icon when it exists and the index is not -1; 266
      // is type 10; "1" asks and Yes goes on (the answers queued below: Yes,
      // then No); an empty, blank or dotted extension, or one with a
      // separator, is refused without asking.
      {"Number=8\r\nTask1=10|app.exe|zda|Zd file|1|app.ico|0\r\nTask2=266|bin\\b.exe|zdb||-1|app.ico|\r\n"
       "Task3=10|app.exe|zdc|C|0|app.ico|1\r\nTask4=10|app.exe|zdd|D|0||1\r\nTask5=10|app.exe||E|0||1\r\n"
       "Task6=10|app.exe|.rtf|F|0||1\r\nTask7=10|app.exe| |G|0||1\r\nTask8=10|app.exe|a\\b|H|0||1\r\n",
       "10|zda|app.exe\n10|zdb|b.exe\n10|zdc|app.exe\n", "",
       "0:Applications\\app.exe\\shell\\open\\command[]=\"@inst\\app.exe\" \"%1\"\n0:.zda[]=zda_auto_file\n"
       "0:zda_auto_file[]=Zd file\n0:zda_auto_file\\DefaultIcon[]=@inst\\app.ico,1\n"
       "0:zda_auto_file\\shell\\open\\command[]=\"@inst\\app.exe\" \"%1\"\n"
       "1:Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zda[Application]=app.exe\n"
       "0:Applications\\b.exe\\shell\\open\\command[]=\"@inst\\bin\\b.exe\" \"%1\"\n0:.zdb[]=zdb_auto_file\n"
       "0:zdb_auto_file[]=b.exe\n0:zdb_auto_file\\shell\\open\\command[]=\"@inst\\bin\\b.exe\" \"%1\"\n"
       "1:Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zdb[Application]=b.exe\n"
       "0:Applications\\app.exe\\shell\\open\\command[]=\"@inst\\app.exe\" \"%1\"\n0:.zdc[]=zdc_auto_file\n"
       "0:zdc_auto_file[]=C\n0:zdc_auto_file\\DefaultIcon[]=@inst\\app.ico,0\n"
       "0:zdc_auto_file\\shell\\open\\command[]=\"@inst\\app.exe\" \"%1\"\n"
       "1:Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zdc[Application]=app.exe\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.userTask);
    ResetShellLinkDouble();
    ResetRegistryDouble();
    ResetMessageBoxDouble();
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", Win("PF"));
    MessageBoxDoubleQueueAnswer(kIdYes);
    MessageBoxDoubleQueueAnswer(kIdNo);
    EXPECT_EQ(Lines(Run(c.userTask)), At(c.records));
    EXPECT_EQ(Links(), At(c.links));
    EXPECT_EQ(Writes(), At(c.registry));
  }
  // The last case asked twice, with "*." and the extension for $Extension
  // and two blanks after the text.
  EXPECT_EQ(Boxes(),
            "Associate File Extension / Associate File Extension '*.zdc' with the program?   / 36\n"
            "Associate File Extension / Associate File Extension '*.zdd' with the program?   / 36\n");

  // A quiet run asks nobody: the question takes Yes, the box's default
  // button, and the audit log has question and answer.
  ResetRegistryDouble();
  ResetMessageBoxDouble();
  SetQuietRun(true);
  ASSERT_TRUE(OpenAuditLog(Native("quiet.log")));
  EXPECT_EQ(Lines(Run("Number=2\r\nTask1=10|app.exe|zdq|Q|0||1\r\nTask2=10|app.exe|..q|Q|0||1\r\n")),
            "10|zdq|app.exe\n");
  CloseAuditLog();
  EXPECT_EQ(Boxes(), "");
  EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, ".zdq", ""), "zdq_auto_file");
  std::string log = std::regex_replace(Read("quiet.log"), std::regex("registry  [^\r]*\r\n"), "");
  EXPECT_EQ(log,
            "task  1  10|app.exe|zdq|Q|0||1\r\n"
            "quiet  asked  Associate File Extension  Associate File Extension '*.zdq' with the program?  answer  Yes\r\n"
            "task  2  10|app.exe|..q|Q|0||1\r\n"
            "task  refused  the extension is empty or not a bare name  10|app.exe|..q|Q|0||1\r\n");
}

// Without start-menu links there is no program menu folder: links of types
// 1 and 3 would land in the current folder and are left out; a shell that
// names no desktop leaves the desktop links out alike.
TEST_F(TasksTest, LinksWithoutTheirFolderAreLeftOut) {
  run_.programMenuFolder.clear();
  SystemDoubleSetSpecialFolder(kFolderDesktop, "");
  const std::string lines = "Number=5\r\nTask1=1|n|app.exe\r\nTask2=3|w|http://e.org/\r\nTask3=0|d|app.exe\r\n"
                            "Task4=2|h|http://e.org/\r\nTask5=4|s|app.exe\r\n";
  EXPECT_EQ(Lines(Run(lines)), At("4|@Startup\\s.lnk\n"));
  EXPECT_EQ(Links(), At("@Startup\\s.lnk > @inst\\app.exe | @inst\\ |  | @inst\\app.exe,0\n"));
}

// Type 5: the target from folder and name (installation variables, then
// folder variables with the Program Files fallback), or the name alone; a
// target that is not one full file path is refused.
TEST_F(TasksTest, ConfirmedCopyTargets) {
  Write("work/s.opt", "new");
  const std::string full = Win("abs\\whole.opt");
  std::string aboveRoot;  // more ".." steps than any folder has parts
  for (int i = 0; i < 40; ++i) aboveRoot += "..\\";
  const struct {
    std::string line;
    const char* record;  // empty: refused
    const char* file;    // where the copy lands, native form under the test folder
  } cases[] = {
      {"5|t.opt|s.opt|%Windows%", "5|@Windows\\t.opt", "Windows/t.opt"},
      {"5|t.opt|s.opt|%Windows%sub\\deep\\", "5|@Windows\\sub\\deep\\t.opt", "Windows/sub/deep/t.opt"},
      {"5|t.opt|s.opt|Vendor\\", "5|@PF\\Vendor\\t.opt", "PF/Vendor/t.opt"},
      {"5|" + full + "|s.opt|", "5|@abs\\whole.opt", "abs/whole.opt"},
      {"5|t.opt|s.opt|", "", nullptr},                // relative
      {"5|" + aboveRoot + "t.opt|s.opt|%Windows%", "", nullptr},  // a way up past the root
      {"5||s.opt|%Windows%sub\\", "", nullptr},         // a folder
      {"5|%Nowhere%t.opt|s.opt|%Nowhere%", "", nullptr}, // no folder found: relative
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Lines(Run("Number=1\r\nTask1=" + c.line + "\r\n")), c.record[0] ? At(c.record) + "\n" : "");
    if (c.file) {
      EXPECT_EQ(Read(c.file), "new");
    }
  }
  EXPECT_FALSE(Exists("Windows/sub/t.opt"));
  EXPECT_EQ(WindowDoubleTopWindow(), 0);  // no target existed: no dialog
}

// An existing target asks: the dialog shows both files' versions (the
// creation time where a file has none), ignores its close box, and Yes
// replaces while No keeps. The copy runs while the dialog is open and the
// owner disabled.
struct DialogSeen {
  bool ownerEnabled = true;
  std::string title;
  std::vector<std::string> values;
  int questionFont = 0;
};
DialogSeen g_seen;
OsWindow g_owner = 0;

bool SeeDialogThenCopy(const std::string& source, const std::string& target) {
  g_seen.ownerEnabled = WindowDoubleWindow(g_owner)->enabled;
  g_seen.title = WindowDoubleWindow(WindowDoubleTopWindow())->shape.title;
  for (int id : {5, 6, 7, 13, 14, 15}) g_seen.values.push_back(WindowDoubleControl(id)->text);
  g_seen.questionFont = WindowDoubleControl(8)->shape.font;
  return CopyFileWithLogin(source, target);
}

TEST_F(TasksTest, VersionDialogDecidesOverAnExistingFile) {
  Write("work/s.opt", "new");
  Write("Windows/t.opt", "old");
  VersionDoubleSet(Win("Windows\\t.opt"), {"1.2.0.0", "Old viewer", "English (United States)"});
  VersionDoubleSet(Win("work\\s.opt"), {"", "New viewer", ""});
  WindowSpec wizard;
  wizard.title = "Wizard";
  g_owner = OsOpenWindow(wizard);
  g_seen = DialogSeen();

  WindowDoubleCloseRequest();
  WindowDoubleClick(kVersionDialogYes);
  EXPECT_TRUE(ShowVersionDialog(g_owner, Win("work\\s.opt"), Win("Windows\\t.opt"), SeeDialogThenCopy));
  EXPECT_EQ(Read("Windows/t.opt"), "new");
  EXPECT_FALSE(g_seen.ownerEnabled);
  EXPECT_TRUE(WindowDoubleWindow(g_owner)->enabled);
  EXPECT_EQ(g_seen.title, " Copy File  's.opt'");
  ASSERT_EQ(g_seen.values.size(), 6u);
  EXPECT_EQ(g_seen.values[0], "1.2.0.0");
  EXPECT_EQ(g_seen.values[1], "English (United States)");
  EXPECT_EQ(g_seen.values[2], "Old viewer");
  EXPECT_TRUE(std::regex_match(g_seen.values[3], std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]  [0-2][0-9]:[0-5][0-9]")))
      << g_seen.values[3];
  EXPECT_EQ(g_seen.values[4], "--- not available ---");
  EXPECT_EQ(g_seen.values[5], "New viewer");
  ASSERT_GT(g_seen.questionFont, 0);
  const WindowDoubleFont& font = WindowDoubleFonts()[static_cast<size_t>(g_seen.questionFont - 1)];
  EXPECT_EQ(font.face + " " + std::to_string(font.points) + " " + std::to_string(font.weight), "Arial 8 700");

  // Through the task list: No keeps the file; the record is there anyway.
  Write("Windows/t.opt", "old");
  WindowDoubleClick(kVersionDialogNo);
  run_.owner = g_owner;
  EXPECT_EQ(Lines(Run("Number=1\r\nTask1=5|t.opt|s.opt|%Windows%\r\n")), At("5|@Windows\\t.opt\n"));
  EXPECT_EQ(Read("Windows/t.opt"), "old");
  EXPECT_EQ(WindowDoubleScriptLeft(), 0u);
  EXPECT_EQ(WindowDoubleTopWindow(), g_owner);  // the dialog is closed again

  // Quietly no dialog opens: the installed file stays, and the log says so.
  SetQuietRun(true);
  ASSERT_TRUE(OpenAuditLog(Native("quiet.log")));
  EXPECT_FALSE(ShowVersionDialog(g_owner, Win("work\\s.opt"), Win("Windows\\t.opt"), SeeDialogThenCopy));
  CloseAuditLog();
  EXPECT_EQ(Read("Windows/t.opt"), "old");
  EXPECT_EQ(WindowDoubleTopWindow(), g_owner);
  EXPECT_EQ(Read("quiet.log"), "quiet  asked  Copy File  Replace the current file with this file version?  " +
                                   Win("Windows\\t.opt") + "  answer  No\r\n");
}

TEST_F(TasksTest, VersionTextAndRows) {
  Write("v.dll", "MZ");
  Write("plain.txt", "text");
  Write("empty.txt", "");
  VersionDoubleSet(Win("v.dll"), {"2.0", "Viewer", "Deutsch (Deutschland)"});
  VersionDoubleSet(Win("empty.txt"), {"9", "never asked", "x"});
  EXPECT_EQ(GetFileVersionText(Win("v.dll")), "2.0|Viewer|Deutsch (Deutschland)");
  EXPECT_EQ(GetFileVersionText(Win("plain.txt")), "||");
  EXPECT_EQ(GetFileVersionText(Win("empty.txt")), "||");
  EXPECT_EQ(GetFileVersionText(Win("missing.dll")), "||");
  EXPECT_EQ(GetFileVersionText(dir_), "||");
  EXPECT_EQ(VersionDoubleQueries(), 2);  // empty, missing and folder load nothing
  // A description without a version: the creation time and the description.
  VersionRows rows = VersionDialogRows("|Viewer|", Win("plain.txt"));
  EXPECT_TRUE(std::regex_match(rows.version, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}  [0-9]{2}:[0-9]{2}")));
  EXPECT_EQ(rows.language, "--- not available ---");
  EXPECT_EQ(rows.description, "Viewer");
  EXPECT_EQ(VersionDialogRows("||", Win("missing.dll")).version, "--- not available ---");
  EXPECT_EQ(OsVersionTranslationKey(0x0409, 0x04B0), "040904B0");
  EXPECT_EQ(OsVersionTranslationKey(0x0407, 65001), "0407FDE9");
}

// A copy that fails: with the rights nothing is said; without them the
// login is offered, the copy tried once more, and a second failure shows
// the copy error.
int g_offers = 0;
bool g_admin = false;
bool HasRights() { return g_admin; }
void Offer() { ++g_offers; }

TEST_F(TasksTest, CopyFailureOffersTheLoginOnce) {
  Write("work/s.opt", "new");
  SetLoginOffer(HasRights, Offer);
  for (bool admin : {true, false}) {
    g_admin = admin;
    g_offers = 0;
    ResetMessageBoxDouble();
    EXPECT_FALSE(CopyFileWithLogin(Win("work\\s.opt"), Win("no\\such\\folder\\t.opt")));
    EXPECT_EQ(g_offers, admin ? 0 : 1);
    EXPECT_EQ(Boxes(), admin ? "" : "Error - Copy File / Copying file(s) failed. / 16\n");
  }
  // Confirmed or not, a copy to a missing target answers true.
  EXPECT_TRUE(CopyFileConfirmed(0, Win("work\\s.opt"), Win("no\\such\\folder\\t.opt")));
  EXPECT_TRUE(CopyFileConfirmed(0, Win("work\\s.opt"), Win("Windows\\fresh.opt")));
  EXPECT_EQ(Read("Windows/fresh.opt"), "new");
}

// Type 8 writes into a file of the installation folder, creating file and
// group, and the next line still reads setup.ini; a name that climbs out
// is refused. Type 9 copies and runs, or only runs and records.
TEST_F(TasksTest, IniValuesAndComponents) {
  Script("work/comp.exe", "exit 3");
  Write("Windows/comp.do", "args comp-ran.txt\n");  // the script for the copy
  Script("inst/packed.exe", "args packed-ran.txt");
  Script("System/regsvr32.exe", "args registered.txt");
  const std::string lines =
      "Number=9\r\n"
      "Task1=8|conf.ini|Paths|All|%StartMenuDir%;%InstallDir%;%ProgDir%;%LanguageID%;%Windows%\r\n"
      "Task2=8|conf.ini||Top|1\r\n"
      "Task3=8|..\\out.ini|G|K|v\r\n"
      "Task4=8||G|K|v\r\n"
      "Task5=9|%Windows%|comp.exe|0\r\n"
      "Task6=9|%ProgDir%|packed.exe|1\r\n"
      "Task7=6|2147483649|Software\\Zd|After|yes\r\n"
      "Task8=9|%InstallDir%|comp.exe|0\r\n"  // no variable here: relative, refused
      "Task9=9||comp.exe|0\r\n";
  EXPECT_EQ(Lines(Run(lines)),
            At("9|@System\\|@inst\\packed.exe\n6|2147483649|Software\\Zd|After\n"));
  EXPECT_EQ(IniValue(Win("inst\\conf.ini"), "Paths", "All"),
            At("@Menu\\;@inst\\;@inst\\;7;@Windows\\"));
  EXPECT_EQ(IniValue(Win("inst\\conf.ini"), "", "Top"), "1");
  EXPECT_EQ(Read("inst/conf.ini").find("Top = 1"), 0u) << Read("inst/conf.ini");
  EXPECT_FALSE(Exists("out.ini"));
  // comp.exe went to the Windows folder and ran there without parameters;
  // packed.exe was not copied and went through regsvr32 /S.
  EXPECT_TRUE(Exists("Windows/comp.exe"));
  EXPECT_EQ(Read("Windows/comp-ran.txt"), "");
  EXPECT_FALSE(Exists("inst/packed-ran.txt"));
  EXPECT_EQ(Read("System/registered.txt"), "/S\n" + At("@inst\\packed.exe") + "\n");
  EXPECT_FALSE(Exists("comp.exe"));  // the current folder
}

// The install's task step: the list runs after the start-menu links with
// their program menu folder, and its records land in uninstall.dat's
// UserTask group in order.
TEST_F(TasksTest, InstallWritesTheRecordsIntoTheUninstallRecord) {
  SystemDoubleSetSpecialFolder(kFolderPrograms, Win("Programs"));
  Write("work/setup.ini",
        "[Info]\r\nTitel=Viewer\r\n[Settings]\r\nProgExe=app.exe\r\n[StartMenue]\r\n[Task]\r\nStartMenu=1\r\n"
        "[UserTask]\r\nNumber=3\r\nTask1=1|Manual|man.txt\r\nTask2=6|2147483649|Software\\Zd|V|x\r\n"
        "Task3=8|app.ini|G|Menu|%StartMenuDir%\r\n");
  RunPaths paths;
  paths.workFolder = Win("work\\");
  paths.iniPath = paths.workFolder + "setup.ini";
  ProductInfo product;
  SetupConfig config;
  ReadStartupConfig(paths.iniPath, &product);
  LoadSettings(paths.iniPath, RunOptions(), product, &config);
  InstallChoices choices;
  choices.installDir = Win("inst");
  choices.startMenuFolder = "Tools";
  choices.startMenu = true;
  InstallResult result;
  uint8_t login = 0;
  InstallContext context;
  context.paths = &paths;
  context.product = &product;
  context.config = &config;
  context.choices = &choices;
  context.result = &result;
  context.loggedInAsAdmin = &login;
  RunInstall(&context);
  const std::string record = Win("inst\\uninstall.dat");
  EXPECT_EQ(IniValue(record, "UserTask", "Number"), "2");
  EXPECT_EQ(IniValue(record, "UserTask", "Task1"), At("1|@Programs\\Tools\\Manual.lnk"));
  EXPECT_EQ(IniValue(record, "UserTask", "Task2"), "6|2147483649|Software\\Zd|V");
  EXPECT_EQ(IniValue(record, "UserTask", "Task3"), "-");
  EXPECT_EQ(IniValue(Win("inst\\app.ini"), "G", "Menu"), At("@Programs\\Tools\\"));
}

}  // namespace
