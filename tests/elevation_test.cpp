// Elevation through the system's prompt, over the doubles: whole runs of
// SetupMain on a package whose installation folder this token may not
// write. One table crosses needing the rights, the token (full, filtered
// with the prompt, no prompt on the system), quiet or wizard and the
// prompt's answer; then the wizard's Install with a typed folder, and the
// elevated run's side of the handover.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/folders.h"
#include "app/elevation.h"
#include "app/setup_main.h"
#include "app/setup_state.h"
#include "platform/elevation_double.h"
#include "platform/logon_double.h"
#include "platform/message_box_double.h"
#include "platform/registry_double.h"
#include "platform/shell_link_double.h"
#include "platform/system_double.h"
#include "platform/window_double.h"
#include "package_file.h"
#include "runtime/ini.h"
#include "test_env.h"
#include "ui/login_dialog.h"
#include "ui/wizard.h"

namespace {

// What the prompt's elevated run was handed, read while it "runs".
Handover g_handed;
bool g_handedRead = false;
bool g_windowShownDuringRun = true;
uint32_t g_elevatedCode = 0;

uint32_t RecordElevatedRun(const ElevationDoubleStart& start) {
  const std::string& p = start.parameters;
  const size_t at = p.find("\"/Z:");
  g_handedRead = at != std::string::npos && ReadHandover(p.substr(at + 4, p.find('"', at + 4) - at - 4), &g_handed);
  const WindowDoubleWindowRecord* wizard = WindowDoubleWindow(1);
  g_windowShownDuringRun = wizard && wizard->open && wizard->shown;
  return g_elevatedCode;
}

class ElevationTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    g_handed = Handover();
    g_handedRead = false;
    g_windowShownDuringRun = true;
    g_elevatedCode = 3;
    SystemDoubleSetWindowsDirectory(Win("win"));
    SystemDoubleSetSpecialFolder(kFolderDesktop, Win("desk"));
    MakeFolder("win/Temp");
    MakeFolder("desk");
    MakeFolder("pf");
    ElevationDoubleDenyWrites(Win("pf"));
    ElevationDoubleOnStart(RecordElevatedRun);
  }

  void BuildInstaller(const std::string& extraSettings = std::string()) {
    WritePackageFile(Native("inner.pck"), {{"View.exe", "program"}}, {});
    WritePackageFile(Native("Install.exe"),
                     {{"setup.ini", "[Info]\r\nTitel=Viewer\r\nGUID={G-E}\r\n[Settings]\r\nProgExe=View.exe\r\n"
                                    "DefaultDir=View\r\nLanguage=English.lng#9|German.lng#7|\r\n" +
                                        extraSettings + "[Task]\r\nDesktop=1\r\n"},
                      {"English.lng", "[Buttons]\r\nNext=Next\r\n"},
                      {"German.lng", "[Buttons]\r\nNext=Weiter\r\n"},
                      {"setup.pck", Read("inner.pck")}},
                     {'M', 'Z'});
    SystemDoubleSetModuleFileName(Native("Install.exe"));
    SystemDoubleSetUserDefaultLangID(9);
  }
  int Run(const std::string& arguments) {
    SystemDoubleSetCommandLine("Install.exe /R:0 /E \"/L:" + Win("audit.log") + "\" " + arguments);
    return SetupMain();
  }
  int LoginDialogsOpened() const {
    int count = 0;
    for (OsWindow w = 1; WindowDoubleWindow(w); ++w) count += WindowDoubleWindow(w)->shape.title == " Login as administrator";
    return count;
  }
};

