// Message boxes and the small dialogs of a setup run: the language choice
// at start-up, the start-menu folder dialog and the system's folder browser
// behind the settings page's Change buttons.
//
// Every dialog window of setup is a fixed-size top-level window whose title
// begins with a blank, built hidden and shown once its controls exist; it
// waits for its own events until it ends (events of other windows are
// dropped meanwhile) and is closed before the call returns. Nothing is kept
// between calls.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// The three kinds of message box setup shows, as the platform's flags.
enum MessageBoxStyle : uint32_t {
  kMessageError = 0x10,             // OK; error icon
  kMessageWarningOkCancel = 0x131,  // OK and Cancel, Cancel the default; warning icon
  kMessageQuestionYesNo = 0x24,     // Yes and No; question icon
  kMessageInformation = 0x40,       // OK; information icon
};
// The platform's button codes that a message box answers.
enum MessageBoxAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

// A quiet run ("/Q") shows no window at all: every message box and dialog
// of this layer and above takes its quiet answer at once and writes the
// question and that answer to the audit log ("quiet  asked  CAPTION  TEXT
// answer  ANSWER"). Off until a run sets it.
void SetQuietRun(bool quiet);
bool IsQuietRun();
// The quiet answer of a message box: its default button (Yes of Yes/No, OK
// of OK alone, Cancel of the warning box whose default is Cancel).
int QuietAnswer(MessageBoxStyle style);
// The audit line of a question that a quiet run answered itself.
void AuditQuietAnswer(const std::string& caption, const std::string& question, const std::string& answer);

// Caption and text in; the button code out. Modal over every window of the
// program; in a quiet run the quiet answer, without a window.
int ShowMessageBox(const std::string& caption, const std::string& text, MessageBoxStyle style);
// The error box for files that could not be copied, with the language texts;
// when they failed for want of room, a second line says the disk is full.
void ShowCopyError(bool diskFull = false);

// The language choice dialog, shown before any language file is read, so its
// texts are fixed: " Zandor", a drop-down with one line per "|"-terminated
// entry of the list (see LanguageChoiceLines), the first selected, and OK.
// Answers the chosen entry's file name (its text before the first "#"), or
// empty when the dialog is closed or cannot be built. A quiet run takes the
// first entry.
std::string ShowLanguageChoiceDialog(const std::string& languageList);
// The drop-down's lines: for each entry, a blank and its file name up to the
// first "." (english.lng#9 shows " english"). The chosen line's position is
// kept in a signed 8-bit number, so only the first 128 entries are offered.
std::vector<std::string> LanguageChoiceLines(const std::string& languageList);

// The system's folder browser opened from `owner` with the prompt as its
// title text, at startFolder (a trailing "\" dropped unless the folder is a
// drive root such as C:\). Answers the chosen folder ending in "\", or empty
// when the user cancels or picks something that is no folder of the file
// system.
std::string BrowseForFolder(OsWindow owner, const std::string& prompt, const std::string& startFolder);
// The start folder as the browser gets it: a text longer than three
// characters loses its trailing "\", so C:\Programs\ opens at C:\Programs
// and C:\ stays C:\.
std::string BrowserStartFolder(const std::string& startFolder);

// The start-menu folder dialog, owned by and centred on the wizard window,
// which is disabled while it is open: a tree of the folders below the
// user's and the all-users start-menu program folders, the one named by the
// wizard's start-menu field (currentField) preselected. Apply answers the
// selected folder's path relative to the program folders (Tools\Sub); Apply
// without a selection shows the "no start-menu folder" error and answers
// currentField; closing the dialog, or a dialog that cannot be built,
// answers empty.
std::string ChooseStartMenuFolder(OsWindow wizard, const std::string& currentField);

// The pure parts of the start-menu folder dialog.
//
// Walks the folder tree below programFolder (ending in "\") depth-first in
// the listing's order and adds each folder's path relative to it (Tools,
// Tools\Sub: no leading or trailing "\") at the end of *folders, the deeper
// ones of a folder before the folder itself, unless *folders already holds
// exactly that text.
void GatherStartMenuFolders(const std::string& programFolder, std::vector<std::string>* folders);
// Ascending, byte by byte, with the letters A to Z counted as a to z.
void SortStartMenuFolders(std::vector<std::string>* folders);

// A tree item: a folder path's last component at the level given by the
// number of "\" in the path. An item's parent is the nearest item before it
// with a lower level.
struct StartMenuItem {
  std::string text;
  int level = 0;
};
std::vector<StartMenuItem> StartMenuItems(const std::vector<std::string>& folders);
// The item the field names, matched component by component from the root;
// where a component is not in the tree the walk stops at the last match
// (Tools\Demo with only Tools present gives Tools). -1 when nothing matches.
int PreselectStartMenuItem(const std::vector<StartMenuItem>& items, const std::string& field);
// The path of an item: the texts of its ancestors and its own, joined with
// "\"; empty for no item.
std::string StartMenuItemPath(const std::vector<StartMenuItem>& items, int item);
