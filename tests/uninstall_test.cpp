// The uninstaller over the doubles: the path checks against hostile record
// entries, the record as the install's writer leaves it read back, and
// whole runs (quiet, through the dialog, refused, cancelled) against an
// installation laid out in the test folder with its links and registry
// values.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/message_box.h"
#include "platform/elevation_double.h"
#include "platform/logon_double.h"
#include "platform/message_box_double.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system_double.h"
#include "platform/window_double.h"
#include "runtime/ini.h"
#include "test_env.h"
#include "ui/login_dialog.h"
#include "uninstall/record.h"
#include "uninstall/removal.h"
#include "uninstall/safety.h"
#include "uninstall/uninstall_data.h"
#include "uninstall/uninstall_dialog.h"
#include "uninstall/uninstall_run.h"

namespace {

// ------------------------------------------------------------ path checks --

TEST(UninstallSafety, EntriesThatMustStayInsideTheFolder) {
  const struct {
    const char* entry;
    bool safe;
  } cases[] = {
      {"app.exe", true},
      {"sub\\data.bin", true},
      {"sub\\deep\\", true},
      {"sub/unix.txt", true},
      {"name.with.dots", true},
      {"", false},
      {"..\\windows\\win.ini", false},
      {"sub\\..\\..\\x", false},
      {"..", false},
      {". .\\x", false},  // Windows drops the blank and the dot: the parent
      {"...\\x", false},
      {"sub\\. \\x", false},
      {"C:\\windows\\system.ini", false},
      {"c:system.ini", false},
      {"file.txt:stream", false},
      {"\\\\server\\share\\x", false},
      {"\\windows\\win.ini", false},
      {"/etc/passwd", false},
      {"sub\\\\x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeRelativePath(c.entry), c.safe) << c.entry;
}

TEST(UninstallSafety, LinksAndFullPaths) {
  const struct {
    const char* path;
    bool full;
    bool link;
  } cases[] = {
      {"C:\\Users\\me\\Desktop\\App.lnk", true, true},
      {"C:\\Menu\\App.LNK", true, true},
      {"\\\\srv\\share\\Menu\\App.lnk", true, true},
      {"C:\\WINDOWS\\win.ini", true, false},
      {"C:\\Menu\\", true, false},
      {"App.lnk", false, false},
      {"C:\\Menu\\..\\..\\boot.lnk", false, false},
      {"C:Menu\\App.lnk", false, false},
      {"\\\\srv\\App.lnk", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFullPath(c.path), c.full) << c.path;
    EXPECT_EQ(IsLinkPath(c.path), c.link) << c.path;
  }
}

TEST(UninstallSafety, ProgDirMustBeItsOwnOrdinaryFolder) {
  const std::vector<std::string> system = {"C:\\Program Files\\",       "C:\\Users\\me\\",
                                           "C:\\Users\\me\\Desktop\\", "C:\\WINDOWS\\system32\\",
                                           "C:\\Program Files (x86)\\"};
  const struct {
    const char* progDir;
    const char* own;
    ProgDirCheck check;
  } cases[] = {
      {"C:\\Program Files\\App\\", "c:\\program files\\app", kProgDirGood},
      {"C:/Program Files/App", "C:\\Program Files\\App\\", kProgDirGood},
      {"C:\\Users\\me\\Apps\\Tool\\", "C:\\Users\\me\\Apps\\Tool\\", kProgDirGood},
      {"\\\\srv\\share\\App\\", "\\\\srv\\share\\App\\", kProgDirGood},
      {"C:\\Program Files\\App\\", "C:\\Program Files\\Other\\", kProgDirNotOwnFolder},
      {"C:\\", "C:\\", kProgDirRoot},
      {"\\\\srv\\share\\", "\\\\srv\\share\\", kProgDirRoot},
      {"C:\\WINDOWS\\", "C:\\WINDOWS\\", kProgDirProtected},
      {"C:\\windows\\App\\", "C:\\windows\\App\\", kProgDirProtected},
      {"C:\\Program Files\\", "C:\\Program Files\\", kProgDirProtected},
      {"C:\\Program Files (x86)\\", "C:\\Program Files (x86)\\", kProgDirProtected},
      {"C:\\Users\\", "C:\\Users\\", kProgDirProtected},  // holds a profile
      {"C:\\Users\\me\\Desktop\\", "C:\\Users\\me\\Desktop\\", kProgDirProtected},
      {"App\\", "App\\", kProgDirNotFull},
      {"C:\\Program Files\\..\\", "C:\\", kProgDirNotFull},
      {"", "C:\\App\\", kProgDirNotFull},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckProgDir(c.progDir, c.own, "C:\\WINDOWS\\", system), c.check) << c.progDir;
  }
}

TEST(UninstallSafety, CommandLine) {
  UninstallOptions quiet = ReadUninstallOptions("\"C:\\My App\\Uninstall.exe\" /q");
  EXPECT_TRUE(quiet.quiet);
  EXPECT_FALSE(quiet.cleanup);
  UninstallOptions none = ReadUninstallOptions("\"C:\\x\\Uninstall.exe\" /Qx /P:C:\\ /L:");
  EXPECT_FALSE(none.quiet);
  EXPECT_EQ(none.auditLogPath, "");
  EXPECT_EQ(ReadUninstallOptions("u.exe /q \"/L:C:\\My Logs\\u.log\" /ELEVATED").auditLogPath, "C:\\My Logs\\u.log");
  UninstallOptions cleanup =
      ReadUninstallOptions("C:\\Temp\\zd-1.exe /CLEANUP \"C:\\My App\" \"Uninstall.exe\"");
  EXPECT_TRUE(cleanup.cleanup);
  EXPECT_EQ(cleanup.cleanupFolder, "C:\\My App");
  EXPECT_EQ(cleanup.cleanupName, "Uninstall.exe");
}

// ----------------------------------------------------------------- record --

class UninstallRecordTest : public TempFolderTest {};

// The install's writer over a prepared record, read back by the uninstaller.
TEST_F(UninstallRecordTest, ReadsWhatTheInstallWrote) {
  Write("inst/uninstall.dat",
        "[Settings]\r\nProgName = Viewer\r\nVersion = 2.1\r\nMutexString = ViewerRuns\r\nNoDelAll = 1\r\n"
        "[Files]\r\nF0001 = View.exe\r\nF0002 = \r\nF0003 = sub\\a.txt\r\nF0005 = never.txt\r\n"
        "[Dirs]\r\nD0001 = sub\\\r\n");
  LoadDefaultTexts("Viewer", "2.1");
  UninstallRecord record;
  record.installDir = Win("inst\\");
  record.progExe = "View.exe";
  record.guid = "{G}";
  record.programMenuFolder = "C:\\Menu\\";
  record.desktopLinkPath = "C:\\Desk\\View.lnk";
  record.loginAdmin = true;
  record.taskRecords = {"6|2147483649|Software\\V|Opt", "10|vw|View.exe"};
  WriteUninstallRecord(record);
  ResetLanguageTexts();

  UninstallData data;
  ASSERT_EQ(ReadUninstallData(Win("inst\\uninstall.dat"), &data), kDataRead);
  EXPECT_EQ(data.progDir, Win("inst\\"));
  EXPECT_EQ(data.progExe, "View.exe");
  EXPECT_EQ(data.guid, "{G}");
  EXPECT_EQ(data.progLink, "View");
  EXPECT_EQ(data.startMenu, "C:\\Menu\\");
  EXPECT_EQ(data.desktopIcon, "C:\\Desk\\View.lnk");
  EXPECT_TRUE(data.loginAdmin);
  EXPECT_EQ(data.progName, "Viewer");
  EXPECT_EQ(data.version, "2.1");
  EXPECT_EQ(data.mutexString, "ViewerRuns");
  EXPECT_TRUE(data.noDelAll);
  EXPECT_EQ(data.files, (std::vector<std::string>{"View.exe", "sub\\a.txt"}));  // empty skipped, F0004 ends
  EXPECT_EQ(data.dirs, std::vector<std::string>{"sub\\"});
  EXPECT_EQ(data.startMenuLinks[kLinkProgram], "C:\\Menu\\View.lnk");
  EXPECT_EQ(data.startMenuLinks[kLinkUninstall], "C:\\Menu\\Uninstall.lnk");
  EXPECT_EQ(data.tasks, record.taskRecords);
  EXPECT_EQ(data.texts[kUnTitel], "uninstall Program");
  EXPECT_EQ(data.texts[kUnError], "Uninstalling Program Not possible.");
  EXPECT_EQ(data.texts[kUnReady], "Ready");
  EXPECT_EQ(MutexMessage(data), "Close Program 'Viewer' first!\nThen press OK!");
}

TEST_F(UninstallRecordTest, MissingDamagedAndCapped) {
  UninstallData data;
  EXPECT_EQ(ReadUninstallData(Win("none.dat"), &data), kDataMissing);
  EXPECT_EQ(data.texts[kUnError], "Uninstalling Program Not possible.");  // still there to show

  Write("no-dir.dat", "[Settings]\r\nProgExe = a.exe\r\n[Language]\r\nError = Kaputt\r\n");
  EXPECT_EQ(ReadUninstallData(Win("no-dir.dat"), &data), kDataDamaged);
  EXPECT_EQ(data.texts[kUnError], "Kaputt");
  Write("no-settings.dat", "[Files]\r\nF0001 = a.exe\r\n");
  EXPECT_EQ(ReadUninstallData(Win("no-settings.dat"), &data), kDataDamaged);

  Write("tasks.dat", "[Settings]\r\nProgDir = C:\\A\\\r\n[Language]\r\nMutex = Stop '$Titel'|now\r\n"
                     "[UserTask]\r\nNumber = 99999999\r\nTask1 = 0|C:\\a.lnk\r\nTask3 = 6|1|k|v\r\n");
  ASSERT_EQ(ReadUninstallData(Win("tasks.dat"), &data), kDataRead);
  EXPECT_EQ(data.tasks, (std::vector<std::string>{"0|C:\\a.lnk", "6|1|k|v"}));
  EXPECT_EQ(MutexMessage(data), "Stop ''\nnow");
}

// ------------------------------------------------------------ whole runs --

const char kGuid[] = "{9D1E6A2B-0000-4000-8000-0000000000AA}";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class UninstallRunTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    SystemDoubleSetSpecialFolder(kFolderPrograms, Win("Programs\\"));
    SystemDoubleSetSpecialFolder(kFolderDesktop, Win("Desktop\\"));
    inst_ = Win("inst\\");
    menu_ = Win("Programs\\Menu\\");
  }

