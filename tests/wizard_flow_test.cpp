// The wizard flow driven through the window double as a user would: the
// pages forward and back with their skips, the licence choice and Next, the
// completion rules of the two folder fields, the settings the preparation
// shows or hides, the install from the Install button, and the three ends of
// the loop with the flags the final stage reads.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "actions/folders.h"
#include "app/hooks.h"
#include "app/setup_state.h"
#include "app/wizard_flow.h"
#include "platform/folder_browser_double.h"
#include "platform/registry.h"
#include "platform/registry_double.h"
#include "platform/system_double.h"
#include "platform/window_double.h"
#include "runtime/filesys.h"
#include "runtime/program_runner.h"
#include "stream_builder.h"
#include "test_env.h"
#include "ui/language.h"
#include "ui/wizard.h"

namespace fs = std::filesystem;

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The controls whose visibility tells the pages apart, with short names.
const struct {
  int id;
  const char* name;
} kPageParts[] = {
    {kWizardWelcomePanel, "welcome"}, {kWizardSidePicture, "side"},       {kWizardHeaderPanel, "header"},
    {kWizardLicencePanel, "licence"}, {kWizardSettingsPanel, "settings"}, {kWizardInfoPanel, "info"},
    {kWizardInstallPanel, "install"}, {kWizardBack, "Back"},              {kWizardNext, "Next"},
    {kWizardInstall, "Install"},      {kWizardCancel, "Cancel"},          {kWizardFinish, "Finish"},
};

class WizardFlowTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    RegistryDoubleSetString(kHkeyLocalMachine, kVersionKey, "ProgramFilesDir", "C:\\Program Files");
    SystemDoubleSetWindowsDirectory("C:\\WINDOWS");
    // The install makes its desktop link here, not in the current folder.
    SystemDoubleSetSpecialFolder(kFolderDesktop, dir_ + "\\Desktop\\");
    MakeFolder("Desktop");
    work_ = dir_ + "/work/";
    MakeFolder(work_);
    SetupState& s = ::Setup();
    s.paths.workFolder = work_;
    s.paths.iniPath = work_ + "setup.ini";
    s.product.title = "Demo";
    s.product.version = "1.0";
    s.product.progExe = "Viewer.exe";
    s.product.prgSize = "12 MB";
    LoadDefaultTexts("Demo", "1.0");
  }
  void TearDown() override {
    unsetenv("InstallDir");
    TempFolderTest::TearDown();
  }

  // setup.ini with the given [Task] lines (each ending in "\r\n").
  void WriteIni(const std::string& task, const std::string& web = "http://example.org/",
                const std::string& defaultDir = "%ProgramFiles%Tools\\Viewer") {
    Write(work_ + "setup.ini", "[Settings]\r\nDefaultDir=" + defaultDir + "\r\n[Info]\r\nWeb=" + web +
                                   "\r\n[StartMenue]\r\nDefaultDir=Vendor\\Viewer Group\r\n[Task]\r\n" + task);
  }
  void WriteWork(const std::string& name, const std::string& bytes) { Write(work_ + name, bytes); }

  void Open() {
    loop_ = WizardLoop();
    loop_.window = BuildWizardWindow("Demo 1.0");
    ASSERT_NE(loop_.window, 0);
    PrepareWizard(&loop_);
  }

  // Hands the next scripted action to the flow; false once the loop is over.
  bool Step() { return RunWizardStep(&loop_); }
  bool Click(int id) {
    WindowDoubleClick(id);
    return Step();
  }
  bool Type(int id, const std::string& text) {
    WindowDoubleType(id, text);
    return Step();
  }

  // The shown page parts, in kPageParts order.
  std::string Shown() const {
    std::string shown;
    for (const auto& part : kPageParts) {
      if (OsControlVisible(loop_.window, part.id)) shown += std::string(shown.empty() ? "" : " ") + part.name;
    }
    return shown;
  }
  std::string Header() const {
    return OsGetText(loop_.window, kWizardHeaderTitle) + " / " + OsGetText(loop_.window, kWizardHeaderMessage);
  }
  bool Enabled(int id) const { return OsControlEnabled(loop_.window, id); }
  std::string TextOf(int id) const { return OsGetText(loop_.window, id); }

  std::string work_;
  WizardLoop loop_;
};

