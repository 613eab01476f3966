// Start-up steps, the program-running check, the hook programs, the final
// stage and the install steps, run in-process over the system, dialog and
// registry doubles with small shell scripts standing in for the hook programs.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/finish.h"
#include "app/hooks.h"
#include "app/install.h"
#include "app/setup_main.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "package/package.h"
#include "platform/message_box_double.h"
#include "platform/registry_double.h"
#include "platform/system.h"
#include "platform/system_double.h"
#include "platform/window_double.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/program_runner.h"
#include "runtime/rights.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "package_file.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

const char kModulePath[] = "C:\\Setup Files\\Install.exe";

class StartupTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    const char* old = getenv("SetupExeDir");
    hadSetupExeDir_ = old != nullptr;
    if (old) oldSetupExeDir_ = old;
    SystemDoubleSetTempPath(dir_);
    SystemDoubleSetModuleFileName(kModulePath);
  }
  void TearDown() override {
    if (hadSetupExeDir_) {
      setenv("SetupExeDir", oldSetupExeDir_.c_str(), 1);
    } else {
      unsetenv("SetupExeDir");
    }
    TempFolderTest::TearDown();
  }

  // Names a fresh work folder under the test folder and creates it.
  std::string MakeWorkFolder() {
    PrepareWorkFolderName(&paths_);
    CreateWorkFolder(paths_.workFolder);
    EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
    EXPECT_TRUE(FolderExists(paths_.workFolder));
    return Native(paths_.workFolder);
  }

  // An executable shell script at a native path.
  void Script(const std::string& path, const std::string& body) const {
    Write(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  }

  // Hooks that append their name and argument count to a log beside the
  // work folder; the relative path only works from the work folder.
  void WriteHooks(const std::string& work, int beforeExitCode) {
    Script(work + kBeforeHook, "echo \"before $#\" >> ../hooks.log\nexit " + std::to_string(beforeExitCode));
    Script(work + kAfterHook, "echo \"after $#\" >> ../hooks.log");
  }
  std::string HookLog() const { return Read(dir_ + "/hooks.log"); }

  // The final stage of a run in paths_, with product_ and installed_.
  void FinalStage(const RunFlags& flags, int8_t hookMode = kHookModeBoth) {
    RunOptions options;
    options.hookMode = hookMode;
    RunFinalStage(options, paths_, product_, installed_, flags);
  }

  RunPaths paths_;
  ProductInfo product_;
  InstallResult installed_;
  bool hadSetupExeDir_ = false;
  std::string oldSetupExeDir_;
};

// ----------------------------------------------------------- start-up --

TEST_F(StartupTest, ReadRunOptionsStartsFromTheDefaults) {
  RunOptions options;
  options.quiet = true;
  options.installDirOverride = "stale";
  SystemDoubleSetCommandLine("\"C:\\Setup Files\\Install.exe\" /R:3 /s:Menu");
  ReadRunOptions(&options);
  EXPECT_FALSE(options.quiet);
  EXPECT_EQ(options.installDirOverride, "");
  EXPECT_EQ(options.startMenuOverride, "Menu");
  EXPECT_EQ(options.hookMode, 3);
}

TEST_F(StartupTest, WorkFolderNameIsTemporaryFolderAndANewGuid) {
  RunPaths s;
  PrepareWorkFolderName(&s);
  std::string temp = GetTemporaryFolder();
  ASSERT_EQ(s.workFolder.substr(0, temp.size()), temp);
  EXPECT_EQ(temp.substr(0, dir_.size()), dir_);
  std::string guid = s.workFolder.substr(temp.size());
  ASSERT_EQ(guid.size(), 39u) << guid;
  EXPECT_EQ(guid.back(), '\\');
  guid.pop_back();
  EXPECT_TRUE(std::regex_match(
      guid, std::regex("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}")))
      << guid;
  EXPECT_EQ(s.exePath, kModulePath);
  EXPECT_EQ(s.setupFolder, "C:\\Setup Files\\");
  EXPECT_EQ(s.iniPath, s.workFolder + "setup.ini");
  EXPECT_EQ(OsGetEnvironment("SetupExeDir"), "C:\\Setup Files\\");
  // Nothing is created yet.
  EXPECT_FALSE(FolderExists(s.workFolder));
}