  // An installation as the install leaves it, with a user file beside it,
  // hostile entries among the record's, and files outside that they name.
  void Lay(const std::string& extraSettings) {
    for (const char* f : {"inst/app.exe", "inst/readme.txt", "inst/sub/data.bin", "inst/sub/deep/x.txt",
                          "inst/Uninstall.exe", "inst/comp.dll", "inst/user.txt", "outside/victim.txt",
                          "outside/copied.opt", "outside/evil.dll", "outside/other.exe", "Programs/Menu/Prog.lnk",
                          "Programs/Menu/Uninstall.lnk", "Programs/Menu/Extra/Task.lnk", "Programs/Other.lnk",
                          "Desktop/Prog.lnk", "Desktop/Site.lnk", "Desktop/mine.txt"}) {
      Write(f, "x");
    }
    const std::string out = Win("outside\\");
    std::vector<std::string> tasks = {
        "1|" + menu_ + "Extra\\Task.lnk",
        "2|" + Win("Desktop\\Site.lnk"),
        "5|" + out + "copied.opt",
        "6|2147483649|Software\\Vendor\\App|Opt",
        "9|C:\\WINDOWS\\system32\\|" + inst_ + "comp.dll",
        "10|zdt|app.exe",
        "10|foreign|app.exe",
        "10|zdo|app.exe",
        "10|zds|app.exe",
        "10|zdr|app.exe",
        // Hostile records: none of these may touch anything.
        "0|" + Win("Desktop\\mine.txt"),
        "6|2147483651|Software\\Vendor\\Keep|Opt",
        "9|C:\\WINDOWS\\system32\\|" + out + "evil.dll",
        "10|..\\x|app.exe",
    };
    std::string record = "[Settings]\r\nProgDir = " + inst_ + "\r\nProgExe = app.exe\r\nGUID = " + kGuid +
                         "\r\nProgLink = Prog\r\nStartMenu = " + menu_ + "\r\nDesktopIcon = " +
                         Win("Desktop\\Prog.lnk") + "\r\nLoginAdmin = 0\r\nProgName = Viewer\r\nVersion = 2.1\r\n" +
                         extraSettings +
                         "[Files]\r\nF0001 = app.exe\r\nF0002 = readme.txt\r\nF0003 = sub\\data.bin\r\n"
                         "F0004 = sub\\deep\\x.txt\r\nF0005 = Uninstall.exe\r\nF0006 = uninstall.dat\r\n"
                         "F0007 = ..\\outside\\victim.txt\r\nF0008 = " +
                         out + "victim.txt\r\nF0009 = \\outside\\victim.txt\r\nF0010 = comp.dll\r\n" +
                         "[Dirs]\r\nD0001 = sub\\\r\nD0002 = sub\\deep\\\r\nD0003 = ..\\outside\\\r\n"
                         "[StartMenu]\r\nProgram = " +
                         menu_ + "Prog.lnk\r\nAddExe = " + menu_ + "Helper.lnk\r\nUninstall = " + menu_ +
                         "Uninstall.lnk\r\nHelp = " + Win("Programs\\Other.lnk") + "\r\n[UserTask]\r\nNumber = " +
                         std::to_string(tasks.size()) + "\r\n";
    for (size_t i = 0; i < tasks.size(); ++i) record += "Task" + std::to_string(i + 1) + " = " + tasks[i] + "\r\n";
    Write("inst/uninstall.dat", record);

    RegistryDoubleSetString(kHkeyLocalMachine, kUninstallKey + std::string(kGuid), "UninstallString",
                            inst_ + "uninstall.exe");
    RegistryDoubleSetString(kHkeyLocalMachine, kUninstallKey + std::string(kGuid), "DisplayName", "Viewer  2.1");
    RegistryDoubleSetString(kHkeyCurrentUser, std::string("SOFTWARE\\Zandor\\") + kGuid, "InstallDir", inst_);
    RegistryDoubleSetString(kHkeyCurrentUser, "Software\\Vendor\\App", "Opt", "1");
    RegistryDoubleSetString(kHkeyUsers, "Software\\Vendor\\Keep", "Opt", "1");
    // The association of "zdt" as the install makes it, over the type that
    // another program had given it, twice (an update keeps the first's
    // record of that type); "foreign" was taken over by another program
    // since its install, which keeps its own record of the type before.
    const std::string command = "\"" + inst_ + "app.exe\" \"%1\"";
    RegistryDoubleSetString(kHkeyClassesRoot, ".zdt", "", "txtfile");
    RegistryDoubleSetString(kHkeyClassesRoot, ".foreign", "", "foreignfile");
    for (int install = 0; install < 2; ++install) {
      AssociateExtension("zdt", "Viewer file", inst_ + "app.exe", inst_ + "app.exe,0");
      AssociateExtension("foreign", "", inst_ + "app.exe", "");
    }
    RegistryDoubleSetString(kHkeyClassesRoot, ".foreign", "", "Other.File");
    RegistryDoubleSetString(kHkeyClassesRoot, "foreign_auto_file\\shell\\open\\command", "", "other.exe \"%1\"");
    // Another product's program shares the types: "zds" it had before this
    // install (which is updated once), "zdr" it took over after.
    const std::string other = Win("outside\\other.exe");
    RegistryDoubleSetString(kHkeyClassesRoot, ".zdr", "", "zdrfile");
    AssociateExtension("zds", "Other file", other, other + ",1");
    AssociateExtension("zdr", "Viewer file", inst_ + "app.exe", inst_ + "app.exe,0");
    for (int install = 0; install < 2; ++install) {
      AssociateExtension("zds", "Viewer file", inst_ + "app.exe", inst_ + "app.exe,0");
    }
    AssociateExtension("zdr", "Other file", other, other + ",1");
    // "zdo" in the layout of the older systems.
    RegistryDoubleSetString(kHkeyLocalMachine, "Software\\Classes\\.zdo", "", "zdofile");
    SystemDoubleSetNtFamily(false);
    AssociateExtension("zdo", "Viewer file", inst_ + "app.exe", "");
    SystemDoubleSetNtFamily(true);
    RegistryDoubleSetString(kHkeyLocalMachine, "Software\\Classes\\Other", "", "kept");
  }