const char kPage1[] = "welcome side Next Cancel";
const char kPage2[] = "header licence Back Next Cancel";
const char kPage3[] = "header settings Back Next Cancel";
const char kPage4[] = "header info Back Next Cancel";
const char kPage5[] = "side install Back Install Cancel";

// A full walk with licence and readme: the window as built and prepared,
// the licence choice holding Next, every page forward and back, the field
// rules, the install, and Finish with the start-program box.
TEST_F(WizardFlowTest, WalkThroughEveryPageInstallAndFinish) {
  WriteIni("StartMenu=1\r\nDesktop=1\r\nStartProg=1\r\n");
  WriteWork("licence.rtf", "{\\rtf1 Licence}");
  WriteWork("licence.txt", "plain licence");
  WriteWork("readme.txt", "Read me");
  WriteWork("splash.bmp", "BM picture");
  std::vector<uint8_t> pck = MakePackage({RawFile("Viewer.exe", "program"), RawFile("notes.txt", "notes")});
  WriteWork("setup.pck", std::string(pck.begin(), pck.end()));
  Open();
  OsWindow w = loop_.window;

  // Built and prepared.
  // Looked up afresh each time: a dialog opened meanwhile moves the records.
  auto frame = [w] { return WindowDoubleWindow(w); };
  EXPECT_EQ(frame()->shape.title, " Demo 1.0");
  EXPECT_EQ(frame()->shape.width * 1000 + frame()->shape.height, 480335);
  EXPECT_FALSE(frame()->shape.systemMenu);
  EXPECT_TRUE(frame()->shown);
  EXPECT_EQ(Shown(), kPage1);
  EXPECT_TRUE(OsControlVisible(w, kWizardHomepage));
  EXPECT_EQ(TextOf(kWizardHomepage), "http://example.org/");
  EXPECT_EQ(TextOf(kWizardWelcomeText),
            "Zandor will now install 'Demo' version 1.0 on your computer.\n\nClick 'Next' to continue "
            "installation.\n\nPlease close all other applications before continuing.");
  EXPECT_EQ(TextOf(kWizardBack), "< Back");
  EXPECT_EQ(TextOf(kWizardNext), "Next >");
  EXPECT_EQ(TextOf(kWizardStatusLine), "Required disk space: 12 MB");
  EXPECT_EQ(TextOf(kWizardLicenceText), "{\\rtf1 Licence}") << ".rtf before .txt";
  EXPECT_TRUE(WindowDoubleControl(kWizardLicenceText)->richTextIsRtf);
  EXPECT_FALSE(WindowDoubleControl(kWizardInfoText)->richTextIsRtf);
  EXPECT_EQ(WindowDoubleControl(kWizardSidePicture)->image, work_ + "splash.bmp");
  EXPECT_EQ(WindowDoubleControl(kWizardHeaderIcon)->image, "#1") << "no header.ico: the built-in icon";
  const WindowDoubleControlRecord* line = WindowDoubleControl(kWizardSeparator);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(std::vector<int>({line->shape.left, line->shape.top, line->shape.width, line->shape.height}),
            std::vector<int>({0, 300, 483, 2}));
  const WindowDoubleControlRecord* box = WindowDoubleControl(kWizardStartProgram);
  EXPECT_TRUE(box->coloured && box->textColour == 0 && box->backgroundColour == 0xFFFFFF);
  EXPECT_EQ(WindowDoubleFonts()[WindowDoubleControl(kWizardNoStartMenu)->shape.font - 1].points, 8);
  EXPECT_EQ(WindowDoubleFonts()[WindowDoubleControl(kWizardDesktop)->shape.font - 1].points, 9);
  EXPECT_EQ(WindowDoubleFonts()[WindowDoubleControl(kWizardInstall)->shape.font - 1].face, "MS Sans Serif");
  EXPECT_EQ(TextOf(kWizardInstallDirField), "C:\\Program Files\\Tools\\Viewer");
  EXPECT_EQ(TextOf(kWizardStartMenuField), "Vendor\\Viewer Group");
  EXPECT_EQ(OsGetState(w, kWizardDesktop), 1);
  EXPECT_EQ(OsGetState(w, kWizardRefuse), 1);
  EXPECT_EQ(TextOf(kWizardWelcomeNotice), "'Demo' is installed by Zandor setup.") << "the notice is never empty";
  EXPECT_TRUE(::Setup().flags.start);
  EXPECT_EQ(frame()->defaultButton, kWizardNext);
  EXPECT_EQ(frame()->cancelControl, kWizardCancel);

  // The homepage link hands its address to the URL handler of the system
  // folder, a script here that records its arguments; one planted in the
  // current folder never runs.
  SystemDoubleSetSystemDirectory(dir_ + "\\sys");
  Write("sys/RunDll32.exe", "#!/bin/sh\necho \"$@\" > " + dir_ + "/opened.txt\n");
  fs::permissions(Native("sys/RunDll32.exe"), fs::perms::owner_all);
  Write("RunDll32.exe", "#!/bin/sh\necho planted > " + dir_ + "/planted.txt\n");
  fs::permissions(Native("RunDll32.exe"), fs::perms::owner_all);
  fs::path folder = fs::current_path();
  fs::current_path(dir_);
  ASSERT_TRUE(Click(kWizardHomepage));
  EXPECT_TRUE(Eventually([this] { return Read("opened.txt") == "Url.dll,FileProtocolHandler http://example.org/\n"; }))
      << Read("opened.txt");
  EXPECT_FALSE(Exists("planted.txt"));
  fs::current_path(folder);

  // The licence holds Next until accepted; Back to the welcome page frees it.
  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage2);
  EXPECT_EQ(Header(), "Licence Agreement / Please read the following information before continuing.");
  EXPECT_FALSE(Enabled(kWizardNext));
  // The focus goes to the ticked "do not accept": focused unticked, "I
  // accept" would tick itself and report a click, as on Windows.
  EXPECT_EQ(frame()->focus, kWizardRefuse);
  EXPECT_EQ(OsGetState(w, kWizardAccept), 0);
  EXPECT_EQ(WindowDoubleScriptLeft(), 0u) << "no click the user did not make";
  ASSERT_TRUE(Click(kWizardBack));
  EXPECT_EQ(Shown(), kPage1);
  EXPECT_TRUE(Enabled(kWizardNext));
  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_FALSE(Enabled(kWizardNext));
  ASSERT_TRUE(Click(kWizardAccept));
  EXPECT_TRUE(Enabled(kWizardNext));
  ASSERT_TRUE(Click(kWizardRefuse));
  EXPECT_FALSE(Enabled(kWizardNext));
  ASSERT_TRUE(Click(kWizardAccept));
  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage3);
  EXPECT_EQ(Header(), "Setup Settings / Installation Directory, StartMenu Folder and Desktop Icon");

  // Leaving the fields completes them; the program folder name is "Viewer",
  // the configured start-menu folder "Vendor\Viewer Group".
  const struct {
    int field;
    const char* typed;
    const char* left;
  } fields[] = {
      {kWizardInstallDirField, "D:\\Apps", "D:\\Apps\\Viewer"},
      {kWizardInstallDirField, "D:\\Apps\\", "D:\\Apps\\Viewer"},
      {kWizardInstallDirField, "D:\\viewer", "D:\\viewer\\Viewer"},       // case-sensitive
      {kWizardInstallDirField, "D:\\MyViewer2", "D:\\MyViewer2"},         // contains it: as typed, no "\"
      {kWizardInstallDirField, "D:\\Viewer\\Old", "D:\\Viewer\\Old"},     // anywhere
      {kWizardStartMenuField, "", "Vendor\\Viewer Group"},                // emptied: the configured one back
      {kWizardStartMenuField, "Tools", "Tools\\Vendor\\Viewer Group"},
      {kWizardStartMenuField, "Tools\\", "Tools\\Vendor\\Viewer Group"},
      {kWizardStartMenuField, "My Vendor\\Viewer Group 2", "My Vendor\\Viewer Group 2"},
  };
  for (const auto& f : fields) {
    ASSERT_TRUE(Type(f.field, f.typed));
    EXPECT_EQ(TextOf(f.field), f.left) << "typed " << f.typed;
  }

  // The Change buttons complete what their dialogs answer. The browser
  // starts at the configured folder, whatever the field holds; the
  // start-menu dialog lists the user's and the common program folders
  // (Apps, Apps\Viewer Group, Games, Tools, Tools\Sub) and adds the last
  // component of the configured folder.
  Write("user/Tools/Sub/link.lnk", "");
  Write("common/Apps/Viewer Group/link.lnk", "");
  Write("common/Games/link.lnk", "");
  SystemDoubleSetSpecialFolder(2, Native("user") + "/");
  SystemDoubleSetSpecialFolder(23, Native("common") + "/");
  const int kDialogTree = 1, kDialogApply = 2, kCloseDialog = -1;
  const struct {
    int button;
    const char* answer;  // the browser's answer
    int item;            // the tree item chosen, or kCloseDialog
    const char* field;
  } changes[] = {
      {kWizardInstallDirChange, "D:\\Apps\\", 0, "D:\\Apps\\Viewer"},
      {kWizardInstallDirChange, "D:\\Viewer\\", 0, "D:\\Viewer\\"},
      {kWizardInstallDirChange, "D:\\Old Viewer", 0, "D:\\Old Viewer\\"},  // the browser adds the "\\"
      {kWizardInstallDirChange, "", 0, "D:\\Old Viewer\\"},             // cancelled
      {kWizardStartMenuChange, "", 4, "Tools\\Sub\\Viewer Group"},
      {kWizardStartMenuChange, "", 1, "Apps\\Viewer Group"},
      {kWizardStartMenuChange, "", kCloseDialog, "Apps\\Viewer Group"},
  };
  for (const auto& c : changes) {
    WindowDoubleClick(c.button);
    if (c.button == kWizardInstallDirChange) {
      FolderBrowserDoubleQueueAnswer(c.answer);
    } else if (c.item == kCloseDialog) {
      WindowDoubleCloseRequest();
    } else {
      WindowDoubleSelect(kDialogTree, c.item);
      WindowDoubleClick(kDialogApply);
    }
    ASSERT_TRUE(Step());
    EXPECT_EQ(TextOf(c.button == kWizardInstallDirChange ? kWizardInstallDirField : kWizardStartMenuField), c.field)
        << c.answer << c.item;
  }
  ASSERT_EQ(FolderBrowserDoubleCalls().size(), 4u);
  EXPECT_EQ(FolderBrowserDoubleCalls()[3].prompt, "Please select a directory");
  EXPECT_EQ(FolderBrowserDoubleCalls()[3].startFolder, "C:\\Program Files\\Tools\\Viewer");
  EXPECT_EQ(FolderBrowserDoubleCalls()[3].owner, OsWindowHandle(w));

  // A click in a field is no lost focus: the text stays as it is.
  for (int field : {kWizardInstallDirField, kWizardStartMenuField}) {
    OsSetText(w, field, "Solo");
    ASSERT_TRUE(Click(field));
    EXPECT_EQ(TextOf(field), "Solo");
  }
  ASSERT_TRUE(Type(kWizardStartMenuField, "Tools\\Vendor\\Viewer Group"));

  // The install goes into a folder of the test.
  ASSERT_TRUE(Type(kWizardInstallDirField, dir_ + "/target"));
  EXPECT_EQ(TextOf(kWizardInstallDirField), dir_ + "/target\\Viewer");

  ASSERT_TRUE(Click(kWizardNoStartMenu));
  EXPECT_FALSE(Enabled(kWizardStartMenuField) || Enabled(kWizardStartMenuChange));
  ASSERT_TRUE(Click(kWizardNoStartMenu));
  EXPECT_TRUE(Enabled(kWizardStartMenuField) && Enabled(kWizardStartMenuChange));
  ASSERT_TRUE(Click(kWizardNoStartMenu));  // ticked for the install

  // Information, install page, and back and forth between them.
  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage4);
  EXPECT_EQ(Header(), "Information / A short description of the program");
  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage5);
  EXPECT_EQ(frame()->defaultButton, kWizardInstall);
  EXPECT_EQ(frame()->cancelControl, 0) << "Escape does not cancel on the install page";
  ASSERT_TRUE(Click(kWizardBack));
  EXPECT_EQ(Shown(), kPage4);
  EXPECT_EQ(Header(), "Information / A short description of the program");
  ASSERT_TRUE(Click(kWizardBack));
  EXPECT_EQ(Shown(), kPage3);
  ASSERT_TRUE(Click(kWizardBack));
  EXPECT_EQ(Shown(), kPage2);
  EXPECT_EQ(Header(), "Licence Agreement / Please read the following information before continuing.");
  EXPECT_TRUE(Enabled(kWizardNext)) << "still accepted";
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage5);

  const int drainsBefore = WindowDoubleDrains();
  ASSERT_TRUE(Click(kWizardInstall));
  EXPECT_EQ(Shown(), "side install Finish");
  EXPECT_EQ(TextOf(kWizardStatusLine), "Installation completed");
  EXPECT_TRUE(OsControlVisible(w, kWizardStartProgram));
  EXPECT_FALSE(OsControlVisible(w, kWizardProgress));
  EXPECT_EQ(OsGetState(w, kWizardStartProgram), 1) << "from the start flag";
  EXPECT_TRUE(FileExists(dir_ + "/target/Viewer/Viewer.exe"));
  EXPECT_TRUE(FileExists(dir_ + "/target/Viewer/notes.txt"));
  EXPECT_STREQ(getenv("InstallDir"), (dir_ + "/target\\Viewer\\").c_str());
  const WindowDoubleControlRecord* log = WindowDoubleControl(kWizardInstallLog);
  // The title line, no author line (setup.ini names none), the copy, and a
  // line per step made: the entry, the desktop link, no start-menu links.
  EXPECT_EQ(log->lines, std::vector<std::string>({"Demo  -  Version 1.0", "", "Copy Program Files   -->   *** Completed ***",
                                                  "", "Create Uninstaller Entry", "Create Desktop Icon",
                                                  "Create additional Links"}));
  EXPECT_TRUE(FileExists(dir_ + "/target/Viewer/uninstall.dat"));
  const WindowDoubleControlRecord* bar = WindowDoubleControl(kWizardProgress);
  EXPECT_EQ(bar->progressMax * 1000 + bar->progress, 12012) << "7 + 5 bytes";
  // The status line; the log header; the copy's running line, each of the
  // two files and the copy's end; the entry, the desktop link and the task
  // line; and one after the uninstall record, the last step.
  EXPECT_EQ(WindowDoubleDrains() - drainsBefore, 10);
  EXPECT_TRUE(::Setup().choices.desktop);
  EXPECT_FALSE(::Setup().choices.startMenu) << "the no-start-menu box is ticked";
  EXPECT_EQ(::Setup().choices.startMenuFolder, "Tools\\Vendor\\Viewer Group");
  EXPECT_EQ(frame()->defaultButton, kWizardFinish);

  ASSERT_TRUE(Click(kWizardStartProgram));
  EXPECT_FALSE(Click(kWizardFinish));
  EXPECT_FALSE(::Setup().flags.start) << "the box was cleared";
  EXPECT_FALSE(::Setup().flags.cancelled);
  EXPECT_TRUE(FolderExists(work_)) << "the final stage deletes it";
  EXPECT_EQ(WindowDoubleDroppedActions(), 0);
  EndWizard(&loop_);
  EXPECT_EQ(WindowDoubleTopWindow(), 0);
}

