// The window double that flow tests drive: what a hidden panel does to the
// controls in it, the script replayed in order with its effects applied at
// delivery, actions a user could not do dropped, and the close request that
// ends a flow once the script is used up.
#include <gtest/gtest.h>

#include <string>

#include "platform/window.h"
#include "platform/window_double.h"

namespace {

enum {
  kPanel = 10, kInner = 11, kLabel = 12, kButton = 13, kAccept = 20, kRefuse = 21,
  kOtherGroup = 22, kBox = 23, kField = 24, kLog = 25, kTree = 26, kOutside = 30,
};

ControlSpec MakeControl(int id, ControlKind kind, int parent = 0) {
  ControlSpec shape;
  shape.id = id;
  shape.kind = kind;
  shape.parent = parent;
  return shape;
}

class WindowDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowDouble();
    window_ = OsOpenWindow(WindowSpec{" Test", 480, 335, false, 0});
    ASSERT_NE(window_, 0);
    ControlSpec accept = MakeControl(kAccept, kControlOption, kPanel);
    accept.groupStart = true;
    ControlSpec other = MakeControl(kOtherGroup, kControlOption, kPanel);
    other.groupStart = true;
    ControlSpec hiddenLabel = MakeControl(kLabel, kControlText, kInner);
    hiddenLabel.hidden = true;
    for (const ControlSpec& shape :
         {MakeControl(kPanel, kControlPanel), MakeControl(kInner, kControlPanel, kPanel), hiddenLabel,
          MakeControl(kButton, kControlButton, kInner), accept, MakeControl(kRefuse, kControlOption, kPanel), other,
          MakeControl(kBox, kControlCheckBox, kPanel), MakeControl(kField, kControlEdit, kPanel),
          MakeControl(kLog, kControlList, kPanel), MakeControl(kTree, kControlTree, kPanel), MakeControl(kOutside, kControlButton)}) {
      ASSERT_TRUE(OsAddControl(window_, shape)) << shape.id;
    }
    OsShowWindow(window_);
  }
  void TearDown() override { ResetWindowDouble(); }

  OsEvent Next() {
    OsEvent event;
    EXPECT_TRUE(OsWaitEvent(&event));
    return event;
  }

  OsWindow window_ = 0;
};

TEST_F(WindowDoubleTest, HiddenPanelHidesWhatItHolds) {
  EXPECT_FALSE(OsAddControl(window_, MakeControl(kPanel, kControlText))) << "duplicate id";
  EXPECT_FALSE(OsAddControl(window_, MakeControl(99, kControlText, kButton))) << "parent is no panel";
  struct Case {
    bool panel, inner;
    bool button, label, outside;
  } cases[] = {
      {true, true, true, false, true},
      {true, false, false, false, true},
      {false, true, false, false, true},
  };
  for (const Case& c : cases) {
    OsShowControl(window_, kPanel, c.panel);
    OsShowControl(window_, kInner, c.inner);
    EXPECT_EQ(OsControlVisible(window_, kButton), c.button) << c.panel << c.inner;
    EXPECT_EQ(WindowDoubleShown(kButton), c.button) << c.panel << c.inner;
    EXPECT_EQ(OsControlVisible(window_, kLabel), c.label) << "its own flag still counts";
    EXPECT_EQ(OsControlVisible(window_, kOutside), c.outside);
  }
}