TEST_F(StartupTest, EveryRunGetsItsOwnWorkFolder) {
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    RunPaths paths;
    PrepareWorkFolderName(&paths);
    names.insert(paths.workFolder);
  }
  EXPECT_EQ(names.size(), 20u);
}

TEST_F(StartupTest, SetupFolderOfAPosixModulePath) {
  SystemDoubleSetModuleFileName("/opt/setup/zandor-setup");
  RunPaths paths;
  PrepareWorkFolderName(&paths);
  EXPECT_EQ(paths.setupFolder, "/opt/setup/");
  EXPECT_EQ(OsGetEnvironment("SetupExeDir"), "/opt/setup/");
}

TEST_F(StartupTest, CreateWorkFolderMakesTheFolderQuietly) {
  std::string work = MakeWorkFolder();
  EXPECT_TRUE(fs::is_directory(work));
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
}

TEST_F(StartupTest, StartUpPutsInTheLoginRetry) {
  // Before start-up nothing offers a login; after it, a failed attempt is
  // made once more, and only without administrator rights.
  for (bool started : {false, true}) {
    for (bool admin : {true, false}) {
      SCOPED_TRACE(std::string(started ? "started" : "not started") + (admin ? ", administrator" : ", user"));
      if (started) InitRuntime(ProductInfo());
      SystemDoubleSetAdminRights(admin);
      int attempts = 0;
      TryWithLogin([&] { return ++attempts == 2; });
      EXPECT_EQ(attempts, started && !admin ? 2 : 1);
    }
  }
}

TEST_F(StartupTest, WorkFolderThatCannotBeMadeShowsTheCopyError) {
  InitRuntime(ProductInfo());
  for (bool admin : {true, false}) {
    SCOPED_TRACE(admin ? "administrator" : "user");
    ResetMessageBoxDouble();
    SystemDoubleSetAdminRights(admin);
    SystemDoubleSetTempPath(dir_ + "/missing");
    RunPaths paths;
    PrepareWorkFolderName(&paths);
    CreateWorkFolder(paths.workFolder);
    EXPECT_FALSE(FolderExists(paths.workFolder));
    EXPECT_FALSE(fs::exists(dir_ + "/missing"));
    const std::vector<MessageBoxRecord>& boxes = MessageBoxDoubleBoxes();
    ASSERT_FALSE(boxes.empty());
    if (admin) {
      EXPECT_EQ(boxes.size(), 1u);
    }
    // No language file is read yet: the built-in texts that start-up loaded.
    EXPECT_EQ(boxes.back().caption, "Error - Copy File");
    EXPECT_EQ(boxes.back().text, "Copying file(s) failed.");
    EXPECT_EQ(boxes.back().flags, 0x10u);
  }
}

TEST_F(StartupTest, WithoutAGuidTheWorkFolderIsStillAFreshFolderOfItsOwn) {
  SystemDoubleSetGuidFails(true);
  std::string temp = GetTemporaryFolder();
  Write(Native(temp) + "/keep.txt", "not the run's");
  std::set<std::string> names;
  for (int i = 0; i < 5; ++i) {
    MakeWorkFolder();  // each name must be free while the earlier folders exist
    const std::string& work = paths_.workFolder;
    ASSERT_EQ(work.size(), temp.size() + 39) << work;
    EXPECT_EQ(work.substr(0, temp.size() + 1), temp + "{");
    EXPECT_EQ(paths_.iniPath, work + "setup.ini");
    names.insert(work);
  }
  EXPECT_EQ(names.size(), 5u);
  DeleteWorkFolder(paths_.workFolder);
  EXPECT_FALSE(FolderExists(paths_.workFolder));
  EXPECT_EQ(Read(Native(temp) + "/keep.txt"), "not the run's");
}

// ----------------------------------------------------------- language --

