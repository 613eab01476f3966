// Language texts: every text the installer shows or hands to the uninstaller,
// one string per group and key, loaded once from the chosen language file
// with a built-in English default for each. Other modules read them with
// Text("Requester", "RQ6_Titel").
#pragma once
#include <string>

// The file name of the last entry of a "file#number|..." list whose number
// equals the user's language (low nine bits of the default language id), or
// empty when none matches. Records that language number in Setup().
std::string ChooseLanguageFile(const std::string& languageList);
// The one-entry rule: the text before the first "#", and of that the text
// before the first "|".
std::string LanguageFileFromList(const std::string& languageList);

// Fills the table with the defaults, the current title and version built in.
void LoadDefaultTexts();
// Fills the table from a language file; a missing file, group or key keeps
// its default, a key with an empty value gives an empty text. An empty path
// loads the defaults only. Never fails.
void LoadLanguageTexts(const std::string& path);

// The text of a group and key (names as written in the language file, exact
// case). Before any load the defaults are used. An unknown name answers an
// empty text and is counted, so tests can catch a misspelt name.
const std::string& Text(const char* group, const char* key);
bool HasText(const char* group, const char* key);
int UnknownTextLookups();

// The number of texts in the table and the names of the i-th (tests).
int TextCount();
const char* TextGroup(int index);
const char* TextKey(int index);

void ResetLanguageTexts();