// Without licence and readme the pages jump both ways; the settings that
// hide controls; the Escape and Enter keys follow the page.
TEST_F(WizardFlowTest, MissingPagesAreSkippedBothWays) {
  ::Setup().product.progExe = "Viewer.hlp";
  WriteIni("StartMenu=0\r\nDesktop=1\r\nStartProg=1\r\n", "", "%ProgramFiles%");
  WriteWork("licence.rtf", "");  // empty: no licence page
  WriteWork("header.ico", "icon");
  Open();
  OsWindow w = loop_.window;
  EXPECT_FALSE(OsControlVisible(w, kWizardHomepage)) << "no Web address";
  EXPECT_EQ(WindowDoubleControl(kWizardHeaderIcon)->image, work_ + "header.ico");
  EXPECT_EQ(WindowDoubleControl(kWizardSidePicture)->image, "");
  EXPECT_FALSE(::Setup().flags.start) << "Viewer.hlp is no program";

  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage3);
  EXPECT_EQ(Header(), "Setup Settings / Installation Directory, StartMenu Folder and Desktop Icon");
  for (int id : {kWizardStartMenuLabel, kWizardStartMenuField, kWizardStartMenuChange, kWizardNoStartMenu,
                 kWizardDesktop}) {
    EXPECT_FALSE(OsControlVisible(w, id)) << id;
  }
  EXPECT_EQ(OsGetState(w, kWizardDesktop), 1) << "hidden but ticked";
  EXPECT_TRUE(OsControlVisible(w, kWizardInstallDirField));
  ASSERT_TRUE(Type(kWizardInstallDirField, "D:\\Apps"));
  EXPECT_EQ(TextOf(kWizardInstallDirField), "D:\\Apps\\") << "no program folder name: only the \\";
  OsSetText(w, kWizardInstallDirField, dir_ + "/target");
  ASSERT_TRUE(Click(kWizardNext));
  EXPECT_EQ(Shown(), kPage5);
  ASSERT_TRUE(Click(kWizardBack));
  EXPECT_EQ(Shown(), kPage3);
  ASSERT_TRUE(Click(kWizardBack));
  EXPECT_EQ(Shown(), kPage1);
  EXPECT_EQ(WindowDoubleWindow(w)->cancelControl, kWizardCancel);
  EXPECT_EQ(WindowDoubleWindow(w)->defaultButton, kWizardNext);

  ASSERT_TRUE(Click(kWizardNext));
  ASSERT_TRUE(Click(kWizardNext));
  ASSERT_TRUE(Click(kWizardInstall));
  EXPECT_EQ(Shown(), "side install Finish");
  EXPECT_FALSE(OsControlVisible(w, kWizardStartProgram)) << "no start-program box for a .hlp";
  EXPECT_EQ(WindowDoubleDroppedActions(), 0);
}

