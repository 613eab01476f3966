// Language texts: defaults, loading from a file, the "|" line breaks, the
// choice by the user's language and the one-entry rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/setup_state.h"
#include "platform/system_double.h"
#include "runtime/ini.h"
#include "ui/language.h"

namespace fs = std::filesystem;

namespace {

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetup();
    ResetIni();
    ResetSystemDouble();
    ResetLanguageTexts();
    folder_ = fs::temp_directory_path() / "zandor-language-test" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ::Setup().title = "Viewer";
    ::Setup().version = "2.1";
  }
  void TearDown() override {
    ResetLanguageTexts();
    ResetSetup();
    ResetSystemDouble();
    ResetIni();
    fs::remove_all(folder_);
  }

  std::string WriteFile(const std::string& name, const std::string& text) {
    std::string path = (folder_ / name).string();
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
  }

  fs::path folder_;
};

struct DefaultCase {
  const char* group;
  const char* key;
  const char* text;
};

// Defaults with title "Viewer" and version "2.1" built in.
const DefaultCase kDefaults[] = {
    {"Install", "Msg0", "Required disk space:"},
    {"Install", "Msg1", "Copy Program Files"},
    {"Install", "Msg2", "Create Desktop Icon"},
    {"Install", "Msg3", "Create Startmenu Shortcuts"},
    {"Install", "Msg5", "Create Uninstaller Entry"},
    {"Install", "Msg6", "Create additional Links"},
    {"Install", "Ready", "Completed"},
    {"Install", "Help", "Help"},
    {"Install", "Homepage", "Homepage"},
    {"Install", "Uninstall", "Uninstall"},
    {"Page01", "Titel", "Welcome to the installation of\n'Viewer'"},
    {"Page01", "Msg1", "Zandor will now install 'Viewer' version 2.1 on your computer."},
    {"Page01", "Msg2", "Click 'Next' to continue installation."},
    {"Page01", "Msg3", "Please close all other applications before continuing."},
    {"Page02", "Titel", "Licence Agreement"},
    {"Page02", "Msg", "Please read the following information before continuing."},
    {"Page02", "AcceptYes", "I accept the agreement"},
    {"Page02", "AcceptNo", "I do not accept the agreement"},
    {"Page03", "Titel", "Setup Settings"},
    {"Page03", "Msg", "Installation Directory, StartMenu Folder and Desktop Icon"},
    {"Page03", "ProgDir", "Install program in this directory:"},
    {"Page03", "MenuDir", "StartMenu folder for Program Shortcuts:"},
    {"Page03", "NoStartMenu", "Create no startmenu entry."},
    {"Page03", "DesktopIcon", "Create a desktop icon"},
    {"Page04", "Titel", "Information"},
    {"Page04", "Msg", "A short description of the program"},
    {"Page05", "Titel1", "Installation of\n'Viewer'"},
    {"Page05", "Msg", "Click 'Install' to start installation!"},
    {"Page05", "Install", "Install Program 'Viewer'"},
    {"Page05", "RunProg", "Start program after closing Zandor."},
    {"Page05", "Ready", "Installation completed"},
    {"Requester", "RQ1_Titel", "Select Start Menu Folder"},
    {"Requester", "RQ1_Msg", "No valid start menu folder."},
    {"Requester", "RQ2_Titel", "Please select a directory"},
    {"Requester", "RQ3_Titel", "Select Directory"},
    {"Requester", "RQ4_Titel", "Zandor - Warning"},
    {"Requester", "RQ4_Msg", "Close Program 'Viewer' first!"},
    {"Requester", "RQ4_Msg2", "Then press OK!"},
    {"Requester", "RQ5_Titel", "Associate File Extension"},
    {"Requester", "RQ5_Msg", "Associate File Extension '$Extension' with the program?"},
    {"Requester", "RQ6_Titel", "Error - Copy File"},
    {"Requester", "RQ6_Msg", "Copying file(s) failed."},
    {"Requester", "RQ7_Titel", "Error - Login"},
    {"Requester", "RQ7_Msg", "Login failed."},
    {"FileVersion", "Window", "Copy File"},
    {"FileVersion", "FrameOld", "Current File Version"},
    {"FileVersion", "FrameNew", "New File Version"},
    {"FileVersion", "Msg", "Replace the current file with this file version?"},
    {"FileVersion", "Version", "Version:"},
    {"FileVersion", "Lang", "Language:"},
    {"FileVersion", "Desc", "Description:"},
    {"FileVersion", "NotAvailable", "--- not available ---"},
    {"LoginAdmin", "Window", "Login as administrator"},
    {"LoginAdmin", "User", "Username:"},
    {"LoginAdmin", "Password", "Password:"},
    {"Buttons", "Login", "Login"},
    {"Buttons", "Next", "Next"},
    {"Buttons", "Back", "Back"},
    {"Buttons", "Apply", "Apply"},
    {"Buttons", "Cancel", "Cancel"},
    {"Buttons", "Change", "Change"},
    {"Buttons", "Install", "Install"},
    {"Buttons", "Finish", "Exit"},
    {"Buttons", "Yes", "Yes"},
    {"Buttons", "No", "No"},
    {"Uninstaller", "Titel", "uninstall Program"},
    {"Uninstaller", "Msg", "Program files And registry entries will be removed."},
    {"Uninstaller", "Version", "Version"},
    {"Uninstaller", "UninstInfo", "Remove the following Program from your computer:"},
    {"Uninstaller", "DelAll", "Delete all(!) files in the directory (including user files)."},
    {"Uninstaller", "Error", "Uninstalling Program Not possible."},
    {"Uninstaller", "Status", "Uninstalling completed."},
    {"Uninstaller", "OK", "OK"},
    {"Uninstaller", "Cancel", "Cancel"},
    {"Uninstaller", "Ready", "Ready"},
};
const int kDefaultCount = static_cast<int>(sizeof(kDefaults) / sizeof(kDefaults[0]));