TEST_F(WindowDoubleTest, ScriptReplaysInOrderAndAppliesOnDelivery) {
  OsAddLine(window_, kLog, "one");
  OsAddLine(window_, kLog, "two");
  EXPECT_EQ(OsAddTreeItem(window_, kTree, "Tools", 0), 0);
  EXPECT_EQ(OsAddTreeItem(window_, kTree, "Sub", 3), 1);
  EXPECT_EQ(OsTreeItemLevel(window_, kTree, 1), 1) << "one below the last item at most";
  OsSetState(window_, kOtherGroup, 1);
  OsSetState(window_, kRefuse, 1);

  WindowDoubleType(kField, "C:\\Apps");
  WindowDoubleClick(kAccept);
  WindowDoubleClick(kBox);
  WindowDoubleSelect(kLog, 1);
  WindowDoubleSelect(kTree, 1);
  WindowDoubleClick(kBox);
  WindowDoubleClick(kButton);
  EXPECT_EQ(OsGetText(window_, kField), "") << "nothing happens before delivery";

  // After each event, the state of its control (-2: not a state to check).
  struct Expected {
    int control;
    OsEventDetail detail;
    int state;
  } expected[] = {{kField, kDetailLostFocus, -2},     {kAccept, kDetailClicked, 1},
                  {kBox, kDetailClicked, 1},          {kLog, kDetailSelectionChanged, 1},
                  {kTree, kDetailSelectionChanged, 1}, {kBox, kDetailClicked, 0},
                  {kButton, kDetailClicked, -2}};
  for (const Expected& e : expected) {
    OsEvent event = Next();
    EXPECT_EQ(event.kind, kEventControl);
    EXPECT_EQ(event.window, window_);
    EXPECT_EQ(event.control, e.control);
    EXPECT_EQ(event.detail, e.detail);
    if (e.state != -2) {
      EXPECT_EQ(OsGetState(window_, e.control), e.state) << e.control;
    }
    if (e.control == kField) {
      EXPECT_EQ(OsGetText(window_, kField), "C:\\Apps");
    }
    if (e.control == kAccept) {
      EXPECT_EQ(OsGetState(window_, kRefuse), 0) << "the option group is cleared";
      EXPECT_EQ(OsGetState(window_, kOtherGroup), 1) << "another group is not";
    }
  }
  EXPECT_EQ(WindowDoubleDroppedActions(), 0);
}

TEST_F(WindowDoubleTest, ActionsNoUserCouldDoAreDropped) {
  OsEnableControl(window_, kButton, false);
  WindowDoubleClick(kButton);       // disabled
  WindowDoubleClick(kLabel);        // hidden
  WindowDoubleSelect(kLog, 0);      // no such line
  WindowDoubleClick(12345);         // no such control
  WindowDoubleClick(kOutside);
  OsEvent event = Next();
  EXPECT_EQ(event.control, kOutside);
  EXPECT_EQ(WindowDoubleDroppedActions(), 4);

  // Reachability is judged at delivery, as a user sees the window then.
  WindowDoubleClick(kBox);
  WindowDoubleClick(kOutside);
  OsShowControl(window_, kPanel, false);
  OsEnableWindow(window_, false);  // as under a modal dialog
  EXPECT_FALSE(OsPollEvent(&event));
  EXPECT_EQ(WindowDoubleDroppedActions(), 6);
  EXPECT_EQ(OsGetState(window_, kBox), 0) << "a dropped click ticks nothing";
}

TEST_F(WindowDoubleTest, EmptyScriptClosesTheTopWindowAndNeverHangs) {
  OsWindow dialog = OsOpenWindow(WindowSpec{" Dialog", 220, 300, true, window_});
  ASSERT_NE(dialog, 0);
  ASSERT_TRUE(OsAddControl(dialog, MakeControl(kButton, kControlButton)));
  OsShowWindow(dialog);
  WindowDoubleClick(kButton);  // the dialog's, the most recent window holding the id
  OsDrainEvents();
  EXPECT_EQ(WindowDoubleScriptLeft(), 1u) << "a drain keeps what the user does later";
  OsEvent event = Next();
  EXPECT_EQ(event.window, dialog);
  EXPECT_FALSE(OsPollEvent(&event)) << "polling never invents a close request";

  event = Next();
  EXPECT_EQ(event.kind, kEventClose);
  EXPECT_EQ(event.window, dialog);
  OsCloseWindow(dialog);
  event = Next();
  EXPECT_EQ(event.kind, kEventClose);
  EXPECT_EQ(event.window, window_);

  int answers = 0;
  while (OsWaitEvent(&event) && answers < 1000) ++answers;
  EXPECT_LT(answers, 1000) << "a flow that ignores close requests still ends";
  OsCloseWindow(window_);
  ResetWindowDouble();
  EXPECT_FALSE(OsWaitEvent(&event)) << "no window, no event";
}

}  // namespace