  int Run(const std::string& switches) {
    return RunUninstaller("\"" + inst_ + "Uninstall.exe\"" + switches, inst_ + "Uninstall.exe", false);
  }

  bool Value(uint32_t root, const std::string& key, const std::string& name) {
    RegistryDoubleValue value;
    return RegistryDoubleGet(root, key, name, &value);
  }

  // What must be gone and what must stay after any run that removed.
  void ExpectRemoved() {
    for (const char* gone : {"inst/app.exe", "inst/readme.txt", "inst/sub", "inst/comp.dll", "inst/uninstall.dat",
                             "Programs/Menu", "Desktop/Prog.lnk", "Desktop/Site.lnk"}) {
      EXPECT_FALSE(Exists(gone)) << gone;
    }
    for (const char* kept : {"inst/Uninstall.exe", "outside/victim.txt", "outside/evil.dll", "Programs/Other.lnk",
                             "Desktop/mine.txt"}) {
      EXPECT_TRUE(Exists(kept)) << kept;
    }
    EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyLocalMachine, kUninstallKey + std::string(kGuid)));
    EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, "SOFTWARE\\Zandor"));
    EXPECT_FALSE(Value(kHkeyCurrentUser, "Software\\Vendor\\App", "Opt"));
    EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, "Software\\Vendor\\App"));
    EXPECT_TRUE(Value(kHkeyUsers, "Software\\Vendor\\Keep", "Opt"));
    EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, "Software\\Vendor"));  // left empty
    for (const char* key : {"zdt_auto_file", "Applications\\app.exe"}) {
      EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyClassesRoot, key)) << key;
    }
    // Each extension the install took over has the type it had before.
    EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, ".zdt", ""), "txtfile");
    EXPECT_EQ(ReadRegistryString(kHkeyLocalMachine, "Software\\Classes\\.zdo", ""), "zdofile");
    uint32_t subkeys = 9, values = 9;
    EXPECT_TRUE(OsRegKeyCounts(kHkeyClassesRoot, ".zdt", &subkeys, &values));
    EXPECT_EQ(subkeys + values, 1u) << "no more than the default value";
    // The extension another program took over stays as it is, with the
    // verb of its type.
    EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, ".foreign", ""), "Other.File");
    EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, ".foreign", kPreviousTypeValue), "foreignfile");
    EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, "foreign_auto_file\\shell\\open\\command", ""), "other.exe \"%1\"");
    // A shared type goes back to the other product's program, or stays with
    // it, and keeps no record of this install.
    for (const char* ext : {"zds", "zdr"}) {
      const std::string type = std::string(ext) + "_auto_file";
      EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, std::string(".") + ext, ""), type);
      EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, type, ""), "Other file");
      EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, type + "\\DefaultIcon", ""), Win("outside\\other.exe,1"));
      EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, type + "\\shell\\open\\command", ""),
                "\"" + Win("outside\\other.exe") + "\" \"%1\"");
      for (const std::string& key : TypeKeys(type)) EXPECT_FALSE(Value(kHkeyClassesRoot, key, kPreviousTypeValue));
    }
    EXPECT_EQ(ReadRegistryString(kHkeyClassesRoot, ".zdr", kPreviousTypeValue), "zdrfile");
    EXPECT_TRUE(RegistryDoubleKeyExists(kHkeyClassesRoot, "Applications"));
    EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser,
                                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zdt"));
    EXPECT_TRUE(Value(kHkeyClassesRoot, ".foreign", ""));
    EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyLocalMachine, "Software\\Classes\\app.exe"));
    EXPECT_TRUE(Value(kHkeyLocalMachine, "Software\\Classes\\Other", ""));
  }

  std::string inst_;
  std::string menu_;
};