void ExpectAllDefaults() {
  for (const DefaultCase& c : kDefaults) {
    EXPECT_EQ(Text(c.group, c.key), c.text) << c.group << "/" << c.key;
  }
}

TEST_F(LanguageTest, TableHoldsExactlyTheListedTextsInOrder) {
  ASSERT_EQ(TextCount(), kDefaultCount);
  for (int i = 0; i < kDefaultCount; i++) {
    EXPECT_STREQ(TextGroup(i), kDefaults[i].group) << i;
    EXPECT_STREQ(TextKey(i), kDefaults[i].key) << i;
  }
}

TEST_F(LanguageTest, DefaultsBeforeAnyLoad) {
  ExpectAllDefaults();
  EXPECT_EQ(UnknownTextLookups(), 0);
}

TEST_F(LanguageTest, EmptyPathAndMissingFileGiveDefaults) {
  LoadLanguageTexts("");
  ExpectAllDefaults();
  ResetLanguageTexts();
  LoadLanguageTexts((folder_ / "missing.lng").string());
  ExpectAllDefaults();
  EXPECT_FALSE(fs::exists(folder_ / "missing.lng"));
}

TEST_F(LanguageTest, DefaultsFollowTheTitleAtLoadTime) {
  ::Setup().title = "--- unkown ---";
  ::Setup().version = "";
  LoadDefaultTexts();
  EXPECT_EQ(Text("Page01", "Msg1"), "Zandor will now install '--- unkown ---' version  on your computer.");
  ::Setup().title = "Later";
  EXPECT_EQ(Text("Page05", "Install"), "Install Program '--- unkown ---'");  // loaded once
  LoadDefaultTexts();
  EXPECT_EQ(Text("Page05", "Install"), "Install Program 'Later'");
}

TEST_F(LanguageTest, FileTextsReplaceDefaultsKeyByKey) {
  std::string path = WriteFile("deutsch.lng",
                               "[Buttons]\r\nNext=Weiter\r\nnext=ignored second\r\n"
                               "[page01]\r\ntitel=Hallo|Welt\r\nMsg2=  Weiter mit|Klick  \r\n"
                               "[Page05]\r\nTitel1=A|B|C\r\nInstall=\r\n"
                               "[Requester]\r\nRQ4_Msg=Schliessen Sie '$Titel'!\r\nRQ6_Msg=$Titel\r\n"
                               "[Unknown]\r\nX=Y\r\n");
  LoadLanguageTexts(path);
  EXPECT_EQ(Text("Buttons", "Next"), "Weiter");
  EXPECT_EQ(Text("Buttons", "Back"), "Back");  // missing key: default
  EXPECT_EQ(Text("Page01", "Titel"), "Hallo\nWelt");
  EXPECT_EQ(Text("Page01", "Msg2"), "Weiter mit|Klick");  // "|" kept outside the two titles
  EXPECT_EQ(Text("Page01", "Msg1"), "Zandor will now install 'Viewer' version 2.1 on your computer.");
  EXPECT_EQ(Text("Page05", "Titel1"), "A\nB\nC");
  EXPECT_EQ(Text("Page05", "Install"), "");  // present and empty stays empty
  EXPECT_EQ(Text("Requester", "RQ4_Msg"), "Schliessen Sie '$Titel'!");  // replaced only when shown
  EXPECT_EQ(Text("Requester", "RQ6_Msg"), "$Titel");
  EXPECT_EQ(Text("Page03", "Titel"), "Setup Settings");  // missing group: defaults
  EXPECT_EQ(UnknownTextLookups(), 0);
}

