#include "ui/language.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/ini.h"
#include "runtime/text.h"

namespace {

// Markers in the defaults for the product title and version.
#define TITLE "\x01"
#define VERSION "\x02"

// Two titles span lines: their "|" is written as a line feed, whether the
// text came from the file or from the default. Every other "|" stays.
enum BarHandling { kKeepBars, kBarsAreLineFeeds };

struct TextDefinition {
  TextId id;
  const char* group;  // as named in the language file
  const char* key;
  const char* defaultText;
  BarHandling bars = kKeepBars;
};

// In the order the language file is read; row i holds the text of id i.
constexpr TextDefinition kTexts[] = {
    {kTextInstallMsg0, "Install", "Msg0", "Required disk space:"},
    {kTextInstallMsg1, "Install", "Msg1", "Copy Program Files"},
    {kTextInstallMsg2, "Install", "Msg2", "Create Desktop Icon"},
    {kTextInstallMsg3, "Install", "Msg3", "Create Startmenu Shortcuts"},
    {kTextInstallMsg5, "Install", "Msg5", "Create Uninstaller Entry"},
    {kTextInstallMsg6, "Install", "Msg6", "Create additional Links"},
    {kTextInstallReady, "Install", "Ready", "Completed"},
    {kTextInstallHelp, "Install", "Help", "Help"},
    {kTextInstallHomepage, "Install", "Homepage", "Homepage"},
    {kTextInstallUninstall, "Install", "Uninstall", "Uninstall"},

    {kTextPage01Titel, "Page01", "Titel", "Welcome to the installation of|'" TITLE "'", kBarsAreLineFeeds},
    {kTextPage01Msg1, "Page01", "Msg1", "Zandor will now install '" TITLE "' version " VERSION " on your computer."},
    {kTextPage01Msg2, "Page01", "Msg2", "Click 'Next' to continue installation."},
    {kTextPage01Msg3, "Page01", "Msg3", "Please close all other applications before continuing."},
    {kTextPage01CopyRight, "Page01", "CopyRight", "'" TITLE "' is installed by Zandor setup."},

    {kTextPage02Titel, "Page02", "Titel", "Licence Agreement"},
    {kTextPage02Msg, "Page02", "Msg", "Please read the following information before continuing."},
    {kTextPage02AcceptYes, "Page02", "AcceptYes", "I accept the agreement"},
    {kTextPage02AcceptNo, "Page02", "AcceptNo", "I do not accept the agreement"},

    {kTextPage03Titel, "Page03", "Titel", "Setup Settings"},
    {kTextPage03Msg, "Page03", "Msg", "Installation Directory, StartMenu Folder and Desktop Icon"},
    {kTextPage03ProgDir, "Page03", "ProgDir", "Install program in this directory:"},
    {kTextPage03MenuDir, "Page03", "MenuDir", "StartMenu folder for Program Shortcuts:"},
    {kTextPage03NoStartMenu, "Page03", "NoStartMenu", "Create no startmenu entry."},
    {kTextPage03DesktopIcon, "Page03", "DesktopIcon", "Create a desktop icon"},

    {kTextPage04Titel, "Page04", "Titel", "Information"},
    {kTextPage04Msg, "Page04", "Msg", "A short description of the program"},

    {kTextPage05Titel1, "Page05", "Titel1", "Installation of|'" TITLE "'", kBarsAreLineFeeds},
    {kTextPage05Msg, "Page05", "Msg", "Click 'Install' to start installation!"},
    {kTextPage05Install, "Page05", "Install", "Install Program '" TITLE "'"},
    {kTextPage05RunProg, "Page05", "RunProg", "Start program after closing Zandor."},
    {kTextPage05Ready, "Page05", "Ready", "Installation completed"},

    {kTextRq1Titel, "Requester", "RQ1_Titel", "Select Start Menu Folder"},
    {kTextRq1Msg, "Requester", "RQ1_Msg", "No valid start menu folder."},
    {kTextRq2Titel, "Requester", "RQ2_Titel", "Please select a directory"},
    {kTextRq3Titel, "Requester", "RQ3_Titel", "Select Directory"},
    {kTextRq4Titel, "Requester", "RQ4_Titel", "Zandor - Warning"},
    {kTextRq4Msg, "Requester", "RQ4_Msg", "Close Program '" TITLE "' first!"},
    {kTextRq4Msg2, "Requester", "RQ4_Msg2", "Then press OK!"},
    {kTextRq5Titel, "Requester", "RQ5_Titel", "Associate File Extension"},
    {kTextRq5Msg, "Requester", "RQ5_Msg", "Associate File Extension '$Extension' with the program?"},
    {kTextRq6Titel, "Requester", "RQ6_Titel", "Error - Copy File"},
    {kTextRq6Msg, "Requester", "RQ6_Msg", "Copying file(s) failed."},
    {kTextRq6Msg2, "Requester", "RQ6_Msg2", "The disk is full."},
    {kTextRq7Titel, "Requester", "RQ7_Titel", "Error - Login"},
    {kTextRq7Msg, "Requester", "RQ7_Msg", "Login failed."},

    {kTextFileVersionWindow, "FileVersion", "Window", "Copy File"},
    {kTextFileVersionFrameOld, "FileVersion", "FrameOld", "Current File Version"},
    {kTextFileVersionFrameNew, "FileVersion", "FrameNew", "New File Version"},
    {kTextFileVersionMsg, "FileVersion", "Msg", "Replace the current file with this file version?"},
    {kTextFileVersionVersion, "FileVersion", "Version", "Version:"},
    {kTextFileVersionLang, "FileVersion", "Lang", "Language:"},
    {kTextFileVersionDesc, "FileVersion", "Desc", "Description:"},
    {kTextFileVersionNotAvailable, "FileVersion", "NotAvailable", "--- not available ---"},

    {kTextLoginAdminWindow, "LoginAdmin", "Window", "Login as administrator"},
    {kTextLoginAdminUser, "LoginAdmin", "User", "Username:"},
    {kTextLoginAdminPassword, "LoginAdmin", "Password", "Password:"},

    {kTextButtonLogin, "Buttons", "Login", "Login"},
    {kTextButtonNext, "Buttons", "Next", "Next"},
    {kTextButtonBack, "Buttons", "Back", "Back"},
    {kTextButtonApply, "Buttons", "Apply", "Apply"},
    {kTextButtonCancel, "Buttons", "Cancel", "Cancel"},
    {kTextButtonChange, "Buttons", "Change", "Change"},
    {kTextButtonInstall, "Buttons", "Install", "Install"},
    {kTextButtonFinish, "Buttons", "Finish", "Exit"},
    {kTextButtonYes, "Buttons", "Yes", "Yes"},
    {kTextButtonNo, "Buttons", "No", "No"},

    {kTextUninstallerTitel, "Uninstaller", "Titel", "uninstall Program"},
    {kTextUninstallerMsg, "Uninstaller", "Msg", "Program files And registry entries will be removed."},
    {kTextUninstallerVersion, "Uninstaller", "Version", "Version"},
    {kTextUninstallerUninstInfo, "Uninstaller", "UninstInfo", "Remove the following Program from your computer:"},
    {kTextUninstallerDelAll, "Uninstaller", "DelAll", "Delete all(!) files in the directory (including user files)."},
    {kTextUninstallerError, "Uninstaller", "Error", "Uninstalling Program Not possible."},
    {kTextUninstallerStatus, "Uninstaller", "Status", "Uninstalling completed."},
    {kTextUninstallerOk, "Uninstaller", "OK", "OK"},
    {kTextUninstallerCancel, "Uninstaller", "Cancel", "Cancel"},
    {kTextUninstallerReady, "Uninstaller", "Ready", "Ready"},
};
#undef TITLE
#undef VERSION

constexpr bool RowsFollowTheIds() {
  for (int i = 0; i < kTextCount; i++) {
    if (kTexts[i].id != i) return false;
  }
  return true;
}
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == kTextCount, "one row per text id");
static_assert(RowsFollowTheIds(), "the rows are in the order of the text ids");

