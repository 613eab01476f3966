// Language texts: every text the installer shows or hands to the uninstaller,
// one string per group and key of the language file, loaded once from the
// chosen language file with a built-in English default for each. Other
// modules read them by id, as in Text(kTextRq6Titel), so that a misspelt
// name fails to compile; the file's group and key names stay in the table.
#pragma once
#include <cstdint>
#include <string>

// One id per text, in the order the language file is read. The names follow
// the file's group and key.
enum TextId : int {
  // [Install]
  kTextInstallMsg0,
  kTextInstallMsg1,
  kTextInstallMsg2,
  kTextInstallMsg3,
  kTextInstallMsg5,
  kTextInstallMsg6,
  kTextInstallReady,
  kTextInstallHelp,
  kTextInstallHomepage,
  kTextInstallUninstall,
  // [Page01]
  kTextPage01Titel,
  kTextPage01Msg1,
  kTextPage01Msg2,
  kTextPage01Msg3,
  kTextPage01CopyRight,
  // [Page02]
  kTextPage02Titel,
  kTextPage02Msg,
  kTextPage02AcceptYes,
  kTextPage02AcceptNo,
  // [Page03]
  kTextPage03Titel,
  kTextPage03Msg,
  kTextPage03ProgDir,
  kTextPage03MenuDir,
  kTextPage03NoStartMenu,
  kTextPage03DesktopIcon,
  // [Page04]
  kTextPage04Titel,
  kTextPage04Msg,
  // [Page05]
  kTextPage05Titel1,
  kTextPage05Msg,
  kTextPage05Install,
  kTextPage05RunProg,
  kTextPage05Ready,
  // [Requester]
  kTextRq1Titel,
  kTextRq1Msg,
  kTextRq2Titel,
  kTextRq3Titel,
  kTextRq4Titel,
  kTextRq4Msg,
  kTextRq4Msg2,
  kTextRq5Titel,
  kTextRq5Msg,
  kTextRq6Titel,
  kTextRq6Msg,
  kTextRq6Msg2,
  kTextRq7Titel,
  kTextRq7Msg,
  // [FileVersion]
  kTextFileVersionWindow,
  kTextFileVersionFrameOld,
  kTextFileVersionFrameNew,
  kTextFileVersionMsg,
  kTextFileVersionVersion,
  kTextFileVersionLang,
  kTextFileVersionDesc,
  kTextFileVersionNotAvailable,
  // [LoginAdmin]
  kTextLoginAdminWindow,
  kTextLoginAdminUser,
  kTextLoginAdminPassword,
  // [Buttons]
  kTextButtonLogin,
  kTextButtonNext,
  kTextButtonBack,
  kTextButtonApply,
  kTextButtonCancel,
  kTextButtonChange,
  kTextButtonInstall,
  kTextButtonFinish,
  kTextButtonYes,
  kTextButtonNo,
  // [Uninstaller]
  kTextUninstallerTitel,
  kTextUninstallerMsg,
  kTextUninstallerVersion,
  kTextUninstallerUninstInfo,
  kTextUninstallerDelAll,
  kTextUninstallerError,
  kTextUninstallerStatus,
  kTextUninstallerOk,
  kTextUninstallerCancel,
  kTextUninstallerReady,

  kTextCount
};

// The file name of the last entry of a "file#number|..." list whose number
// equals the user's language number, or empty when none matches. The
// language number is the low nine bits of langId (the user's default
// language id) and is stored in *number.
std::string ChooseLanguageFile(const std::string& languageList, uint16_t langId, int32_t* number);
// The one-entry rule: the text before the first "#", and of that the text
// before the first "|".
std::string LanguageFileFromList(const std::string& languageList);

// Fills the table with the defaults, title and version built in.
void LoadDefaultTexts(const std::string& title, const std::string& version);
// Fills the table from a language file; a missing file, group or key keeps
// its default (title and version built in), a key with an empty value gives
// an empty text. An empty path loads the defaults only. Never fails.
void LoadLanguageTexts(const std::string& path, const std::string& title, const std::string& version);

// The text of an id: empty until a load filled the table.
const std::string& Text(TextId id);
// The language file's group and key names of an id.
const char* TextGroup(TextId id);
const char* TextKey(TextId id);

void ResetLanguageTexts();
// Replaces one text of a loaded table, as a language file would give it (the
// uninstaller puts its record's texts in for the dialogs it shares with
// setup). Nothing happens before a load.
void SetText(TextId id, const std::string& text);