TEST_F(UninstallRunTest, QuietRemovesWhatTheInstallMadeAndNothingElse) {
  Lay("");
  EXPECT_EQ(Run(" /Q /L:" + Win("u.log")), kUninstallDone);
  // The log: the start, the folder, the copied files' question with its
  // quiet answer, each step, the end.
  const std::string log = Read("u.log");
  EXPECT_EQ(log.find("start  command line  "), 0u);
  EXPECT_NE(log.find("\r\nuninstall  folder  "), std::string::npos);
  EXPECT_NE(log.find("\r\nquiet  asked  "), std::string::npos);
  EXPECT_NE(log.find("  answer  No\r\n"), std::string::npos);
  for (const char* file : {"app.exe", "uninstall.dat"}) {
    EXPECT_TRUE(std::regex_search(log, std::regex(std::string("\r\nremove  file  [^\r]*inst\\\\") + file + "\r\n")))
        << file;
  }
  EXPECT_EQ(log.substr(log.size() - 29), "\r\nend  removed  exit code 0\r\n");
  ExpectRemoved();
  EXPECT_TRUE(Exists("inst/user.txt"));        // no DelAll when quiet
  EXPECT_TRUE(Exists("outside/copied.opt"));   // a quiet run keeps copied files
  EXPECT_TRUE(Exists("Programs"));
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_EQ(WindowDoubleTopWindow(), 0);
}