struct LanguageTable {
  std::vector<std::string> texts;  // empty until a load, then one per id
};

LanguageTable g_language;
const std::string g_noText;

bool IsTextId(int id) { return id >= 0 && id < kTextCount; }

std::string BuildDefault(const char* pattern, const std::string& title, const std::string& version) {
  std::string out;
  for (const char* p = pattern; *p; p++) {
    if (*p == '\x01') {
      out += title;
    } else if (*p == '\x02') {
      out += version;
    } else {
      out += *p;
    }
  }
  return out;
}

void StoreText(int index, std::string text) {
  if (kTexts[index].bars == kBarsAreLineFeeds) {
    for (char& c : text) {
      if (c == '|') c = '\n';
    }
  }
  g_language.texts[static_cast<size_t>(index)] = std::move(text);
}

}  // namespace

std::string ChooseLanguageFile(const std::string& languageList, uint16_t langId, int32_t* number) {
  // Nine bits, not the ten of the platform's primary-language mask.
  int32_t language = static_cast<int32_t>(langId & 0x1FFu);
  if (number) *number = language;
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

void LoadDefaultTexts(const std::string& title, const std::string& version) {
  g_language.texts.resize(kTextCount);
  for (int i = 0; i < kTextCount; i++) StoreText(i, BuildDefault(kTexts[i].defaultText, title, version));
}

void LoadLanguageTexts(const std::string& path, const std::string& title, const std::string& version) {
  if (path.empty()) {
    LoadDefaultTexts(title, version);
    return;
  }
  // A missing file leaves the store without lines: every read is a default.
  IniOpen(path);
  g_language.texts.resize(kTextCount);
  const char* selected = nullptr;
  for (int i = 0; i < kTextCount; i++) {
    if (!selected || strcmp(selected, kTexts[i].group) != 0) {
      selected = kTexts[i].group;
      IniSelectGroup(selected);
    }
    StoreText(i, IniReadString(kTexts[i].key, BuildDefault(kTexts[i].defaultText, title, version)));
  }
  IniClose();
}

const std::string& Text(TextId id) {
  return IsTextId(id) && !g_language.texts.empty() ? g_language.texts[static_cast<size_t>(id)] : g_noText;
}
const char* TextGroup(TextId id) { return IsTextId(id) ? kTexts[id].group : ""; }
const char* TextKey(TextId id) { return IsTextId(id) ? kTexts[id].key : ""; }

void ResetLanguageTexts() { g_language = LanguageTable(); }

void SetText(TextId id, const std::string& text) {
  if (IsTextId(id) && !g_language.texts.empty()) StoreText(id, text);
}
