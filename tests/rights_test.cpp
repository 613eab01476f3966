// The login retry: one more attempt after a failure, and only after the
// login was offered to a process without the rights. Then the login itself
// over the window, message box and logon doubles: the dialog's answers one
// table, the logon kept in the run state and ended by the
// final stage, the retry at each call site one table, and a whole quiet run
// that needs the login before its work folder exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "actions/confirmed_copy.h"
#include "app/admin.h"
#include "app/finish.h"
#include "app/install.h"
#include "app/setup_main.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/logon_double.h"
#include "platform/message_box_double.h"
#include "platform/script_double.h"
#include "platform/system_double.h"
#include "platform/window_double.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/rights.h"
#include "package_file.h"
#include "test_env.h"
#include "ui/language.h"
#include "ui/login_dialog.h"

namespace fs = std::filesystem;

namespace {

bool g_admin = false;
int g_rightsAsked = 0;
int g_offers = 0;
bool CountRightsAsked() {
  g_rightsAsked++;
  return g_admin;
}
void CountOffer() { g_offers++; }

TEST(TryWithLogin, RetriesOnceAfterTheLoginOnlyWithoutRights) {
  struct Case {
    bool installed;  // a login offer is in place
    bool admin;
    bool firstOk;
    bool secondOk;
    int attempts;
    int rightsAsked;
    int offers;
    bool result;
  };
  const Case cases[] = {
      {true, true, true, true, 1, 0, 0, true},      {true, true, false, true, 1, 1, 0, false},
      {true, true, false, false, 1, 1, 0, false},   {true, false, true, false, 1, 0, 0, true},
      {true, false, false, true, 2, 1, 1, true},    {true, false, false, false, 2, 1, 1, false},
      {false, false, false, true, 1, 0, 0, false},  {false, false, true, true, 1, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.installed ? "" : "no login, ") << (c.admin ? "admin" : "user")
                                    << ", first " << c.firstOk << ", second " << c.secondOk);
    if (c.installed) {
      SetLoginOffer(CountRightsAsked, CountOffer);
    } else {
      SetLoginOffer(nullptr, nullptr);
    }
    g_admin = c.admin;
    g_rightsAsked = 0;
    g_offers = 0;
    int attempts = 0;
    bool result = TryWithLogin([&] { return ++attempts == 1 ? c.firstOk : c.secondOk; });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(g_rightsAsked, c.rightsAsked);
    EXPECT_EQ(g_offers, c.offers);
  }
  // The login comes once per run: a later failure is final without it.
  SetLoginOffer(CountRightsAsked, CountOffer);
  g_admin = false;
  g_offers = 0;
  int tries = 0;
  EXPECT_FALSE(TryWithLogin([&] { return ++tries == 3; }));
  EXPECT_FALSE(TryWithLogin([&] { return ++tries == 4; }));
  EXPECT_EQ(tries, 3);
  EXPECT_EQ(g_offers, 1);
  // Half an offer is none.
  SetLoginOffer(CountRightsAsked, nullptr);
  int attempts = 0;
  EXPECT_FALSE(TryWithLogin([&] { return ++attempts == 2; }));
  EXPECT_EQ(attempts, 1);
  SetLoginOffer(nullptr, nullptr);
}

// ------------------------------------------------------------ the login --

const char kLoginTitle[] = " Login as administrator";

// The windows of the login dialog opened since the window double's reset.
int LoginDialogsOpened() {
  int count = 0;
  for (OsWindow w = 1; WindowDoubleWindow(w); ++w) count += WindowDoubleWindow(w)->shape.title == kLoginTitle;
  return count;
}

// The user's part: what is typed and pressed, in order.
struct Typed {
  const char* user;      // null: the field is left as it is
  const char* password;
  bool login;            // press Login, else close the dialog
};

void Script(const std::vector<Typed>& steps) {
  for (const Typed& step : steps) {
    if (step.user) WindowDoubleType(kLoginUser, step.user);
    if (step.password) WindowDoubleType(kLoginPassword, step.password);
    if (step.login) {
      WindowDoubleClick(kLoginButton);
    } else {
      WindowDoubleCloseRequest();
    }
  }
}

class LoginTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    LoadDefaultTexts("Viewer", "");
    LogonDoubleAccept("admin", "secret");
  }
};