// Tasks last first, then the start-menu links, the desktop link, the files,
// the folders deepest first, the registry entries, the record: no link is
// ever left pointing at a file already gone.
TEST_F(UninstallRunTest, RemovalOrder) {
  Lay("");
  UninstallData data;
  ASSERT_EQ(ReadUninstallData(Win("inst\\uninstall.dat"), &data), kDataRead);
  RemovalChoices choices;
  choices.quiet = true;
  choices.ownExeName = "Uninstall.exe";
  RemovalReport report;
  RemoveInstallation(data, choices, &report);
  auto at = [&](const std::string& part) {
    for (size_t i = 0; i < report.lines.size(); ++i) {
      if (report.lines[i].find(part) != std::string::npos) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no line with " << part;
    return -1;
  };
  // Task 12 (hostile), task 11 (outside the folder), task 6 (task 7 found
  // .foreign taken over), 5, 4, 3 (kept when quiet), 2, 1, the program's
  // class after all its extensions, then the links and files.
  const std::string order[] = {
      "skipped 10|..\\x|app.exe",
      "skipped 9|",
      "value HKCR\\.zdt|",
      "unregister ",
      "value HKCU\\Software\\Vendor\\App|Opt",
      "kept ",
      "Site.lnk",
      "Task.lnk",
      "value HKCR\\Applications\\app.exe\\shell\\open\\command|",
      "Menu\\Prog.lnk",
      "Desktop\\Prog.lnk",
      "inst\\app.exe",
      "inst\\sub\\deep\\x.txt",
  };
  for (size_t i = 1; i < std::size(order); ++i) EXPECT_LT(at(order[i - 1]), at(order[i])) << order[i];
  const std::string dir = NormaliseFolder(inst_);
  auto line = [&](const std::string& text) {
    auto it = std::find(report.lines.begin(), report.lines.end(), text);
    EXPECT_NE(it, report.lines.end()) << text;
    return it - report.lines.begin();
  };
  EXPECT_LT(line("file " + dir + "sub\\deep\\x.txt"), line("folder " + dir + "sub\\deep\\"));
  EXPECT_LT(line("folder " + dir + "sub\\deep\\"), line("folder " + dir + "sub\\"));
  EXPECT_LT(line("folder " + dir + "sub\\"), at(std::string("key HKLM\\") + kUninstallKey));
  EXPECT_EQ(report.lines.back().substr(report.lines.back().size() - 13), "uninstall.dat");
}

TEST_F(UninstallRunTest, DialogWithDelAllTakesEverythingButItself) {
  Lay("MadeProgDir = 1\r\n");
  MessageBoxDoubleQueueAnswer(kIdYes);  // delete the copied file
  WindowDoubleClick(kUnDialogDelAll);
  WindowDoubleClick(kUnDialogOk);
  WindowDoubleClick(kUnDialogOk);  // Ready
  EXPECT_EQ(Run(""), kUninstallDone);
  ExpectRemoved();
  EXPECT_FALSE(Exists("inst/user.txt"));
  EXPECT_FALSE(Exists("outside/copied.opt"));
  EXPECT_EQ(WindowDoubleDroppedActions(), 0);
  ASSERT_EQ(MessageBoxDoubleBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxDoubleBoxes()[0].flags, 0x24u);
  EXPECT_NE(MessageBoxDoubleBoxes()[0].text.find("outside\\copied.opt"), std::string::npos);
  const WindowDoubleControlRecord* ok = WindowDoubleControl(kUnDialogOk);
  EXPECT_EQ(ok, nullptr);  // the dialog is closed
}

// "Delete all" empties only a folder that the install made; and a known
// folder of the profile is refused as the installation folder however the
// record names it (here Downloads, reached through a link).
TEST_F(UninstallRunTest, DelAllOnlyForAFolderTheInstallMadeAndNeverForAKnownFolder) {
  Lay("");
  WindowDoubleClick(kUnDialogDelAll);
  WindowDoubleClick(kUnDialogOk);
  WindowDoubleClick(kUnDialogOk);
  MessageBoxDoubleQueueAnswer(kIdNo);
  EXPECT_EQ(Run(""), kUninstallDone);
  EXPECT_TRUE(Exists("inst/user.txt"));
  EXPECT_FALSE(Exists("inst/app.exe"));
  // The box is hidden: its click never reached it.
  EXPECT_EQ(WindowDoubleDroppedActions(), 1);

  Lay("MadeProgDir = 1\r\n");
  SystemDoubleSetSpecialFolder(40, Win("profile\\"));
  MakeFolder("profile");
  std::error_code noLinks;
  std::filesystem::create_directory_symlink(Native("inst"), Native("profile/Downloads"), noLinks);
  if (noLinks) GTEST_SKIP() << "no symbolic links here: " << noLinks.message();
  EXPECT_EQ(Run(" /Q"), kUninstallRefused);
  EXPECT_TRUE(Exists("inst/app.exe"));
  EXPECT_TRUE(Exists("inst/user.txt"));
}

// A subfolder that links out of the installation folder: its listed files
// and everything "delete all" finds stay where the link points; the link
// itself goes.
TEST_F(UninstallRunTest, LinkedSubfolderIsUnlinkedNotFollowed) {
  Lay("MadeProgDir = 1\r\n");
  Write("elsewhere/data.bin", "keep");
  Write("elsewhere/deep/x.txt", "keep");
  std::filesystem::remove_all(Native("inst/sub"));
  std::error_code noLinks;
  std::filesystem::create_directory_symlink(Native("elsewhere"), Native("inst/sub"), noLinks);
  if (noLinks) GTEST_SKIP() << "no symbolic links here: " << noLinks.message();
  WindowDoubleClick(kUnDialogDelAll);
  WindowDoubleClick(kUnDialogOk);
  WindowDoubleClick(kUnDialogOk);
  MessageBoxDoubleQueueAnswer(kIdNo);
  EXPECT_EQ(Run(""), kUninstallDone);
  EXPECT_EQ(Read(Native("elsewhere/data.bin")), "keep");
  EXPECT_EQ(Read(Native("elsewhere/deep/x.txt")), "keep");
  EXPECT_FALSE(std::filesystem::is_symlink(Native("inst/sub")));
  EXPECT_FALSE(Exists("inst/user.txt"));
}

// Hostile task lines: a system key (Run, exefile), a link outside the link
// folders; and the question names every copied file, however many.
TEST_F(UninstallRunTest, HostileTaskLinesTouchNoSystemKeyAndNoForeignLink) {
  Lay("");
  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  RegistryDoubleSetString(kHkeyCurrentUser, run, "Other", "x");
  RegistryDoubleSetString(kHkeyClassesRoot, "exefile\\shell\\open\\command", "", "\"%1\"");
  Write("outside/foreign.lnk", "x");
  std::string tasks = "[UserTask]\r\nNumber = 23\r\nTask1 = 6|2147483649|" + run + "|Other\r\n" +
                      "Task2 = 6|2147483648|exefile\\shell\\open\\command|\r\n" +
                      "Task3 = 0|" + Win("outside\\foreign.lnk") + "\r\n";
  for (int i = 4; i <= 23; ++i) {
    Write("outside/copy" + std::to_string(i) + ".opt", "x");
    tasks += "Task" + std::to_string(i) + " = 5|" + Win("outside\\copy" + std::to_string(i) + ".opt") + "\r\n";
  }
  std::string record = Read("inst/uninstall.dat");
  record = record.substr(0, record.find("[UserTask]")) + tasks;
  Write("inst/uninstall.dat", record);
  WindowDoubleClick(kUnDialogOk);
  WindowDoubleClick(kUnListNo);
  WindowDoubleClick(kUnDialogOk);
  EXPECT_EQ(Run(""), kUninstallDone);
  EXPECT_TRUE(Value(kHkeyCurrentUser, run, "Other"));
  EXPECT_TRUE(Value(kHkeyClassesRoot, "exefile\\shell\\open\\command", ""));
  EXPECT_TRUE(Exists("outside/foreign.lnk"));
  // Twenty files: the question is a window with every one in its list.
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_EQ(WindowDoubleDroppedActions(), 0);
  EXPECT_TRUE(Exists("outside/copy23.opt"));
}

// /CLEANUP deletes only the uninstaller its own cleanup copy was made from:
// never from a program that is no cleanup copy, never a file with other
// bytes than its own.
TEST_F(UninstallRunTest, CleanupDeletesOnlyTheUninstallerItWasCopiedFrom) {
  SystemDoubleSetTempPath(dir_ + "/temp");
  Write("app/Uninstall.exe", "uninstaller");
  Write("app/other.exe", "someone's program");
  Write("temp/zd-uninstall-0123ABCD/cleanup.exe", "uninstaller");
  Write("temp/stray.exe", "uninstaller");
  const std::string app = "\"" + Win("app") + "\" ";
  const std::string copy = Win("temp\\zd-uninstall-0123ABCD\\cleanup.exe");
  EXPECT_EQ(RunUninstaller("x /CLEANUP " + app + "other.exe", Win("temp\\stray.exe"), false), kUninstallRefused);
  EXPECT_EQ(RunUninstaller("x /CLEANUP " + app + "Uninstall.exe", Win("temp\\stray.exe"), false), kUninstallRefused);
  EXPECT_EQ(RunUninstaller("x /CLEANUP " + app + "other.exe", copy, false), kUninstallRefused);
  EXPECT_TRUE(Exists("app/other.exe"));
  EXPECT_TRUE(Exists("app/Uninstall.exe"));
  EXPECT_EQ(RunUninstaller("x /CLEANUP " + app + "Uninstall.exe", copy, false), kUninstallDone);
  EXPECT_FALSE(Exists("app/Uninstall.exe"));
  EXPECT_TRUE(Exists("app/other.exe"));
}

TEST_F(UninstallRunTest, FileListQuestionAnswersYesOnlyForOk) {
  UninstallData data;
  ReadUninstallData(Native("none.dat"), &data);
  const std::vector<std::string> files = {"C:\\a.txt", "C:\\b.txt"};
  WindowDoubleClick(kUnListYes);
  EXPECT_TRUE(AskAboutFileList(data, "Delete?", files));
  WindowDoubleClick(kUnListNo);
  EXPECT_FALSE(AskAboutFileList(data, "Delete?", files));
  WindowDoubleCloseRequest();
  EXPECT_FALSE(AskAboutFileList(data, "Delete?", files));
  EXPECT_EQ(WindowDoubleDroppedActions(), 0);
}

TEST_F(UninstallRunTest, DialogShowsTheRecordsTextsAndNoDelAllHidesTheBox) {
  Lay("NoDelAll = 1\r\n");
  MessageBoxDoubleQueueAnswer(kIdNo);  // keep the copied file
  WindowDoubleClick(kUnDialogDelAll);  // hidden: dropped
  WindowDoubleClick(kUnDialogOk);
  EXPECT_EQ(Run(""), kUninstallDone);  // the script ends with a close request on Ready
  EXPECT_EQ(WindowDoubleDroppedActions(), 1);
  EXPECT_TRUE(Exists("inst/user.txt"));
  EXPECT_TRUE(Exists("outside/copied.opt"));
  const WindowDoubleWindowRecord* window = WindowDoubleWindow(1);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->shape.title, " uninstall Program");
  std::vector<std::string> texts;
  for (const WindowDoubleControlRecord& c : window->controls) texts.push_back(c.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Remove the following Program from your computer:",
                                             "Viewer   Version 2.1",
                                             "Program files And registry entries will be removed.",
                                             "Delete all(!) files in the directory (including user files).",
                                             "Uninstalling completed.", "Ready", "Cancel"}));
  EXPECT_FALSE(window->controls[3].visible);  // DelAll
  EXPECT_TRUE(window->controls[4].visible);   // Status, at the end
  EXPECT_FALSE(window->controls[6].visible);  // Cancel, at the end
}

