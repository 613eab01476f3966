// The small dialogs of a setup run over the window, dialog, folder browser
// and system doubles: the language choice's lines and answers, the folder
// browser's start folder and answer, and the start-menu folder dialog's
// rules one table each (gathering on the native file system, sorting,
// preselection, the path from the ancestors), then whole dialogs driven by
// scripted user actions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/message_box_double.h"
#include "platform/folder_browser_double.h"
#include "platform/system_double.h"
#include "platform/window.h"
#include "platform/window_double.h"
#include "test_env.h"
#include "ui/dialogs.h"
#include "ui/language.h"

namespace {

// The controls as the dialogs number them.
enum { kList = 1, kOk = 2, kTree = 1, kApply = 2 };
// A control of the test's stand-in for the wizard window.
const int kWizardButton = 50;

class DialogsTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    LoadDefaultTexts("Viewer", "2.1");
  }

  // A folder of the test folder holding the given subfolders (paths with
  // "/") and, to be passed over, a file in each; its path with a trailing
  // separator.
  std::string FolderWith(const std::string& name, const std::vector<std::string>& subfolders) {
    for (const std::string& sub : subfolders) Write(name + "/" + sub + "/link.lnk", "");
    return Native(name) + "/";
  }
};

const WindowDoubleControlRecord* ControlOf(OsWindow window, int id) {
  const WindowDoubleWindowRecord* record = WindowDoubleWindow(window);
  if (!record) return nullptr;
  for (const WindowDoubleControlRecord& control : record->controls) {
    if (control.shape.id == id) return &control;
  }
  return nullptr;
}

std::string ManyLanguages(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) list += "lang" + std::to_string(i) + ".lng#" + std::to_string(i) + "|";
  return list;
}

// ------------------------------------------------------- language choice --