TEST_F(LoginTest, DialogAnswers) {
  const struct Case {
    const char* what;
    std::vector<Typed> script;
    bool loggedOn;
    int errorBoxes;
    std::vector<std::string> attempts;  // user|domain|password
  } cases[] = {
      {"right at once", {{"admin", "secret", true}}, true, 0, {"admin|.|secret"}},
      {"two failures, then right",
       {{"admin", "wrong", true}, {nullptr, nullptr, true}, {"admin", "secret", true}},
       true,
       2,
       {"admin|.|wrong", "|.|", "admin|.|secret"}},  // the fields are empty after a failure
      {"closed", {{"admin", "secret", false}}, false, 0, {}},
      {"a failure, then closed", {{"guest", "guest", true}, {nullptr, nullptr, false}}, false, 1, {"guest|.|guest"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWindowDouble();
    ResetMessageBoxDouble();
    ResetLogonDouble();
    LogonDoubleAccept("admin", "secret");
    Script(c.script);
    const OsLogon logon = ShowLoginDialog();
    EXPECT_EQ(logon != 0, c.loggedOn);
    EXPECT_EQ(LogonDoubleActingAs(), logon);
    std::vector<std::string> attempts;
    for (const LogonDoubleAttempt& a : LogonDoubleAttempts()) attempts.push_back(a.user + "|" + a.domain + "|" + a.password);
    EXPECT_EQ(attempts, c.attempts);
    ASSERT_EQ(MessageBoxDoubleBoxes().size(), static_cast<size_t>(c.errorBoxes));
    for (const MessageBoxRecord& box : MessageBoxDoubleBoxes()) {
      EXPECT_EQ(box.caption, "Error - Login");
      EXPECT_EQ(box.text, "Login failed.");
      EXPECT_EQ(box.flags, 0x10u);
    }
    EXPECT_EQ(WindowDoubleScriptLeft(), 0u);
    EXPECT_EQ(WindowDoubleDroppedActions(), 0);

    // The layout is checked in a real window (tests/e2e/test_login.sh).
    ASSERT_EQ(LoginDialogsOpened(), 1);
    EXPECT_FALSE(WindowDoubleWindow(1)->open);
  }
}

TEST_F(LoginTest, LogonIsKeptInTheRunStateAndEndedByTheFinalStage) {
  LogonDoubleAccept("other", "pw");
  SetupState& s = ::Setup();
  Script({{"admin", "secret", true}});
  OfferLogin();
  const OsLogon first = s.login.logonToken;
  EXPECT_NE(first, 0u);
  EXPECT_EQ(s.login.loggedInAsAdmin, 1);
  // A later login replaces the token; the first is closed, the process acts
  // as the second.
  Script({{"other", "pw", true}});
  OfferLogin();
  EXPECT_NE(s.login.logonToken, first);
  EXPECT_EQ(LogonDoubleActingAs(), s.login.logonToken);
  EXPECT_EQ(LogonDoubleOpenTokens(), 1);
  // Closing the dialog changes nothing.
  Script({{nullptr, nullptr, false}});
  const OsLogon second = s.login.logonToken;
  OfferLogin();
  EXPECT_EQ(s.login.logonToken, second);

  RunFinalStage(s.options, s.paths, s.product, s.installed, s.flags, &s.login);
  EXPECT_EQ(LogonDoubleActingAs(), 0u) << "back to the program's own identity";
  EXPECT_EQ(LogonDoubleOpenTokens(), 0);
  EXPECT_EQ(s.login.logonToken, 0u);
  EXPECT_EQ(s.login.loggedInAsAdmin, 1) << "the flag stays for the run";
  EXPECT_EQ(LoginDialogsOpened(), 3);
}

// What stands in the way of a call site until the login: removed by the
// logon, and a folder put in its place when the site needs one there.
std::string g_blocker;
bool g_folderAfterLogin = false;
void ClearBlocker() {
  fs::remove_all(g_blocker);
  if (g_folderAfterLogin) fs::create_directory(g_blocker);
}

TEST_F(LoginTest, EachCallSiteRetriesOnceAfterTheLogin) {
  enum Site { kWorkFolder, kInstallFolder, kExtractedFile, kConfirmedCopy };
  enum User { kLogsOn, kCloses, kAlreadyAdmin };
  const struct Case {
    Site site;
    User user;
    bool done;      // the operation succeeded in the end
    int dialogs;    // login dialogs shown
    int copyBoxes;  // the copy-error boxes the site shows
  } cases[] = {
      {kWorkFolder, kLogsOn, true, 1, 0},       {kWorkFolder, kCloses, false, 1, 1},
      {kWorkFolder, kAlreadyAdmin, false, 0, 1}, {kInstallFolder, kLogsOn, true, 1, 0},
      // The folder's offer is the run's one: the file that fails then is not offered it again.
      {kInstallFolder, kCloses, false, 1, 0},   {kInstallFolder, kAlreadyAdmin, false, 0, 0},
      {kExtractedFile, kLogsOn, true, 1, 0},    {kExtractedFile, kCloses, false, 1, 0},
      {kExtractedFile, kAlreadyAdmin, false, 0, 0},
      // The confirmed copy tells a second failure, and keeps quiet with the rights.
      {kConfirmedCopy, kLogsOn, true, 1, 0},    {kConfirmedCopy, kCloses, false, 1, 1},
      {kConfirmedCopy, kAlreadyAdmin, false, 0, 0},
  };
  LogonDoubleOnLogon(ClearBlocker);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "site " << c.site << ", user " << c.user);
    SetLoginOffer(HasAdminRights, OfferLogin);  // each row a run of its own
    const std::string root = Native("case" + std::to_string(&c - cases));
    fs::create_directories(root);
    ResetWindowDouble();
    ResetMessageBoxDouble();
    ResetSetup();
    SystemDoubleSetAdminRights(c.user == kAlreadyAdmin);
    if (c.user == kLogsOn) Script({{"admin", "secret", true}});
    if (c.user == kCloses) Script({{nullptr, nullptr, false}});
    bool done = false;
    switch (c.site) {
      case kWorkFolder: {
        // A file where the temporary folder should be.
        g_blocker = root + "/tmp";
        g_folderAfterLogin = true;
        Write(g_blocker, "");
        SystemDoubleSetTempPath(g_blocker);
        RunPaths paths;
        PrepareWorkFolderName(&paths);
        CreateWorkFolder(paths.workFolder);
        done = FolderExists(paths.workFolder);
        break;
      }
      case kInstallFolder:
      case kExtractedFile: {
        // A file where a parent of the installation folder should be, or a
        // folder where the program file goes.
        g_blocker = c.site == kInstallFolder ? root + "/locked" : root + "/locked/inst/View.exe";
        g_folderAfterLogin = false;
        if (c.site == kInstallFolder) Write(g_blocker, "");
        if (c.site == kExtractedFile) fs::create_directories(g_blocker);
        WritePackageFile(root + "/setup.pck", {{"View.exe", "program"}}, {});
        RunPaths paths;
        paths.workFolder = root + "/";
        SetupConfig config;
        config.noUninstall = 1;
        InstallChoices choices;
        choices.installDir = root + "/locked/inst";
        InstallResult result;
        InstallContext context;
        context.paths = &paths;
        context.product = &::Setup().product;
        context.config = &config;
        context.choices = &choices;
        context.result = &result;
        RunInstall(&context);
        done = fs::is_regular_file(root + "/locked/inst/View.exe") && Read(root + "/locked/inst/View.exe") == "program";
        break;
      }
      case kConfirmedCopy: {
        // A file where the target's folder should be.
        g_blocker = root + "/locked";
        g_folderAfterLogin = true;
        Write(g_blocker, "");
        Write(root + "/source.txt", "copied");
        done = CopyFileWithLogin(root + "/source.txt", root + "/locked/target.txt") &&
               Read(root + "/locked/target.txt") == "copied";
        break;
      }
    }
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(LoginDialogsOpened(), c.dialogs);
    EXPECT_EQ(::Setup().login.loggedInAsAdmin, c.user == kLogsOn ? 1 : 0);
    EXPECT_EQ(MessageBoxDoubleBoxes().size(), static_cast<size_t>(c.copyBoxes));
  }
  SystemDoubleSetTempPath("");
}