TEST_F(UninstallRunTest, CancelAndARunningProgramRemoveNothing) {
  Lay("MutexString = ViewerRuns\r\n");
  WindowDoubleClick(kUnDialogCancel);
  EXPECT_EQ(Run(""), kUninstallCancelled);
  EXPECT_TRUE(Exists("inst/app.exe"));

  SystemDoubleHoldMutex("ViewerRuns");
  EXPECT_EQ(Run(" /Q /L:" + Win("u.log")), kUninstallCancelled);
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_NE(Read("u.log").find("quiet  asked  uninstall Program  Close Program 'Viewer' first! / Then press OK!  "
                               "answer  Cancel\r\nend  cancelled  exit code 2\r\n"),
            std::string::npos)
      << Read("u.log");
  MessageBoxDoubleQueueAnswer(kIdCancel);
  EXPECT_EQ(Run(""), kUninstallCancelled);
  ASSERT_EQ(MessageBoxDoubleBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxDoubleBoxes()[0].text, "Close Program 'Viewer' first!\nThen press OK!");
  EXPECT_EQ(MessageBoxDoubleBoxes()[0].flags, 0x131u);
  EXPECT_TRUE(Exists("inst/app.exe"));
  EXPECT_TRUE(Exists("inst/uninstall.dat"));
  EXPECT_TRUE(RegistryDoubleKeyExists(kHkeyLocalMachine, kUninstallKey + std::string(kGuid)));
}

