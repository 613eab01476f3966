// Language texts: defaults, loading from a file, the "|" line breaks, the
// choice by the user's language and the one-entry rule.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "runtime/ini.h"
#include "test_env.h"
#include "ui/language.h"

namespace {

class LanguageTest : public TempFolderTest {};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::string> AllTexts() {
  std::vector<std::string> texts;
  for (int i = 0; i < kTextCount; i++) texts.push_back(Text(static_cast<TextId>(i)));
  return texts;
}

// The file matches names without regard to case, so two rows that differ
// only in case would read the same line.
TEST_F(LanguageTest, EveryTextHasItsOwnNameAndADefault) {
  LoadDefaultTexts("Viewer", "2.1");
  std::set<std::string> names;
  for (int i = 0; i < kTextCount; i++) {
    TextId id = static_cast<TextId>(i);
    std::string group = TextGroup(id);
    std::string key = TextKey(id);
    EXPECT_FALSE(group.empty() || key.empty()) << i;
    EXPECT_TRUE(names.insert(Lower(group) + "/" + Lower(key)).second) << group << "/" << key;
    EXPECT_FALSE(Text(id).empty()) << group << "/" << key;
  }
  EXPECT_EQ(Text(static_cast<TextId>(kTextCount)), "");
  EXPECT_STREQ(TextGroup(static_cast<TextId>(-1)), "");
}

// Texts that other parts and the end-to-end tests rely on word for word, the
// title and version built in, and the two titles whose "|" breaks the line.
TEST_F(LanguageTest, DefaultsSpotChecks) {
  struct Case {
    TextId id;
    const char* group;
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {kTextPage01Titel, "Page01", "Titel", "Welcome to the installation of\n'Viewer'"},
      {kTextPage01Msg1, "Page01", "Msg1", "Zandor will now install 'Viewer' version 2.1 on your computer."},
      {kTextPage05Titel1, "Page05", "Titel1", "Installation of\n'Viewer'"},
      {kTextPage05Install, "Page05", "Install", "Install Program 'Viewer'"},
      {kTextRq4Titel, "Requester", "RQ4_Titel", "Zandor - Warning"},
      {kTextRq4Msg, "Requester", "RQ4_Msg", "Close Program 'Viewer' first!"},
      {kTextRq4Msg2, "Requester", "RQ4_Msg2", "Then press OK!"},
      {kTextRq5Msg, "Requester", "RQ5_Msg", "Associate File Extension '$Extension' with the program?"},
      {kTextRq6Titel, "Requester", "RQ6_Titel", "Error - Copy File"},
      {kTextRq6Msg, "Requester", "RQ6_Msg", "Copying file(s) failed."},
      {kTextButtonNext, "Buttons", "Next", "Next"},
      {kTextButtonFinish, "Buttons", "Finish", "Exit"},
      {kTextFileVersionVersion, "FileVersion", "Version", "Version:"},
      {kTextUninstallerVersion, "Uninstaller", "Version", "Version"},
      {kTextUninstallerOk, "Uninstaller", "OK", "OK"},
  };
  LoadDefaultTexts("Viewer", "2.1");
  for (const Case& c : cases) {
    EXPECT_STREQ(TextGroup(c.id), c.group) << c.key;
    EXPECT_STREQ(TextKey(c.id), c.key) << c.group;
    EXPECT_EQ(Text(c.id), c.text) << c.group << "/" << c.key;
  }
}

TEST_F(LanguageTest, NothingBeforeALoadAndDefaultsFollowTheTitleOfEachLoad) {
  EXPECT_EQ(Text(kTextButtonNext), "");
  LoadDefaultTexts("--- unknown ---", "");
  EXPECT_EQ(Text(kTextPage01Msg1), "Zandor will now install '--- unknown ---' version  on your computer.");
  LoadDefaultTexts("Later", "3");
  EXPECT_EQ(Text(kTextPage05Install), "Install Program 'Later'");
  EXPECT_EQ(Text(kTextPage01Msg1), "Zandor will now install 'Later' version 3 on your computer.");
}

TEST_F(LanguageTest, EmptyPathAndMissingFileGiveDefaults) {
  LoadDefaultTexts("Viewer", "2.1");
  std::vector<std::string> defaults = AllTexts();
  ResetLanguageTexts();
  LoadLanguageTexts("", "Viewer", "2.1");
  EXPECT_EQ(AllTexts(), defaults);
  ResetLanguageTexts();
  LoadLanguageTexts(Native("missing.lng"), "Viewer", "2.1");
  EXPECT_EQ(AllTexts(), defaults);
  EXPECT_FALSE(Exists("missing.lng"));
}

// A file that names every text: each id gets the line of its own group and key.
TEST_F(LanguageTest, EveryTextIsReadFromItsGroupAndKey) {
  std::string file;
  std::string group;
  for (int i = 0; i < kTextCount; i++) {
    TextId id = static_cast<TextId>(i);
    if (group != TextGroup(id)) file += std::string("[") + (group = TextGroup(id)) + "]\r\n";
    file += std::string(TextKey(id)) + "=" + group + " " + TextKey(id) + "\r\n";
  }
  LoadLanguageTexts(Write("all.lng", file), "Viewer", "2.1");
  for (int i = 0; i < kTextCount; i++) {
    TextId id = static_cast<TextId>(i);
    EXPECT_EQ(Text(id), std::string(TextGroup(id)) + " " + TextKey(id));
  }
}

TEST_F(LanguageTest, FileTextsReplaceDefaultsKeyByKey) {
  std::string path = Write("deutsch.lng",
                               "[Buttons]\r\nNext=Weiter\r\nnext=ignored second\r\n"
                               "[page01]\r\ntitel=Hallo|Welt\r\nMsg2=  Weiter mit|Klick  \r\n"
                               "[Page05]\r\nTitel1=A|B|C\r\nInstall=\r\n"
                               "[Requester]\r\nRQ4_Msg=Schliessen Sie '$Titel'!\r\nRQ6_Msg=$Titel\r\n"
                               "[Unknown]\r\nX=Y\r\n");
  LoadLanguageTexts(path, "Viewer", "2.1");
  EXPECT_EQ(Text(kTextButtonNext), "Weiter");
  EXPECT_EQ(Text(kTextButtonBack), "Back");  // missing key: default
  EXPECT_EQ(Text(kTextPage01Titel), "Hallo\nWelt");
  EXPECT_EQ(Text(kTextPage01Msg2), "Weiter mit|Klick");  // "|" kept outside the two titles
  EXPECT_EQ(Text(kTextPage01Msg1), "Zandor will now install 'Viewer' version 2.1 on your computer.");
  EXPECT_EQ(Text(kTextPage05Titel1), "A\nB\nC");
  EXPECT_EQ(Text(kTextPage05Install), "");  // present and empty stays empty
  EXPECT_EQ(Text(kTextRq4Msg), "Schliessen Sie '$Titel'!");  // replaced only when shown
  EXPECT_EQ(Text(kTextRq6Msg), "$Titel");
  EXPECT_EQ(Text(kTextPage03Titel), "Setup Settings");  // missing group: defaults
}

TEST_F(LanguageTest, LoadingNeverWritesTheFile) {
  std::string text = "[Buttons]\nNext=Weiter\n\n";
  std::string path = Write("keep.lng", text);
  LoadLanguageTexts(path, "Viewer", "2.1");
  EXPECT_EQ(Read(path), text);
  EXPECT_FALSE(IniIsOpen());
}

TEST_F(LanguageTest, Utf8LanguageFileIsDecoded) {
  std::string path = Write("fr.lng", "\xEF\xBB\xBF[Buttons]\r\nNext=Suivant \xC3\xA0\r\nBack=\xE2\x82\xAC\r\n");
  LoadLanguageTexts(path, "Viewer", "2.1");
  EXPECT_EQ(Text(kTextButtonNext), "Suivant \xE0");
  EXPECT_EQ(Text(kTextButtonBack), "");  // no Latin-1 form: empty, not the default
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
    int32_t number = -1;
    EXPECT_EQ(ChooseLanguageFile(c.list, c.langId, &number), c.expected);
    EXPECT_EQ(number, c.number);
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
}

}  // namespace