// A whole quiet run on a machine where the user may not make the work
// folder: a quiet run shows no window, so no login comes up; the login's
// quiet answer (closed) and the copy error's (OK) are in the audit log, and
// nothing is installed or run.
TEST_F(LoginTest, QuietRunLogsOnForItsWorkFolderAndRunsItsScript) {
  WritePackageFile(Native("inner.pck"), {{"View.exe", "program"}}, {});
  WritePackageFile(Native("Install.exe"),
                   {{"setup.ini", "[Info]\r\nTitel=Viewer\r\nGUID={G-7}\r\n[Settings]\r\nProgExe=View.exe\r\n"
                                  "[Task]\r\nScriptFile=Post.vbs\r\n"},
                    {"Post.vbs", "WScript.Echo zdProgDir"},
                    {"setup.pck", Read("inner.pck")}},
                   {'M', 'Z'});
  g_blocker = Native("tmp");
  g_folderAfterLogin = true;
  Write(g_blocker, "");
  SystemDoubleSetTempPath(g_blocker);
  SystemDoubleSetModuleFileName(Native("Install.exe"));
  SystemDoubleSetCommandLine("Install.exe /Q /R:0 \"/P:" + Win("inst") + "\" \"/L:" + Win("run.log") + "\"");
  SystemDoubleSetAdminRights(false);
  LogonDoubleOnLogon(ClearBlocker);
  Script({{"admin", "secret", true}});

  EXPECT_EQ(SetupMain(), 0);
  const SetupState& s = ::Setup();
  EXPECT_EQ(LoginDialogsOpened(), 0);
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_EQ(s.login.loggedInAsAdmin, 0);
  EXPECT_EQ(LogonDoubleActingAs(), 0u);
  EXPECT_FALSE(fs::exists(Native("inst")));
  EXPECT_TRUE(ScriptDoubleRuns().empty());
  const std::string log = Read("run.log");
  EXPECT_NE(log.find("quiet  asked  Login as administrator  login  answer  closed\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("quiet  asked  Error - Copy File  Copying file(s) failed.  answer  OK\r\n"), std::string::npos) << log;
  SystemDoubleSetTempPath("");
}

}  // namespace