// LoginAdmin = 1 without the rights: the login dialog in the record's texts
// first (a wrong password, then the right one), then the uninstaller's own.
TEST_F(UninstallRunTest, LoginInTheRecordsTextsWhenTheInstallNeededOne) {
  auto layNeedingLogin = [&](const std::string& texts) {
    Lay("");
    std::string record = Read("inst/uninstall.dat");
    record.replace(record.find("LoginAdmin = 0"), 14, "LoginAdmin = 1");
    Write("inst/uninstall.dat", record + texts);
  };
  layNeedingLogin("[Language]\r\nLogon = Anmelden\r\nRQ_Msg = Falsch\r\n");
  SystemDoubleSetAdminRights(false);
  LogonDoubleAccept("admin", "secret");
  WindowDoubleType(kLoginUser, "admin");
  WindowDoubleType(kLoginPassword, "wrong");
  WindowDoubleClick(kLoginButton);
  WindowDoubleType(kLoginUser, "admin");
  WindowDoubleType(kLoginPassword, "secret");
  WindowDoubleClick(kLoginButton);
  WindowDoubleClick(kUnDialogOk);
  WindowDoubleClick(kUnDialogOk);
  EXPECT_EQ(Run(""), kUninstallDone);
  EXPECT_EQ(LogonDoubleAttempts().size(), 2u);
  EXPECT_EQ(LogonDoubleActingAs(), 0u);  // the logon ended with the run
  ASSERT_NE(WindowDoubleWindow(1), nullptr);
  EXPECT_EQ(WindowDoubleWindow(1)->shape.title, " Anmelden");
  EXPECT_EQ(WindowDoubleWindow(2)->shape.title, " uninstall Program");
  ASSERT_FALSE(MessageBoxDoubleBoxes().empty());
  EXPECT_EQ(MessageBoxDoubleBoxes()[0].text, "Falsch");
  EXPECT_FALSE(Exists("inst/app.exe"));
  // A quiet run shows no login.
  layNeedingLogin("");
  size_t windows = 2;
  EXPECT_EQ(Run(" /Q"), kUninstallDone);
  EXPECT_EQ(WindowDoubleWindow(static_cast<OsWindow>(windows + 1)), nullptr);
  EXPECT_EQ(LogonDoubleAttempts().size(), 2u);
}

