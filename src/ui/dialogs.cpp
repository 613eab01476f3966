#include "ui/dialogs.h"

#include <algorithm>

#include "platform/folder_browser.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/text.h"
#include "ui/language.h"

static_assert(kMessageError == (kMbOk | kMbIconError), "error box: OK, error icon");
static_assert(kMessageWarningOkCancel == (kMbOkCancel | kMbIconWarning | kMbDefaultButton2),
              "warning box: OK and Cancel, Cancel the default, warning icon");
static_assert(kMessageQuestionYesNo == (kMbYesNo | kMbIconQuestion), "question box: Yes and No, question icon");
static_assert(int{kAnswerOk} == kIdOk && int{kAnswerCancel} == kIdCancel && int{kAnswerYes} == kIdYes &&
                  int{kAnswerNo} == kIdNo,
              "answers are the platform's button codes");

namespace {

// Language choice dialog: client area and controls.
const int kChoiceList = 1;
const int kChoiceOk = 2;
const int kMaxLanguageLines = 128;  // positions 0 to 127 of a signed 8-bit number

// Start-menu folder dialog.
const int kFolderTree = 1;
const int kFolderApply = 2;
// The shell's start-menu program folders, the user's and the all-users',
// as the folder lookup of the install actions knows them (2 and 23).
const int32_t kUserProgramsFolder = 2;
const int32_t kCommonProgramsFolder = 23;

std::string ProgramFolder(int32_t csidl) {
  std::string path;
  if (!OsGetSpecialFolder(csidl, &path) || path.empty()) return std::string();
  return path.back() == '\\' ? path : path + '\\';
}

void GatherBelow(const std::string& programFolder, const std::string& relative, std::vector<std::string>* folders) {
  int listing = ListFolder(programFolder + relative, "*.*");
  if (listing == 0) return;
  while (NextEntry(listing)) {
    if (EntryType(listing) != kEntryFolder) continue;
    std::string name = EntryName(listing);
    if (name == "." || name == "..") continue;
    std::string path = relative + name;
    GatherBelow(programFolder, path + "\\", folders);
    if (std::find(folders->begin(), folders->end(), path) == folders->end()) folders->push_back(path);
  }
  FinishListing(listing);
}

// Byte-wise with A-Z as a-z, and "\" before every other character: a plain
// byte order puts "Tools A" between "Tools" and "Tools\Sub", and the tree,
// which takes an item's parent from the items before it, would then show
// Sub below "Tools A" and answer a folder that is not there.
unsigned SortKey(char c) { return c == '\\' ? 0u : static_cast<unsigned char>(LowerAscii(c)); }

bool FoldedLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return SortKey(x) < SortKey(y); });
}

// The tree as it ended up in the control: text and level of every item.
std::vector<StartMenuItem> TreeItems(OsWindow window, int id) {
  std::vector<StartMenuItem> items(static_cast<size_t>(OsCountLines(window, id)));
  for (size_t i = 0; i < items.size(); ++i) {
    items[i].text = OsTreeItemText(window, id, static_cast<int>(i));
    items[i].level = OsTreeItemLevel(window, id, static_cast<int>(i));
  }
  return items;
}

}  // namespace

namespace {

bool g_quiet = false;

const char* AnswerName(int answer) {
  switch (answer) {
    case kAnswerOk: return "OK";
    case kAnswerCancel: return "Cancel";
    case kAnswerYes: return "Yes";
    case kAnswerNo: return "No";
  }
  return "?";
}

// One audit line: the text's line breaks become " / ".
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line += c == '\n' ? std::string(" / ") : std::string(1, c);
  }
  return TrimBlanks(line);
}

}  // namespace

void SetQuietRun(bool quiet) { g_quiet = quiet; }
bool IsQuietRun() { return g_quiet; }

void AuditQuietAnswer(const std::string& caption, const std::string& question, const std::string& answer) {
  AuditLine("quiet  asked  " + OneLine(caption) + "  " + OneLine(question) + "  answer  " + answer);
}