TEST_F(ElevationTest, StartUpDecidesOnceAndTheElevatedRunsCodeEndsTheRun) {
  const struct Case {
    const char* what;
    bool quiet;
    bool folderNeedsRights;
    OsElevation token;
    OsElevatedStart answer;
    int prompts;
    bool installedHere;  // this run wrote the program file
    int exitCode;
    int logins;
  } cases[] = {
      {"writable folder", true, false, kElevationAvailable, kElevatedStarted, 0, true, 0, 0},
      {"full token", true, true, kElevationFull, kElevatedStarted, 0, true, 0, 0},
      {"quiet, accepted", true, true, kElevationAvailable, kElevatedStarted, 1, false, 3, 0},
      {"wizard, accepted", false, true, kElevationAvailable, kElevatedStarted, 1, false, 3, 0},
      // Without the rights the folder cannot be made: nothing installed, and
      // no login where the prompt could have helped.
      {"quiet, declined", true, true, kElevationAvailable, kElevatedDeclined, 0, false, 4, 0},
      {"quiet, prompt failed", true, true, kElevationAvailable, kElevatedFailed, 0, false, 4, 0},
      // ... and quietly no login either: a quiet run shows no window.
      {"no prompt on this system", true, true, kElevationUnavailable, kElevatedStarted, 0, false, 4, 0},
  };
  BuildInstaller();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEverything();
    SetUp();
    BuildInstaller();
    ElevationDoubleSetState(c.token);
    ElevationDoubleSetPromptAnswer(c.answer);
    SystemDoubleSetAdminRights(false);
    // Where the run has to go on without the rights, what it cannot write
    // really fails: a file stands where the folder's parent should be.
    const bool blocked = c.folderNeedsRights && c.token != kElevationFull;
    const std::string folder = c.folderNeedsRights ? "pf\\blocked\\View" : "free\\View";
    if (blocked) Write("pf/blocked", "");
    if (!c.quiet) WindowDoubleCloseRequest();
    WindowDoubleCloseRequest();  // the login dialog, when one opens
    EXPECT_EQ(Run(std::string(c.quiet ? "/Q " : "") + "\"/P:" + Win(folder) + "\""), c.exitCode);
    ASSERT_EQ(ElevationDoubleStarts().size(), static_cast<size_t>(c.answer == kElevatedStarted ? c.prompts : 0));
    EXPECT_EQ(Exists(Native(folder + "\\View.exe")), c.installedHere);
    EXPECT_EQ(LoginDialogsOpened(), c.logins);
    if (c.prompts == 1) {
      const ElevationDoubleStart& start = ElevationDoubleStarts()[0];
      EXPECT_EQ(start.program, Native("Install.exe"));
      EXPECT_EQ(start.parameters.find("/R:0 /E \"/L:"), 0u) << "the command line goes along: " << start.parameters;
      EXPECT_EQ(start.parameters.find("/Q") != std::string::npos, c.quiet);
      ASSERT_TRUE(g_handedRead);
      EXPECT_FALSE(g_handed.atInstall);
      EXPECT_EQ(g_handed.languageFile, "English.lng");
      EXPECT_EQ(g_handed.userSid, "S-1-5-21-1000");
      EXPECT_EQ(g_handed.userFolders[0], Win("desk") + "\\");
      EXPECT_EQ(WindowDoubleWindow(1), nullptr) << "no wizard of this run's own";
      EXPECT_FALSE(FolderExists(::Setup().paths.workFolder)) << "its work folder is gone";
    }
  }
}

TEST_F(ElevationTest, TypedFolderAtInstallHandsTheChoicesOver) {
  BuildInstaller("[StartMenue]\r\nDefaultDir=Viewer Group\r\n");
  ElevationDoubleSetState(kElevationAvailable);
  g_elevatedCode = 0;
  // The folder of "/P" is free; the one typed on the settings page is not.
  WindowDoubleClick(kWizardNext);
  WindowDoubleType(kWizardInstallDirField, Win("pf\\Typed"));
  WindowDoubleClick(kWizardNext);
  WindowDoubleClick(kWizardInstall);
  EXPECT_EQ(Run("\"/P:" + Win("free\\View") + "\""), 0);
  ASSERT_EQ(ElevationDoubleStarts().size(), 1u);
  ASSERT_TRUE(g_handedRead);
  EXPECT_TRUE(g_handed.atInstall);
  EXPECT_EQ(g_handed.choices.installDir, Win("pf\\Typed\\View"));
  EXPECT_TRUE(g_handed.choices.desktop);
  EXPECT_FALSE(g_windowShownDuringRun) << "one wizard as the user sees it";
  EXPECT_FALSE(Exists("pf/Typed/View/View.exe"));
  EXPECT_FALSE(Exists("free/View/View.exe"));
  EXPECT_EQ(WindowDoubleScriptLeft(), 0u);
}