// The flags the preparation settles, and what each end of the loop leaves
// for the final stage.
TEST_F(WizardFlowTest, EndsOfTheLoopLeaveTheirFlags) {
  enum End { kCancel, kClose, kFinishTicked, kFinishCleared };
  const struct {
    const char* progExe;
    int startProg, reboot;
    bool startAfterPrep;
    End end;
    bool start, rebootAfter, cancelled, workFolderKept;
  } cases[] = {
      {"Viewer.exe", 1, 0, true, kCancel, false, false, true, true},
      {"Viewer.exe", 1, 1, false, kCancel, false, false, true, true},
      {"Viewer.EXE", 1, 0, true, kClose, true, false, false, false},
      {"Viewer.exe", 1, 1, false, kClose, false, true, false, false},
      {"Viewer.exe", 0, 0, false, kFinishTicked, true, false, false, true},
      {"Viewer.exe", 1, 1, false, kFinishCleared, false, true, false, true},
      {"Viewer.exe.bak", 1, 0, false, kClose, false, false, false, false},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(row++);
    ResetWindowDouble();
    ResetWizardWindow();
    MakeFolder(work_);
    ::Setup().product.progExe = c.progExe;
    WriteIni("StartProg=" + std::to_string(c.startProg) + "\r\nReboot=" + std::to_string(c.reboot) + "\r\n");
    WriteWork(kWhileHook, "#!/bin/sh\nexec sleep 60\n");
    fs::permissions(work_ + kWhileHook, fs::perms::owner_all);
    Open();
    Program hook = ::Setup().flags.whileHook;
    EXPECT_TRUE(ProgramRunning(hook));
    EXPECT_EQ(::Setup().flags.start, c.startAfterPrep);
    EXPECT_EQ(::Setup().flags.reboot, c.reboot != 0);
    switch (c.end) {
      case kCancel:
        EXPECT_FALSE(Click(kWizardCancel));
        break;
      case kClose:
        WindowDoubleCloseRequest();
        EXPECT_FALSE(Step());
        break;
      case kFinishTicked:
      case kFinishCleared:
        for (int i = 0; i < 2; ++i) ASSERT_TRUE(Click(kWizardNext));
        OsSetText(loop_.window, kWizardInstallDirField, dir_ + "/target");
        ASSERT_TRUE(Click(kWizardInstall));
        if (OsGetState(loop_.window, kWizardStartProgram) != (c.end == kFinishTicked ? 1 : 0)) {
          ASSERT_TRUE(Click(kWizardStartProgram));
        }
        EXPECT_FALSE(Click(kWizardFinish));
        break;
    }
    EXPECT_EQ(::Setup().flags.start, c.start);
    EXPECT_EQ(::Setup().flags.reboot, c.rebootAfter);
    EXPECT_EQ(::Setup().flags.cancelled, c.cancelled);
    EXPECT_TRUE(::Setup().flags.quit);
    EXPECT_EQ(FolderExists(work_), c.workFolderKept);
    EXPECT_FALSE(IsProgram(hook)) << "the while-hook is ended";
    EXPECT_EQ(WindowDoubleDroppedActions(), 0);
    EndWizard(&loop_);
  }
}

}  // namespace

namespace {

// The viewer shows rich text by the file's extension in any case, and a
// file that cannot be opened leaves it as it was.
TEST_F(WizardFlowTest, TextFilesLoadByTheirExtension) {
  loop_.window = BuildWizardWindow("Demo");
  ASSERT_NE(loop_.window, 0);
  const struct {
    const char* name;
    bool rtf;
  } cases[] = {{"a.RTF", true}, {"b.Rtf", true}, {"c.txt", false}, {"d.rtf.txt", false}, {"rtf", false},
               {"f.rtf/notes", false}, {"e.rtfx", false}};
  MakeFolder(work_ + "f.rtf");
  for (const auto& c : cases) {
    WriteWork(c.name, c.name);
    EXPECT_TRUE(LoadTextFile(loop_.window, kWizardInfoText, work_ + c.name)) << c.name;
    EXPECT_EQ(WindowDoubleControl(kWizardInfoText)->richTextIsRtf, c.rtf) << c.name;
    EXPECT_EQ(TextOf(kWizardInfoText), c.name);
  }
  EXPECT_FALSE(LoadTextFile(loop_.window, kWizardInfoText, work_ + "missing.rtf"));
  EXPECT_EQ(TextOf(kWizardInfoText), "e.rtfx");
}

}  // namespace