int QuietAnswer(MessageBoxStyle style) {
  const bool second = (style & kMbDefaultButton2) != 0;
  if ((style & 0xF) == kMbYesNo) return second ? kAnswerNo : kAnswerYes;
  if ((style & 0xF) == kMbOkCancel) return second ? kAnswerCancel : kAnswerOk;
  return kAnswerOk;
}

int ShowMessageBox(const std::string& caption, const std::string& text, MessageBoxStyle style) {
  if (!g_quiet) return OsMessageBox(caption, text, style);
  const int answer = QuietAnswer(style);
  AuditQuietAnswer(caption, text, AnswerName(answer));
  return answer;
}

void ShowCopyError(bool diskFull) {
  const std::string text = diskFull ? Text(kTextRq6Msg) + "\n" + Text(kTextRq6Msg2) : Text(kTextRq6Msg);
  ShowMessageBox(Text(kTextRq6Titel), text, kMessageError);
}

// ------------------------------------------------------- language choice --

std::vector<std::string> LanguageChoiceLines(const std::string& languageList) {
  std::vector<std::string> lines;
  int entries = std::min(CountChar(languageList, '|'), kMaxLanguageLines);
  for (int i = 1; i <= entries; ++i) {
    std::string file = Field(Field(languageList, '|', i), '#', 1);
    lines.push_back(" " + Field(file, '.', 1));
  }
  return lines;
}

std::string ShowLanguageChoiceDialog(const std::string& languageList) {
  if (g_quiet) {
    // The entry the dialog preselects.
    const std::string first = Field(Field(languageList, '|', 1), '#', 1);
    AuditQuietAnswer(" Zandor", "language", first.empty() ? "built-in" : first);
    return first;
  }
  WindowSpec frame;
  frame.title = " Zandor";
  frame.width = 140;
  frame.height = 55;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return std::string();
  if (!OsAddControl(window, PlaceControl(kChoiceList, kControlDropDown, 5, 5, 130, 200, std::string())) ||
      !OsAddControl(window, PlaceControl(kChoiceOk, kControlButton, 40, 32, 60, 18, "OK"))) {
    OsCloseWindow(window);
    return std::string();
  }
  for (const std::string& line : LanguageChoiceLines(languageList)) OsAddLine(window, kChoiceList, line);
  OsSetState(window, kChoiceList, 0);
  OsSetDefaultButton(window, kChoiceOk);
  OsShowWindow(window);

  std::string answer;
  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.window != window) continue;
    if (event.kind == kEventClose) break;
    if (event.control != kChoiceOk || event.detail != kDetailClicked) continue;
    int8_t position = static_cast<int8_t>(OsGetState(window, kChoiceList));
    if (position < 0) continue;
    answer = Field(Field(languageList, '|', position + 1), '#', 1);
    break;
  }
  OsCloseWindow(window);
  return answer;
}

// --------------------------------------------------------- folder browser --

std::string BrowserStartFolder(const std::string& startFolder) {
  if (startFolder.size() > 3 && startFolder.back() == '\\') return startFolder.substr(0, startFolder.size() - 1);
  return startFolder;
}

std::string BrowseForFolder(OsWindow owner, const std::string& prompt, const std::string& startFolder) {
  std::string path = OsBrowseForFolder(OsWindowHandle(owner), prompt, BrowserStartFolder(startFolder));
  if (path.empty() || path.back() == '\\') return path;
  return path + '\\';
}

// ------------------------------------------------------ start-menu folder --

void GatherStartMenuFolders(const std::string& programFolder, std::vector<std::string>* folders) {
  if (!programFolder.empty()) GatherBelow(programFolder, std::string(), folders);
}