TEST_F(DialogsTest, LanguageChoiceLines) {
  struct Case {
    const char* list;
    std::vector<std::string> lines;
  } cases[] = {
      {"english.lng#9|deutsch.lng#7|", {" english", " deutsch"}},
      {"english#9|deutsch.lng#7|", {" english", " deutsch"}},  // no "." in the name
      {"a.b.lng#1|c.lng|", {" a", " c"}},                       // first "."; no "#"
      {"english.lng#9|deutsch.lng#7", {" english"}},            // after the last "|": no entry
      {"|x.lng#2|", {" ", " x"}},
      {"english.lng#9", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(LanguageChoiceLines(c.list), c.lines) << c.list;
  std::vector<std::string> many = LanguageChoiceLines(ManyLanguages(130));
  ASSERT_EQ(many.size(), 128u) << "positions 0 to 127 only";
  EXPECT_EQ(many.back(), " lang127");
}

TEST_F(DialogsTest, LanguageChoiceDialogAnswers) {
  const std::string two = "english.lng#9|deutsch.lng#7|";
  struct Case {
    const char* what;
    std::string list;
    int select;  // -1: leave the first line
    int otherEvents;
    bool ok;  // else close the window
    bool okWithoutSelection;
    std::string answer;
  } cases[] = {
      {"second line", two, 1, 0, true, false, "deutsch.lng"},
      {"first line as preselected", two, -1, 0, true, false, "english.lng"},
      {"closed", two, 1, 0, false, false, ""},
      {"events of other windows are dropped", two, 1, 2, true, false, "deutsch.lng"},
      {"OK without a line is ignored", "nothing", -1, 0, true, true, ""},
      {"the last of 128 lines", ManyLanguages(130), 127, 0, true, false, "lang127.lng"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWindowDouble();
    if (c.select >= 0) WindowDoubleSelect(kList, c.select);
    for (int i = 0; i < c.otherEvents; ++i) {
      OsEvent other;
      other.kind = i == 0 ? kEventClose : kEventControl;
      other.window = 77;
      other.control = i == 0 ? 0 : kOk;
      other.detail = i == 0 ? kDetailNone : kDetailClicked;
      WindowDoubleQueueEvent(other);
    }
    if (c.ok) WindowDoubleClick(kOk);
    WindowDoubleCloseRequest();  // ends a dialog that ignored the click

    EXPECT_EQ(ShowLanguageChoiceDialog(c.list), c.answer);
    EXPECT_EQ(WindowDoubleScriptLeft(), c.ok && !c.okWithoutSelection ? 1u : 0u) << "ended at the click";
    EXPECT_EQ(WindowDoubleDroppedActions(), 0);
    EXPECT_EQ(WindowDoubleTopWindow(), 0) << "the dialog is closed";
  }
}

// --------------------------------------------------------- folder browser --

TEST_F(DialogsTest, FolderBrowserStartFolderAndAnswer) {
  struct Case {
    const char* start;
    const char* opensAt;
    const char* chosen;
    const char* answer;
  } cases[] = {
      {"C:\\", "C:\\", "C:\\", "C:\\"},
      {"C:\\Programs\\", "C:\\Programs", "C:\\Programs\\Viewer", "C:\\Programs\\Viewer\\"},
      {"C:\\Programs", "C:\\Programs", "D:\\", "D:\\"},
      {"C:\\\\", "C:\\", "", ""},  // four characters: the last "\" goes
      {"", "", "", ""},
  };
  OsWindow owner = OsOpenWindow(WindowSpec{" Owner", 100, 100, false, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    ResetFolderBrowserDouble();
    FolderBrowserDoubleQueueAnswer(c.chosen);
    EXPECT_EQ(BrowserStartFolder(c.start), c.opensAt);
    EXPECT_EQ(BrowseForFolder(owner, "Choose a folder", c.start), c.answer);
    ASSERT_EQ(FolderBrowserDoubleCalls().size(), 1u);
    EXPECT_EQ(FolderBrowserDoubleCalls()[0].startFolder, c.opensAt);
    EXPECT_EQ(FolderBrowserDoubleCalls()[0].prompt, "Choose a folder");
    EXPECT_EQ(FolderBrowserDoubleCalls()[0].owner, OsWindowHandle(owner));
  }
}

// ------------------------------------------------------ start-menu folder --

TEST_F(DialogsTest, GatheringWalksDepthFirstAndListsEachPathOnce) {
  std::string user = FolderWith("user", {"Tools/Sub/Deep", "Games"});
  std::string common = FolderWith("common", {"Tools/Other", "Shared", "tools"});
  std::vector<std::string> folders;
  GatherStartMenuFolders(user, &folders);
  const size_t fromUser = folders.size();
  GatherStartMenuFolders(common, &folders);
  GatherStartMenuFolders("", &folders);  // no such program folder
  GatherStartMenuFolders(user + "missing/", &folders);

  std::vector<std::string> sorted = folders;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"Games", "Shared", "Tools", "Tools\\Other", "Tools\\Sub",
                                              "Tools\\Sub\\Deep", "tools"}));
  EXPECT_EQ(fromUser, 4u) << "the user's folders come first";
  auto at = [&](const char* path) { return std::find(folders.begin(), folders.end(), path) - folders.begin(); };
  EXPECT_LT(at("Tools\\Sub\\Deep"), at("Tools\\Sub")) << "walked into before listed";
  EXPECT_LT(at("Tools\\Sub"), at("Tools"));
}

TEST_F(DialogsTest, SortingFoldsCapitalsOnly) {
  std::vector<std::string> folders = {"b",        "Zebra", "_x",        "A",       "a\\x", "B c",
                                      "Tools\\Sub", "Tools A", "\xc4pfel", "Tools"};
  SortStartMenuFolders(&folders);
  // A folder's subfolders follow it before any sibling that only starts
  // with its name, so each tree item sits below its real parent.
  EXPECT_EQ(folders, (std::vector<std::string>{"_x", "A", "a\\x", "b", "B c", "Tools", "Tools\\Sub", "Tools A",
                                               "Zebra", "\xc4pfel"}));
  std::vector<std::string> cases = {"tools", "Tools", "TOOLS"};
  SortStartMenuFolders(&cases);
  EXPECT_EQ(cases, (std::vector<std::string>{"tools", "Tools", "TOOLS"})) << "equal when folded: found order";
}

std::vector<StartMenuItem> Items(const std::vector<std::string>& folders) { return StartMenuItems(folders); }

TEST_F(DialogsTest, PreselectionWalksComponentByComponent) {
  const std::vector<std::string> tree = {"Games", "Tools", "Tools\\Other", "Tools\\Other\\Sub",
                                         "Tools\\Sub", "Tools\\Sub\\Deep", "Zeta"};
  struct Case {
    std::vector<std::string> folders;
    const char* field;
    int item;
  } cases[] = {
      {tree, "Tools\\Demo", 1},       // Tools present, Demo not
      {tree, "Tools\\Sub", 4},        // not the Sub below Other
      {tree, "Tools\\Sub\\Deep", 5},
      {tree, "Tools\\", 1},
      {tree, "Zeta\\Deep", 6},
      {tree, "Sub", -1},              // only level 0 is looked at first
      {tree, "tools", -1},            // exact comparison
      {tree, "", -1},
      {{}, "Tools", -1},
      // The walk stops at the first item above the level: B\Sub is not A\Sub.
      {{"A", "A\\X", "B", "B\\Sub"}, "A\\Sub", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(PreselectStartMenuItem(Items(c.folders), c.field), c.item) << c.field;
}

TEST_F(DialogsTest, PathIsBuiltFromTheAncestors) {
  // Deep's parent is the nearest item above it one level up: Sub, not Other.
  const std::vector<StartMenuItem> items = Items({"Tools", "Tools\\Other", "Tools\\Sub", "Tools\\Sub\\Deep", "Zeta"});
  struct Case {
    int item;
    const char* path;
  } cases[] = {{0, "Tools"}, {2, "Tools\\Sub"}, {3, "Tools\\Sub\\Deep"}, {4, "Zeta"}, {-1, ""}, {5, ""}};
  for (const Case& c : cases) EXPECT_EQ(StartMenuItemPath(items, c.item), c.path) << c.item;
}

// The whole dialog over both program folders: Tools is under both, Sub only
// under the user's, Games only under all users'.
TEST_F(DialogsTest, StartMenuFolderDialog) {
  SystemDoubleSetSpecialFolder(2, FolderWith("user", {"Tools/Sub"}));
  SystemDoubleSetSpecialFolder(23, FolderWith("common", {"Tools", "Games"}));
  enum Step { kSelectSub, kSelectGames, kApply, kClose, kWizardClick, kOtherWindowEvent };
  struct Case {
    const char* what;
    const char* field;
    std::vector<Step> script;
    int selected;  // the tree's selection at the end
    std::string answer;
    bool errorBox;
  } cases[] = {
      {"preselection: Tools of Tools\\Demo", "Tools\\Demo", {kApply}, 1, "Tools", false},
      {"Sub below Tools", "Tools\\Demo", {kSelectSub, kApply}, 2, "Tools\\Sub", false},
      {"close box", "Tools\\Sub", {kClose}, 2, "", false},
      {"close box after a choice", "Tools\\Sub", {kSelectGames, kClose}, 0, "", false},
      {"no selection: error, the field", "Elsewhere\\Demo", {kApply}, -1, "Elsewhere\\Demo", true},
      {"the wizard takes no clicks", "Games", {kWizardClick, kApply}, 0, "Games", false},
      {"other windows' events are dropped", "Games", {kOtherWindowEvent, kSelectSub, kApply}, 2, "Tools\\Sub",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWindowDouble();
    ResetMessageBoxDouble();
    OsWindow wizard = OsOpenWindow(WindowSpec{" Viewer 2.1", 500, 360, true, 0});
    ControlSpec button;
    button.id = kWizardButton;
    button.kind = kControlButton;
    ASSERT_TRUE(OsAddControl(wizard, button));
    OsShowWindow(wizard);
    for (Step step : c.script) {
      OsEvent other;
      switch (step) {
        case kSelectSub: WindowDoubleSelect(kTree, 2); break;
        case kSelectGames: WindowDoubleSelect(kTree, 0); break;
        case kApply: WindowDoubleClick(kApply); break;
        case kClose: WindowDoubleCloseRequest(); break;
        case kWizardClick: WindowDoubleClick(kWizardButton); break;
        case kOtherWindowEvent:
          other.kind = kEventControl;
          other.window = wizard;
          other.control = kApply;
          other.detail = kDetailClicked;
          WindowDoubleQueueEvent(other);
          break;
      }
    }
    WindowDoubleClick(kWizardButton);  // after the dialog: the wizard takes clicks again

    EXPECT_EQ(ChooseStartMenuFolder(wizard, c.field), c.answer);

    const OsWindow dialog = wizard + 1;
    const WindowDoubleWindowRecord* window = WindowDoubleWindow(dialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->shape.title, " Select Directory") << "RQ3_Titel; RQ1_Titel is the error's";
    EXPECT_EQ(window->shape.owner, wizard);
    EXPECT_FALSE(window->open);
    EXPECT_EQ(window->focus, kTree);
    EXPECT_EQ(ControlOf(dialog, kApply)->text, "Apply");
    const std::vector<WindowDoubleTreeItem>& items = ControlOf(dialog, kTree)->items;
    ASSERT_EQ(items.size(), 3u) << "Tools listed once";
    EXPECT_EQ(items[0].text + "/" + items[1].text + "/" + items[2].text, "Games/Tools/Sub");
    EXPECT_EQ(items[2].level, 1);
    EXPECT_EQ(ControlOf(dialog, kTree)->state, c.selected);

    EXPECT_TRUE(WindowDoubleWindow(wizard)->enabled);
    EXPECT_EQ(WindowDoubleScriptLeft(), 1u) << "ended at Apply or the close request";
    EXPECT_EQ(WindowDoubleDroppedActions(), c.script[0] == kWizardClick ? 1 : 0);
    const std::vector<MessageBoxRecord>& boxes = MessageBoxDoubleBoxes();
    ASSERT_EQ(boxes.size(), c.errorBox ? 1u : 0u);
    if (c.errorBox) {
      EXPECT_EQ(boxes[0].caption, " Select Start Menu Folder");
      EXPECT_EQ(boxes[0].text, "No valid start menu folder.");
      EXPECT_EQ(boxes[0].flags, 0x10u);
    }
  }
}

}  // namespace