TEST_F(LanguageTest, LoadingNeverWritesTheFile) {
  std::string text = "[Buttons]\nNext=Weiter\n\n";
  std::string path = WriteFile("keep.lng", text);
  LoadLanguageTexts(path);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), text);
  EXPECT_EQ(Ini().file, nullptr);
}

TEST_F(LanguageTest, Utf8LanguageFileIsDecoded) {
  std::string path = WriteFile("fr.lng", "\xEF\xBB\xBF[Buttons]\r\nNext=Suivant \xC3\xA0\r\nBack=\xE2\x82\xAC\r\n");
  LoadLanguageTexts(path);
  EXPECT_EQ(Text("Buttons", "Next"), "Suivant \xE0");
  EXPECT_EQ(Text("Buttons", "Back"), "");  // no Latin-1 form: empty, not the default
}

TEST_F(LanguageTest, UnknownNamesAreEmptyAndCounted) {
  EXPECT_EQ(Text("Buttons", "Nxt"), "");
  EXPECT_EQ(Text("buttons", "Next"), "");  // code names are exact
  EXPECT_EQ(Text(nullptr, "Next"), "");
  EXPECT_EQ(UnknownTextLookups(), 3);
  EXPECT_FALSE(HasText("Buttons", "Nxt"));
  EXPECT_TRUE(HasText("Buttons", "Finish"));
  ResetLanguageTexts();
  EXPECT_EQ(UnknownTextLookups(), 0);
}

struct ChoiceCase {
  const char* label;
  uint16_t langId;
  const char* list;
  const char* expected;
  int32_t number;
};

TEST_F(LanguageTest, ChoiceByUserLanguage) {
  const ChoiceCase cases[] = {
      {"English user", 0x0409, "english.lng#9|deutsch.lng#7|", "english.lng", 9},
      {"German user", 0x0407, "english.lng#9|deutsch.lng#7|", "deutsch.lng", 7},
      {"no match", 0x040C, "english.lng#9|deutsch.lng#7|", "", 12},
      {"last match wins", 0x0409, "x.lng#9|y.lng#9|", "y.lng", 9},
      {"nine-bit mask", 0x0209, "wide.lng#521|narrow.lng#9|", "narrow.lng", 9},
      {"text after last bar is no entry", 0x0407, "a.lng#9|b.lng#9|c.lng#7", "", 7},
      {"number with blanks and tail", 0x0407, "a.lng# 7x|b.lng#8|", "a.lng", 7},
      {"entry without number", 0x0400, "a.lng|b.lng#1|", "a.lng", 0},
      {"extra hash fields ignored", 0x0407, "a.lng#7#9|b.lng#8|", "a.lng", 7},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.label);
    ::Setup().languageNumber = -1;
    SystemDoubleSetUserDefaultLangID(c.langId);
    EXPECT_EQ(ChooseLanguageFile(c.list), c.expected);
    EXPECT_EQ(::Setup().languageNumber, c.number);
  }
}

TEST_F(LanguageTest, OneEntryRule) {
  struct {
    const char* list;
    const char* expected;
  } cases[] = {
      {"english.lng", "english.lng"},       {"english.lng#9", "english.lng"},
      {"english.lng#9|", "english.lng"},    {"", ""},
      {"a.lng#9|b.lng#7", "a.lng"},         {"a.lng|b.lng#7|", "a.lng"},
      {"#9|", ""},                          {"dir\\x.lng#9|", "dir\\x.lng"},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageFileFromList(c.list), c.expected) << c.list;
  EXPECT_EQ(::Setup().languageNumber, 0);  // the choice by language did not run
}

}  // namespace