void SortStartMenuFolders(std::vector<std::string>* folders) {
  // An insertion sort: stable, so names that differ only in case keep the
  // order they were found in, quick enough for the few hundred folders of a
  // start menu, and a fraction of the library's stable sort in the program.
  std::vector<std::string>& list = *folders;
  for (size_t i = 1; i < list.size(); ++i) {
    for (size_t j = i; j > 0 && FoldedLess(list[j], list[j - 1]); --j) list[j].swap(list[j - 1]);
  }
}

std::vector<StartMenuItem> StartMenuItems(const std::vector<std::string>& folders) {
  std::vector<StartMenuItem> items;
  for (const std::string& path : folders) {
    StartMenuItem item;
    size_t last = path.rfind('\\');
    item.text = last == std::string::npos ? path : path.substr(last + 1);
    item.level = CountChar(path, '\\');
    items.push_back(item);
  }
  return items;
}

int PreselectStartMenuItem(const std::vector<StartMenuItem>& items, const std::string& field) {
  const int components = CountChar(field, '\\') + 1;
  int used = 0;
  int level = 0;
  int selected = -1;
  for (size_t i = 0; i < items.size() && used < components; ++i) {
    if (items[i].level > level) continue;
    if (items[i].level < level) break;
    if (items[i].text == Field(field, '\\', used + 1)) {
      selected = static_cast<int>(i);
      ++used;
      ++level;
    }
  }
  return selected;
}

std::string StartMenuItemPath(const std::vector<StartMenuItem>& items, int item) {
  if (item < 0 || item >= static_cast<int>(items.size())) return std::string();
  std::string path = items[static_cast<size_t>(item)].text;
  int level = items[static_cast<size_t>(item)].level;
  for (int i = item - 1; i >= 0 && level > 0; --i) {
    if (items[static_cast<size_t>(i)].level >= level) continue;
    path = items[static_cast<size_t>(i)].text + "\\" + path;
    level = items[static_cast<size_t>(i)].level;
  }
  return path;
}

std::string ChooseStartMenuFolder(OsWindow wizard, const std::string& currentField) {
  WindowSpec frame;
  frame.title = " " + Text(kTextRq3Titel);
  frame.width = 220;
  frame.height = 300;
  frame.systemMenu = true;
  frame.owner = wizard;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return std::string();
  if (!OsAddControl(window, PlaceControl(kFolderTree, kControlTree, 10, 10, 200, 260, std::string())) ||
      !OsAddControl(window, PlaceControl(kFolderApply, kControlButton, 75, 276, 70, 20, Text(kTextButtonApply)))) {
    OsCloseWindow(window);
    return std::string();
  }
  OsEnableWindow(wizard, false);

  std::vector<std::string> folders;
  GatherStartMenuFolders(ProgramFolder(kUserProgramsFolder), &folders);
  GatherStartMenuFolders(ProgramFolder(kCommonProgramsFolder), &folders);
  SortStartMenuFolders(&folders);
  for (const StartMenuItem& item : StartMenuItems(folders)) OsAddTreeItem(window, kFolderTree, item.text, item.level);
  // What the tree holds, should an item have failed to go in.
  std::vector<StartMenuItem> items = TreeItems(window, kFolderTree);
  OsSetDefaultButton(window, kFolderApply);
  OsShowWindow(window);
  OsSetFocus(window, kFolderTree);
  // Selected only now: a tree that gets the focus without a selection picks
  // its first item, and a field that names no folder must leave none.
  OsSetState(window, kFolderTree, PreselectStartMenuItem(items, currentField));

  std::string answer;
  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.window != window) continue;
    if (event.kind == kEventClose) break;
    if (event.control != kFolderApply || event.detail != kDetailClicked) continue;
    answer = StartMenuItemPath(items, OsGetState(window, kFolderTree));
    if (answer.empty()) {
      ShowMessageBox(" " + Text(kTextRq1Titel), Text(kTextRq1Msg), kMessageError);
      answer = currentField;
    }
    break;
  }
  OsEnableWindow(wizard, true);
  OsCloseWindow(window);
  return answer;
}