uint32_t ElevatedUninstallEnds(const ElevationDoubleStart&) { return 2; }

// A per-machine install asks for the rights once and ends with the elevated
// run's code, removing nothing itself; the elevated run, or one whose prompt
// was declined, removes with what it has, and offers no login the prompt
// could not make useful.
TEST_F(UninstallRunTest, PerMachineInstallElevatesThroughThePrompt) {
  Lay("");
  std::string record = Read("inst/uninstall.dat");
  record.replace(record.find("LoginAdmin = 0"), 14, "LoginAdmin = 1");
  Write("inst/uninstall.dat", record);
  SystemDoubleSetAdminRights(false);
  ElevationDoubleSetState(kElevationAvailable);
  ElevationDoubleOnStart(ElevatedUninstallEnds);
  EXPECT_EQ(Run(" /Q /L:" + Win("u.log")), 2);
  ASSERT_EQ(ElevationDoubleStarts().size(), 1u);
  EXPECT_EQ(ElevationDoubleStarts()[0].program, inst_ + "Uninstall.exe");
  EXPECT_EQ(ElevationDoubleStarts()[0].parameters, "/Q /ELEVATED \"/L:" + Win("u.log") + "\"");
  EXPECT_TRUE(Exists("inst/app.exe"));
  // The elevated run writes on at the end of the same log.
  EXPECT_EQ(Run(" " + ElevationDoubleStarts()[0].parameters), kUninstallDone);
  EXPECT_EQ(ElevationDoubleStarts().size(), 1u) << "an elevated run never asks again";
  ExpectRemoved();
  const std::string log = Read("u.log");
  EXPECT_TRUE(std::regex_search(log, std::regex("elevate  starting an elevated run\r\n"
                                                "elevate  elevated run ended  exit code 2\r\n"
                                                "end  cancelled  exit code 2\r\n"
                                                "start  command line  [^\r]* /ELEVATED [^\r]*\r\n")))
      << log;
  EXPECT_EQ(log.substr(log.size() - 29), "\r\nend  removed  exit code 0\r\n");

  Lay("");
  Write("inst/uninstall.dat", record);
  ElevationDoubleSetPromptAnswer(kElevatedDeclined);
  // A per-user install's entry in the user's own list goes too.
  RegistryDoubleSetString(kHkeyCurrentUser, kUninstallKey + std::string(kGuid), "UninstallString",
                          inst_ + "uninstall.exe");
  WindowDoubleClick(kUnDialogOk);
  WindowDoubleClick(kUnDialogOk);
  EXPECT_EQ(Run(""), kUninstallDone);
  EXPECT_EQ(WindowDoubleWindow(1)->shape.title, " uninstall Program") << "no login dialog first";
  EXPECT_FALSE(Exists("inst/app.exe"));
  EXPECT_FALSE(RegistryDoubleKeyExists(kHkeyCurrentUser, kUninstallKey + std::string(kGuid)));
}

// A record that names another folder, a root or a system folder as ProgDir,
// or none at all, is refused with the Error text and nothing is deleted.
TEST_F(UninstallRunTest, HostileOrBrokenRecordsAreRefused) {
  Lay("");
  const std::string good = Read("inst/uninstall.dat");
  const std::string progDirLine = "ProgDir = " + inst_ + "\r\n";
  SystemDoubleSetSpecialFolder(kFolderPersonal, Win("inst\\Docs\\"));
  const std::string hostile[] = {
      "ProgDir = C:\\\r\n",
      "ProgDir = " + Win("outside\\") + "\r\n",
      "ProgDir = " + Win("inst\\..\\inst\\") + "\r\n",
      "ProgDir = " + dir_.substr(0, dir_.rfind('/') + 1) + "\r\n",
      "ProgDir = \r\n",
      "",
  };
  for (const std::string& line : hostile) {
    std::string record = good;
    record.replace(record.find(progDirLine), progDirLine.size(), line);
    Write("inst/uninstall.dat", record);
    ResetMessageBoxDouble();
    EXPECT_EQ(Run(""), kUninstallRefused) << line;
    ASSERT_EQ(MessageBoxDoubleBoxes().size(), 1u) << line;
    EXPECT_EQ(MessageBoxDoubleBoxes()[0].text, "Uninstalling Program Not possible.");
    EXPECT_EQ(MessageBoxDoubleBoxes()[0].flags, 0x10u);
    EXPECT_EQ(Run(" /Q"), kUninstallRefused) << line;
    EXPECT_EQ(MessageBoxDoubleBoxes().size(), 1u) << line;  // none when quiet
  }
  // A ProgDir that holds one of the system's folders (here My Documents).
  Write("inst/uninstall.dat", good);
  MakeFolder("inst/Docs");
  EXPECT_EQ(Run(" /Q"), kUninstallRefused);
  std::filesystem::remove(Native("inst/Docs"));
  std::filesystem::remove(Native("inst/uninstall.dat"));
  EXPECT_EQ(Run(" /Q"), kUninstallRefused);
  for (const char* kept : {"inst/app.exe", "inst/sub/data.bin", "Programs/Menu/Prog.lnk", "Desktop/Prog.lnk"}) {
    EXPECT_TRUE(Exists(kept)) << kept;
  }
  EXPECT_TRUE(Value(kHkeyCurrentUser, "Software\\Vendor\\App", "Opt"));
}

}  // namespace