TEST_F(StartupTest, LanguageFileIsChosenLoadedWithTheTitleAndItsNumberKept) {
  struct Case {
    const char* label;
    const char* list;
    uint16_t langId;
    const char* titel;
    int32_t number;
    bool asked;  // the choice dialog was shown
    int choice;  // the line the user takes in it; -1 closes it
  };
  const Case cases[] = {
      {"German user", "english.lng#9|deutsch.lng#7|", 0x0407, "Willkommen", 7, false, 0},
      {"English user", "english.lng#9|deutsch.lng#7|", 0x0409, "Hello\nWorld", 9, false, 0},
      {"no match, the choice dialog closed: defaults", "english.lng#9|deutsch.lng#7|", 0x040C,
       "Welcome to the installation of\n'Viewer'", 12, true, -1},
      {"no match, deutsch chosen in the dialog", "english.lng#9|deutsch.lng#7|", 0x040C, "Willkommen", 12, true, 1},
      {"one entry: taken without the choice", "deutsch.lng#7|", 0x0409, "Willkommen", 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ResetLanguageTexts();
    ResetWindowDouble();
    if (c.choice >= 0) {
      WindowDoubleSelect(1, c.choice);  // the dialog's drop-down and OK button
      WindowDoubleClick(2);
    }
    std::string work = MakeWorkFolder();
    Write(work + "setup.ini", std::string("[Settings]\r\nLanguage=") + c.list +
                                  "\r\n[Info]\r\nTitel=Viewer\r\nVersion=2.1\r\n");
    Write(work + "english.lng", "[Page01]\r\nTitel=Hello|World\r\n");
    Write(work + "deutsch.lng", "[Page01]\r\nTitel=Willkommen\r\n");
    SystemDoubleSetUserDefaultLangID(c.langId);
    ProductInfo product;
    int32_t number = 0;
    ReadConfigurationAndLanguage(paths_, &product, &number);
    EXPECT_EQ(product.title, "Viewer");
    EXPECT_EQ(Text(kTextPage01Titel), c.titel);
    EXPECT_EQ(Text(kTextPage01Msg1), "Zandor will now install 'Viewer' version 2.1 on your computer.");
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(WindowDoubleWindow(1) != nullptr, c.asked);
  }
}

// ------------------------------------------------- program-running check --

TEST_F(StartupTest, HeldMutexShowsTheRunningWarning) {
  std::string work = MakeWorkFolder();
  product_.title = "MyApp";
  product_.mutexName = "  MyAppMutex  ";
  LoadDefaultTexts("MyApp", "");
  SystemDoubleHoldMutex("MyAppMutex");
  MessageBoxDoubleQueueAnswer(kAnswerOk);
  bool running = false;
  EXPECT_TRUE(WarnIfProgramRunning(product_, paths_.workFolder, &running));
  EXPECT_TRUE(running);
  const std::vector<MessageBoxRecord>& boxes = MessageBoxDoubleBoxes();
  ASSERT_EQ(boxes.size(), 1u);  // OK goes on without a second check
  EXPECT_EQ(boxes[0].caption, "Zandor - Warning");
  EXPECT_EQ(boxes[0].text, "Close Program 'MyApp' first!\nThen press OK!");
  EXPECT_EQ(boxes[0].flags, 0x131u);
  EXPECT_TRUE(fs::is_directory(work));
}

TEST_F(StartupTest, RunningWarningReplacesEveryTitleMarker) {
  MakeWorkFolder();
  product_.title = "MyApp";
  product_.mutexName = "M";
  SystemDoubleHoldMutex("M");
  std::string language = dir_ + "/German.lng";
  Write(language,
        "[Requester]\r\n"
        "RQ4_Titel=Achtung\r\n"
        "RQ4_Msg=Bitte $Titel schliessen ($Titel, nicht $titel)!\r\n"
        "RQ4_Msg2=Dann OK.\r\n");
  LoadLanguageTexts(language, "MyApp", "");
  bool running = false;
  EXPECT_TRUE(WarnIfProgramRunning(product_, paths_.workFolder, &running));
  const std::vector<MessageBoxRecord>& boxes = MessageBoxDoubleBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Achtung");
  EXPECT_EQ(boxes[0].text, "Bitte MyApp schliessen (MyApp, nicht $titel)!\nDann OK.");
  EXPECT_EQ(boxes[0].flags, 0x131u);
}

TEST_F(StartupTest, CancelOnTheRunningWarningDeletesTheWorkFolder) {
  std::string work = MakeWorkFolder();
  Write(work + "setup.ini", "[Settings]\r\n");
  Write(work + "German.lng", "x");
  product_.mutexName = "MyAppMutex";
  SystemDoubleHoldMutex("MyAppMutex");
  MessageBoxDoubleQueueAnswer(kAnswerCancel);
  bool running = false;
  EXPECT_FALSE(WarnIfProgramRunning(product_, paths_.workFolder, &running));
  EXPECT_EQ(MessageBoxDoubleBoxes().size(), 1u);
  EXPECT_FALSE(fs::exists(work));
  EXPECT_TRUE(fs::is_directory(dir_));
}

TEST_F(StartupTest, CancelWithoutAWorkFolderNameDeletesNothing) {
  Write(dir_ + "/keep.txt", "x");
  fs::path before = fs::current_path();
  fs::current_path(dir_);
  product_.mutexName = "MyAppMutex";
  SystemDoubleHoldMutex("MyAppMutex");
  MessageBoxDoubleQueueAnswer(kAnswerCancel);
  bool running = false;
  bool goOn = WarnIfProgramRunning(product_, "", &running);
  fs::current_path(before);
  EXPECT_FALSE(goOn);
  EXPECT_EQ(Read(dir_ + "/keep.txt"), "x");
}

TEST_F(StartupTest, NoWarningWithoutARunningProgram) {
  struct Case {
    const char* mutexName;
    const char* held;
  };
  const Case cases[] = {
      {"", ""},                      // no mutex, no program name: nothing to find
      {"MyAppMutex", ""},            // nobody holds it
      {"MyAppMutex", "OtherMutex"},  // somebody else's
      {"   ", "   "},                // blanks only count as no name
      {"MyApp Mutex", "MyApp"},      // inner blanks belong to the name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mutexName);
    ResetSystemDouble();
    ResetMessageBoxDouble();
    ProductInfo product;
    product.mutexName = c.mutexName;
    if (*c.held) SystemDoubleHoldMutex(c.held);
    bool running = true;  // stale from an earlier check
    EXPECT_TRUE(WarnIfProgramRunning(product, "", &running));
    EXPECT_FALSE(running);
    EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  }
}

// ---------------------------------------------------------------- hooks --

TEST_F(StartupTest, HookModesChooseTheHooks) {
  struct Case {
    int8_t mode;
    const char* log;
  };
  const Case cases[] = {
      {0, ""},
      {1, "before 0\nafter 0\n"},
      {2, "before 0\n"},
      {3, "after 0\n"},
      {4, ""},
      {-3, ""},
      {static_cast<int8_t>(257 & 0xFF), "before 0\nafter 0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    fs::remove(dir_ + "/hooks.log");
    std::string work = MakeWorkFolder();
    WriteHooks(work, 0);
    EXPECT_EQ(RunBeforeHook(paths_.workFolder, c.mode), 0u);
    RunAfterHook(paths_.workFolder, c.mode);
    EXPECT_EQ(HookLog(), c.log);
  }
}

TEST_F(StartupTest, BeforeHookAnswersItsExitCode) {
  for (int code : {0, 1, 2, 42}) {
    SCOPED_TRACE(code);
    std::string work = MakeWorkFolder();
    WriteHooks(work, code);
    EXPECT_EQ(RunBeforeHook(paths_.workFolder, kHookModeBoth), static_cast<uint32_t>(code));
  }
}

TEST_F(StartupTest, BeforeHookSeesSetupExeDirAndRunsInTheWorkFolder) {
  std::string work = MakeWorkFolder();
  Script(work + kBeforeHook, "echo \"$SetupExeDir\" > ../env.txt\npwd -P > ../pwd.txt");
  EXPECT_EQ(RunBeforeHook(paths_.workFolder, kHookModeBeforeOnly), 0u);
  EXPECT_EQ(Read(dir_ + "/env.txt"), "C:\\Setup Files\\\n");
  EXPECT_EQ(Read(dir_ + "/pwd.txt"), fs::canonical(work).string() + "\n");
}

TEST_F(StartupTest, MissingOrUnrunnableHooksAreSkipped) {
  // No hook at all.
  std::string work = MakeWorkFolder();
  EXPECT_EQ(RunBeforeHook(paths_.workFolder, kHookModeBoth), 0u);
  RunAfterHook(paths_.workFolder, kHookModeBoth);
  // A folder of the hook's name is no hook.
  fs::create_directories(work + kBeforeHook);
  fs::create_directories(work + kAfterHook);
  EXPECT_EQ(RunBeforeHook(paths_.workFolder, kHookModeBoth), 0u);
  RunAfterHook(paths_.workFolder, kHookModeBoth);
  // A hook that cannot be started gives no exit code 1.
  std::string other = MakeWorkFolder();
  Write(other + kBeforeHook, "#!/bin/sh\nexit 1\n");
  fs::permissions(other + kBeforeHook, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(RunBeforeHook(paths_.workFolder, kHookModeBoth), 0u);
  // Without a work folder name nothing is looked for.
  EXPECT_EQ(RunBeforeHook("", kHookModeBoth), 0u);
  RunAfterHook("", kHookModeBoth);
}

TEST_F(StartupTest, HooksRunByExactFileName) {
  std::string work = MakeWorkFolder();
  Script(work + "beforezd.exe", "echo wrong >> ../hooks.log\nexit 1");
  Script(work + "AfterZD.exe.bak", "echo wrong >> ../hooks.log");
  EXPECT_EQ(RunBeforeHook(paths_.workFolder, kHookModeBoth), 0u);
  RunAfterHook(paths_.workFolder, kHookModeBoth);
  EXPECT_EQ(HookLog(), "");
}

// The while-hook takes no hook mode: it runs in every one.
TEST_F(StartupTest, WhileHookRunsUntilTerminated) {
  std::string work = MakeWorkFolder();
  Script(work + kWhileHook, "exec sleep 60");
  Program hook = StartWhileHook(paths_.workFolder);
  ASSERT_NE(hook, 0u);
  Program started = hook;
  EXPECT_TRUE(IsProgram(hook));
  EXPECT_TRUE(ProgramRunning(hook));
  TerminateWhileHook(&hook);
  EXPECT_FALSE(IsProgram(started));
  EXPECT_EQ(hook, 0u);
}

TEST_F(StartupTest, WithoutAWhileHookThereIsNothingToTerminate) {
  MakeWorkFolder();
  Program hook = StartWhileHook(paths_.workFolder);
  EXPECT_EQ(hook, 0u);
  TerminateWhileHook(&hook);
  EXPECT_EQ(hook, 0u);
}

// --------------------------------------------------- work folder, finish --

TEST_F(StartupTest, DeleteWorkFolderKeepsSubfolders) {
  std::string work = MakeWorkFolder();
  Write(work + "setup.ini", "x");
  Write(work + "readme.txt", "x");
  fs::create_directories(work + "data/deeper");
  Write(work + "data/file.bin", "kept");
  DeleteWorkFolder(paths_.workFolder);
  EXPECT_FALSE(fs::exists(work + "setup.ini"));
  EXPECT_FALSE(fs::exists(work + "readme.txt"));
  EXPECT_EQ(Read(work + "data/file.bin"), "kept");
  EXPECT_TRUE(fs::is_directory(work + "data/deeper"));
}

TEST_F(StartupTest, DeleteWorkFolderRemovesTheEmptiedFolder) {
  std::string work = MakeWorkFolder();
  Write(work + "setup.ini", "x");
  Write(work + "noext", "x");
  Write(work + ".hidden", "x");
  DeleteWorkFolder(paths_.workFolder);
  EXPECT_FALSE(fs::exists(work));
  EXPECT_TRUE(fs::is_directory(dir_));
  DeleteWorkFolder(paths_.workFolder);  // a second time finds nothing
}

TEST_F(StartupTest, DeleteWorkFolderWithoutANameTouchesNothing) {
  Write(dir_ + "/keep.txt", "x");
  fs::path before = fs::current_path();
  fs::current_path(dir_);
  DeleteWorkFolder("");
  fs::current_path(before);
  EXPECT_EQ(Read(dir_ + "/keep.txt"), "x");
}

TEST_F(StartupTest, FinalStageRunsTheAfterHookBeforeDeleting) {
  std::string work = MakeWorkFolder();
  Write(work + "setup.ini", "x");
  Script(work + kAfterHook, "[ -e setup.ini ] && echo \"after saw setup.ini\" >> ../hooks.log");
  int prompts = SystemDoubleRebootPrompts();
  FinalStage(RunFlags());
  EXPECT_EQ(HookLog(), "after saw setup.ini\n");
  EXPECT_FALSE(fs::exists(work));
  EXPECT_EQ(SystemDoubleRebootPrompts(), prompts);
}

TEST_F(StartupTest, FinalStageSkipsTheAfterHookWhenCancelled) {
  std::string work = MakeWorkFolder();
  WriteHooks(work, 0);
  RunFlags flags;
  flags.cancelled = true;
  FinalStage(flags);
  EXPECT_EQ(HookLog(), "");
  EXPECT_FALSE(fs::exists(work));
}

TEST_F(StartupTest, FinalStageHonoursTheHookMode) {
  std::string work = MakeWorkFolder();
  WriteHooks(work, 0);
  FinalStage(RunFlags(), kHookModeBeforeOnly);
  EXPECT_EQ(HookLog(), "");
  EXPECT_FALSE(fs::exists(work));
}

TEST_F(StartupTest, FinalStageStartsTheInstalledProgram) {
  MakeWorkFolder();
  fs::create_directories(dir_ + "/inst");
  Script(dir_ + "/inst/Prog.exe", "pwd -P > started.txt");
  installed_.installDir = dir_ + "\\inst\\";
  installed_.ran = true;
  product_.progExe = "Prog.exe";
  RunFlags flags;
  flags.start = true;
  FinalStage(flags);
  std::string marker = dir_ + "/inst/started.txt";
  for (int i = 0; i < 2000 && Read(marker).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Read(marker), fs::canonical(dir_ + "/inst").string() + "\n");
}

TEST_F(StartupTest, FinalStageWithoutTheProgramFileStartsNothing) {
  std::string work = MakeWorkFolder();
  installed_.installDir = dir_ + "\\inst\\";
  product_.progExe = "Prog.exe";
  RunFlags flags;
  flags.start = true;
  FinalStage(flags);  // nothing to start, nothing to fail
  EXPECT_FALSE(fs::exists(work));
  // Closed before Install: no install ran, so neither a program by its bare
  // name (the current folder's) starts nor the restart prompt shows.
  Script(dir_ + "/Prog.exe", "echo started > " + dir_ + "/started.txt");
  fs::path folder = fs::current_path();
  fs::current_path(dir_);
  installed_ = InstallResult();
  flags.reboot = true;
  const int prompts = SystemDoubleRebootPrompts();
  FinalStage(flags);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fs::current_path(folder);
  EXPECT_FALSE(fs::exists(dir_ + "/started.txt"));
  EXPECT_EQ(SystemDoubleRebootPrompts(), prompts);
}

TEST_F(StartupTest, RebootFlagPromptsAndNeverStartsTheProgram) {
  std::string work = MakeWorkFolder();
  WriteHooks(work, 0);
  fs::create_directories(dir_ + "/inst");
  Script(dir_ + "/inst/Prog.exe", "echo started > started.txt");
  installed_.installDir = dir_ + "\\inst\\";
  installed_.ran = true;
  product_.progExe = "Prog.exe";
  RunFlags flags;
  flags.start = true;
  flags.reboot = true;
  int prompts = SystemDoubleRebootPrompts();
  FinalStage(flags);
  EXPECT_EQ(SystemDoubleRebootPrompts(), prompts + 1);
  EXPECT_EQ(HookLog(), "after 0\n");
  EXPECT_FALSE(fs::exists(work));
  // A started program would have written its marker by now: the direct
  // start returns only once the script is running.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(dir_ + "/inst/started.txt"));
}

// ------------------------------------------------------- whole runs --

TEST_F(StartupTest, QuietRunInstallsIntoTheOverrideAndRemovesTheWorkFolder) {
  WritePackageFile(dir_ + "/inner.pck", {{"Prog.exe", "program"}, {"doc\\readme.txt", "read me"}}, {});
  std::string inner = Read(dir_ + "/inner.pck");
  WritePackageFile(dir_ + "/Install.exe",
                   {{"setup.ini", "[Info]\r\nTitel=Quiet\r\n[Settings]\r\nProgExe=Prog.exe\r\n"
                                  "DefaultDir=C:\\Nowhere\r\n"},
                    {"setup.pck", inner}},
                   {'M', 'Z', 0, 0});
  SystemDoubleSetModuleFileName(dir_ + "/Install.exe");
  SystemDoubleSetCommandLine("\"" + dir_ + "/Install.exe\" /q \"/P:" + dir_ + "/inst dir\"");
  unsetenv("InstallDir");
  EXPECT_EQ(SetupMain(), 0);
  const SetupState& s = ::Setup();
  EXPECT_TRUE(s.options.quiet);
  EXPECT_EQ(s.product.title, "Quiet");
  EXPECT_EQ(Read(dir_ + "/inst dir/Prog.exe"), "program");
  EXPECT_EQ(Read(dir_ + "/inst dir/doc/readme.txt"), "read me");
  EXPECT_EQ(OsGetEnvironment("InstallDir"), dir_ + "/inst dir\\");
  EXPECT_EQ(s.installed.installDir, dir_ + "/inst dir\\");
  EXPECT_FALSE(s.paths.workFolder.empty());
  EXPECT_FALSE(fs::exists(Native(s.paths.workFolder)));
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  unsetenv("InstallDir");
}

TEST_F(StartupTest, CancelOnTheRunningWarningEndsTheRunBeforeAnyInstall) {
  WritePackageFile(dir_ + "/inner.pck", {{"Prog.exe", "program"}}, {});
  std::string inner = Read(dir_ + "/inner.pck");
  WritePackageFile(dir_ + "/Install.exe",
                   {{"setup.ini", "[Info]\r\nTitel=Held\r\n[Settings]\r\nProgExe=Prog.exe\r\n"
                                  "[Task]\r\nMutexString=HeldMutex\r\n"},
                    {"setup.pck", inner}},
                   {'M', 'Z'});
  SystemDoubleSetModuleFileName(dir_ + "/Install.exe");
  SystemDoubleSetCommandLine("Install.exe /Q /P:" + dir_ + "/inst");
  SystemDoubleHoldMutex("HeldMutex");
  // Quietly the warning shows no box and takes its default button, Cancel.
  EXPECT_EQ(SetupMain(), 0);
  EXPECT_TRUE(MessageBoxDoubleBoxes().empty());
  EXPECT_FALSE(fs::exists(dir_ + "/inst"));
  // A wizard run shows it; Cancel there ends the run the same way.
  ResetEverything();
  SystemDoubleSetModuleFileName(dir_ + "/Install.exe");
  SystemDoubleSetCommandLine("Install.exe /P:" + dir_ + "/inst");
  SystemDoubleHoldMutex("HeldMutex");
  MessageBoxDoubleQueueAnswer(kAnswerCancel);
  EXPECT_EQ(SetupMain(), 0);
  ASSERT_EQ(MessageBoxDoubleBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxDoubleBoxes()[0].text, "Close Program 'Held' first!\nThen press OK!");
  EXPECT_FALSE(fs::exists(dir_ + "/inst"));
  EXPECT_FALSE(fs::exists(Native(::Setup().paths.workFolder)));
}

// -------------------------------------------------------- install steps --

// What the wizard's install page would have seen, in order.
std::vector<std::string> g_pageEvents;
void RecordLogAdd(const std::string& line) { g_pageEvents.push_back("add " + line); }
void RecordLogReplace(const std::string& line) { g_pageEvents.push_back("replace " + line); }
void RecordMaximum(uint32_t bytes) { g_pageEvents.push_back("maximum " + std::to_string(bytes)); }
void RecordPosition(uint32_t bytes) { g_pageEvents.push_back("position " + std::to_string(bytes)); }
void RecordDrain() { g_pageEvents.push_back("drain"); }

TEST_F(StartupTest, InstallWithAPageLogsTheCopyAndMovesTheBarByBytes) {
  std::string work = MakeWorkFolder();
  std::string big(3000, 'b');
  WritePackageFile(work + "setup.pck",
                   {{"Prog.exe", "program"}, {"empty.txt", ""}, {"doc\\big.bin", big}, {"keep.ini", "theirs"}}, {});
  fs::create_directories(dir_ + "/inst");
  Write(dir_ + "/inst/keep.ini", "mine");
  LoadDefaultTexts("Viewer", "");
  SetupConfig config;
  config.noCopyExt = "ini|";
  InstallChoices choices;
  choices.installDir = dir_ + "/inst";
  InstallResult result;
  const InstallLog log = {RecordLogAdd, RecordLogReplace};
  const InstallProgress progress = {RecordMaximum, RecordPosition};
  InstallContext context;
  context.paths = &paths_;
  context.product = &product_;
  context.config = &config;
  context.choices = &choices;
  context.result = &result;
  context.log = &log;
  context.progress = &progress;
  context.drain = RecordDrain;
  g_pageEvents.clear();
  unsetenv("InstallDir");
  RunInstall(&context);
  // The running line shows before the copy starts; the bar's end is the
  // total of the entry sizes; each file with data drains after it moves the
  // bar; a file left alone by the no-copy list neither moves nor drains.
  const std::vector<std::string> expected = {
      "add --- unknown ---",  // no setup.ini: the default title and no author line
      "add ",
      "drain",
      "add Copy Program Files .....",
      "drain",
      "maximum 3013",
      "position 7",
      "drain",
      "position 3007",
      "drain",
      "replace Copy Program Files   -->   *** Completed ***",
      "add ",
      "drain",
      "add Create additional Links",
      "drain",
  };
  EXPECT_EQ(g_pageEvents, expected);
  EXPECT_EQ(result.installDir, dir_ + "/inst\\");
  EXPECT_EQ(OsGetEnvironment("InstallDir"), dir_ + "/inst\\");
  EXPECT_EQ(Read(dir_ + "/inst/Prog.exe"), "program");
  EXPECT_EQ(Read(dir_ + "/inst/doc/big.bin"), big);
  EXPECT_TRUE(fs::is_regular_file(dir_ + "/inst/empty.txt"));
  EXPECT_EQ(Read(dir_ + "/inst/keep.ini"), "mine");
  unsetenv("InstallDir");
}

}  // namespace

#include "app/leftovers.h"

namespace {

TEST_F(StartupTest, EarlierWorkFoldersThatAreOursGo) {
  // Ours: a GUID name with setup.ini or setup.pck inside. This run's own
  // folder, other GUID folders and look-alike names stay.
  const std::string own = "{11111111-2222-3333-4444-555555555555}";
  const std::string killed = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
  const std::string early = "{aaaaaaaa-bbbb-cccc-dddd-000000000000}";
  const std::string other = "{99999999-8888-7777-6666-555555555555}";
  const std::string notGuid = "{not-a-guid}";
  for (const std::string& name : {own, killed, early, other, notGuid}) fs::create_directories(dir_ + "/" + name);
  Write(dir_ + "/" + own + "/setup.ini", "[Info]");
  Write(dir_ + "/" + killed + "/setup.pck", "pck");
  fs::create_directories(dir_ + "/" + killed + "/sub");
  Write(dir_ + "/" + killed + "/sub/x.txt", "x");
  Write(dir_ + "/" + early + "/setup.ini", "[Info]");
  Write(dir_ + "/" + other + "/something.txt", "theirs");
  Write(dir_ + "/" + notGuid + "/setup.ini", "[Info]");
  EXPECT_EQ(RemoveEarlierWorkFolders(dir_ + "\\" + own + "\\"), 2);
  EXPECT_TRUE(fs::exists(dir_ + "/" + own + "/setup.ini"));
  EXPECT_FALSE(fs::exists(dir_ + "/" + killed));
  EXPECT_FALSE(fs::exists(dir_ + "/" + early));
  EXPECT_TRUE(fs::exists(dir_ + "/" + other + "/something.txt"));
  EXPECT_TRUE(fs::exists(dir_ + "/" + notGuid + "/setup.ini"));
  EXPECT_EQ(RemoveEarlierWorkFolders("not a work folder"), 0);
}

}  // namespace