TEST_F(ElevationTest, ElevatedRunTakesTheHandover) {
  BuildInstaller();
  Handover handover;
  handover.languageFile = "German.lng";
  handover.languageNumber = 7;
  handover.userSid = "S-1-5-21-2000";  // another account answered the prompt
  handover.userFolders[0] = Win("userdesk");
  MakeFolder("userdesk");
  ASSERT_TRUE(WriteHandover(Win("handover.ini"), handover));
  // The test build's limited token does not reach a run that was handed over.
  ElevationDoubleSetState(kElevationFull);
  EXPECT_EQ(Run("/Q \"/P:" + Win("pf\\View") + "\" \"/Z:" + Win("handover.ini") + "\""), 0);
  const SetupState& s = ::Setup();
  EXPECT_TRUE(s.elevation.elevatedRun);
  EXPECT_TRUE(ElevationDoubleStarts().empty()) << "never asks again";
  EXPECT_EQ(s.languageFile, "German.lng") << "no second language choice";
  EXPECT_EQ(s.languageNumber, 7);
  EXPECT_EQ(ElevationDoubleUserRegistry(), "S-1-5-21-2000");
  EXPECT_EQ(s.paths.workFolder.find(Win("win\\Temp\\{")), 0u) << s.paths.workFolder;
  EXPECT_EQ(Read("pf/View/View.exe"), "program");
  ASSERT_EQ(ShellLinkDoubleLinks().size(), 1u);
  EXPECT_EQ(ShellLinkDoubleLinks()[0].linkFile, Win("userdesk\\Viewer.lnk")) << "the starting user's desktop";

  // A handover that fails its checks is not taken, and the run still never asks.
  ResetEverything();
  SetUp();
  BuildInstaller();
  Write("bad.ini", "[Run]\r\nUserSid=not a sid\r\n[Folders]\r\n0=..\\..\\elsewhere\r\n");
  ElevationDoubleSetState(kElevationAvailable);
  Run("/Q \"/P:" + Win("free\\View") + "\" \"/Z:" + Win("bad.ini") + "\"");
  EXPECT_FALSE(::Setup().elevation.elevatedRun);
  EXPECT_TRUE(ElevationDoubleStarts().empty());
  EXPECT_TRUE(ElevationDoubleUserRegistry().empty());
}

// A folder that cannot be made sound is refused before anything is written:
// no files, no entry, no links, exit 4.
TEST_F(ElevationTest, UnsoundFolderIsRefusedWhole) {
  BuildInstaller();
  EXPECT_EQ(Run("/Q \"/P:C:\\a\\...\\b\""), 4);
  EXPECT_TRUE(RegistryDoubleWrites().empty());
  EXPECT_TRUE(ShellLinkDoubleLinks().empty());
  EXPECT_NE(Read("audit.log").find("install  refused  the installation folder cannot be made sound"),
            std::string::npos);
}

// "/?" shows the switches and installs nothing, even where the folder would
// need the prompt.
TEST_F(ElevationTest, HelpSwitchShowsTheSwitchesAndInstallsNothing) {
  BuildInstaller();
  ElevationDoubleSetState(kElevationAvailable);
  EXPECT_EQ(Run("/? /SILENT \"/P:" + Win("pf\\View") + "\""), 0);
  ASSERT_EQ(MessageBoxDoubleBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxDoubleBoxes()[0].caption, "Setup");
  EXPECT_NE(MessageBoxDoubleBoxes()[0].text.find("/P:folder"), std::string::npos);
  EXPECT_TRUE(ElevationDoubleStarts().empty());
  EXPECT_TRUE(::Setup().paths.workFolder.empty());
  EXPECT_FALSE(Exists("pf/View"));
  EXPECT_NE(Read("audit.log").find("start  ignored argument  /SILENT\r\n"), std::string::npos);
}

}  // namespace
