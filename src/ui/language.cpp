#include "ui/language.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/setup_state.h"
#include "platform/system.h"
#include "runtime/ini.h"
#include "runtime/text.h"

namespace {

// Markers in the defaults for the product title and version.
#define TITLE "\x01"
#define VERSION "\x02"

struct TextDefinition {
  const char* group;
  const char* key;
  const char* defaultText;
};

// In the order the language file is read.
const TextDefinition kTexts[] = {
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

    {"Page01", "Titel", "Welcome to the installation of|'" TITLE "'"},
    {"Page01", "Msg1", "Zandor will now install '" TITLE "' version " VERSION " on your computer."},
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

    {"Page05", "Titel1", "Installation of|'" TITLE "'"},
    {"Page05", "Msg", "Click 'Install' to start installation!"},
    {"Page05", "Install", "Install Program '" TITLE "'"},
    {"Page05", "RunProg", "Start program after closing Zandor."},
    {"Page05", "Ready", "Installation completed"},

    {"Requester", "RQ1_Titel", "Select Start Menu Folder"},
    {"Requester", "RQ1_Msg", "No valid start menu folder."},
    {"Requester", "RQ2_Titel", "Please select a directory"},
    {"Requester", "RQ3_Titel", "Select Directory"},
    {"Requester", "RQ4_Titel", "Zandor - Warning"},
    {"Requester", "RQ4_Msg", "Close Program '" TITLE "' first!"},
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

#undef TITLE
#undef VERSION

const int kTextCount = static_cast<int>(sizeof(kTexts) / sizeof(kTexts[0]));

struct LanguageTable {
  std::vector<std::string> texts;  // empty until loaded; then one per kTexts entry
  int unknownLookups = 0;
};

LanguageTable g_language;
const std::string g_noText;

std::string BuildDefault(const char* pattern) {
  const SetupState& s = Setup();
  std::string out;
  for (const char* p = pattern; *p; p++) {
    if (*p == '\x01') {
      out += s.title;
    } else if (*p == '\x02') {
      out += s.version;
    } else {
      out += *p;
    }
  }
  return out;
}

// Titles that span two lines are written with "|" in one INI line.
void BreakTitleLines() {
  for (int i = 0; i < kTextCount; i++) {
    bool twoLines = (strcmp(kTexts[i].group, "Page01") == 0 && strcmp(kTexts[i].key, "Titel") == 0) ||
                    (strcmp(kTexts[i].group, "Page05") == 0 && strcmp(kTexts[i].key, "Titel1") == 0);
    if (!twoLines) continue;
    for (char& c : g_language.texts[static_cast<size_t>(i)]) {
      if (c == '|') c = '\n';
    }
  }
}

int FindText(const char* group, const char* key) {
  if (!group || !key) return -1;
  for (int i = 0; i < kTextCount; i++) {
    if (strcmp(kTexts[i].group, group) == 0 && strcmp(kTexts[i].key, key) == 0) return i;
  }
  return -1;
}

}  // namespace

std::string ChooseLanguageFile(const std::string& languageList) {
  int32_t language = static_cast<int32_t>(OsGetUserDefaultLangID() & 0x1FFu);
  Setup().languageNumber = language;
  std::string chosen;
  int entries = CountChar(languageList, '|');
  for (int i = 1; i <= entries; i++) {
    std::string entry = Field(languageList, '|', i);
    if (TextToInt(Field(entry, '#', 2)) == language) chosen = Field(entry, '#', 1);
  }
  return chosen;
}

std::string LanguageFileFromList(const std::string& languageList) {
  return Field(Field(languageList, '#', 1), '|', 1);
}

void LoadDefaultTexts() {
  g_language.texts.clear();
  for (int i = 0; i < kTextCount; i++) g_language.texts.push_back(BuildDefault(kTexts[i].defaultText));
  BreakTitleLines();
}

void LoadLanguageTexts(const std::string& path) {
  if (path.empty()) {
    LoadDefaultTexts();
    return;
  }
  // A missing file leaves the store without lines: every read is a default.
  IniOpen(path);
  g_language.texts.clear();
  const char* selected = nullptr;
  for (int i = 0; i < kTextCount; i++) {
    if (!selected || strcmp(selected, kTexts[i].group) != 0) {
      selected = kTexts[i].group;
      IniSelectGroup(selected);
    }
    g_language.texts.push_back(IniReadString(kTexts[i].key, BuildDefault(kTexts[i].defaultText)));
  }
  BreakTitleLines();
  IniClose();
}

const std::string& Text(const char* group, const char* key) {
  if (g_language.texts.empty()) LoadDefaultTexts();
  int index = FindText(group, key);
  if (index < 0) {
    g_language.unknownLookups++;
    return g_noText;
  }
  return g_language.texts[static_cast<size_t>(index)];
}

bool HasText(const char* group, const char* key) { return FindText(group, key) >= 0; }

int UnknownTextLookups() { return g_language.unknownLookups; }

int TextCount() { return kTextCount; }
const char* TextGroup(int index) { return index >= 0 && index < kTextCount ? kTexts[index].group : ""; }
const char* TextKey(int index) { return index >= 0 && index < kTextCount ? kTexts[index].key : ""; }

void ResetLanguageTexts() { g_language = LanguageTable(); }
