// The window toolkit of the native build: the in-memory double described in
// window_double.h. Nothing is drawn; every call reads or writes the record.
#include <cstdio>
#include <deque>

#include "platform/window.h"
#include "platform/window_double.h"

namespace {

// Close requests answered in a row with an empty script before OsWaitEvent
// gives up, so that a flow that ignores them cannot spin for ever.
const int kMaxIdleCloseRequests = 100;

enum ActionKind { kActionEvent, kActionClick, kActionType, kActionSelect, kActionClose };

struct Action {
  ActionKind kind = kActionEvent;
  OsEvent event;
  int id = 0;
  std::string text;
  int position = -1;
};

struct WindowDouble {
  std::vector<WindowDoubleWindowRecord> windows;  // OsWindow n is windows[n - 1]
  std::vector<WindowDoubleFont> fonts;
  std::deque<Action> script;
  int dropped = 0;
  int drains = 0;
  int idleCloses = 0;
};

WindowDouble& Double() {
  static WindowDouble d;
  return d;
}

WindowDoubleWindowRecord* OpenWindow(OsWindow window) {
  WindowDouble& d = Double();
  if (window < 1 || window > static_cast<OsWindow>(d.windows.size())) return nullptr;
  WindowDoubleWindowRecord* record = &d.windows[window - 1];
  return record->open ? record : nullptr;
}

WindowDoubleControlRecord* Find(OsWindow window, int id) {
  WindowDoubleWindowRecord* record = OpenWindow(window);
  if (!record || id == 0) return nullptr;
  for (WindowDoubleControlRecord& control : record->controls) {
    if (control.shape.id == id) return &control;
  }
  return nullptr;
}

OsWindow TopWindowHolding(int id) {
  for (OsWindow w = static_cast<OsWindow>(Double().windows.size()); w >= 1; --w) {
    if (Find(w, id)) return w;
  }
  return 0;
}

bool ShownIn(OsWindow window, int id) {
  for (WindowDoubleControlRecord* control = Find(window, id); control;
       control = Find(window, control->shape.parent)) {
    if (!control->visible) return false;
    if (control->shape.parent == 0) return true;
  }
  return false;
}

// The options of one group: same panel, from the group's first option to
// the next option that starts a group.
void ClearOtherOptions(OsWindow window, const WindowDoubleControlRecord& ticked) {
  std::vector<WindowDoubleControlRecord*> group;
  bool found = false;
  for (WindowDoubleControlRecord& control : OpenWindow(window)->controls) {
    if (control.shape.kind != kControlOption || control.shape.parent != ticked.shape.parent) continue;
    if (control.shape.groupStart) {
      if (found) break;
      group.clear();
    }
    group.push_back(&control);
    if (&control == &ticked) found = true;
  }
  for (WindowDoubleControlRecord* control : group) {
    if (control != &ticked) control->state = 0;
  }
}

bool IsChoice(ControlKind kind) {
  return kind == kControlList || kind == kControlDropDown || kind == kControlTree;
}

int ChoiceCount(const WindowDoubleControlRecord& control) {
  return static_cast<int>(control.shape.kind == kControlTree ? control.items.size() : control.lines.size());
}

// Applies a user action to its control; false when no user could do it now.
bool Apply(const Action& action, OsEvent* event) {
  OsWindow window = TopWindowHolding(action.id);
  WindowDoubleControlRecord* control = Find(window, action.id);
  WindowDoubleWindowRecord* record = OpenWindow(window);
  if (!control || !record->shown || !record->enabled || !control->enabled || !ShownIn(window, action.id)) {
    return false;
  }
  ControlKind kind = control->shape.kind;
  event->kind = kEventControl;
  event->window = window;
  event->control = action.id;
  switch (action.kind) {
    case kActionClick:
      if (kind == kControlCheckBox) control->state = control->state ? 0 : 1;
      if (kind == kControlOption) {
        control->state = 1;
        ClearOtherOptions(window, *control);
      }
      event->detail = kDetailClicked;
      return true;
    case kActionType:
      if (kind != kControlEdit) return false;
      control->text = action.text;
      event->detail = kDetailLostFocus;
      return true;
    case kActionSelect:
      if (!IsChoice(kind) || action.position < 0 || action.position >= ChoiceCount(*control)) return false;
      control->state = action.position;
      event->detail = kDetailSelectionChanged;
      return true;
    default:
      return false;
  }
}

bool NextScripted(OsEvent* event) {
  WindowDouble& d = Double();
  while (!d.script.empty()) {
    Action action = d.script.front();
    d.script.pop_front();
    OsEvent next;
    bool delivered = false;
    if (action.kind == kActionEvent) {
      next = action.event;
      delivered = true;
    } else if (action.kind == kActionClose) {
      next.kind = kEventClose;
      next.window = WindowDoubleTopWindow();
      delivered = next.window != 0;
    } else {
      delivered = Apply(action, &next);
    }
    if (!delivered) {
      ++d.dropped;
      continue;
    }
    d.idleCloses = 0;
    if (event) *event = next;
    return true;
  }
  return false;
}

void QueueAction(ActionKind kind, int id, const std::string& text, int position) {
  Action action;
  action.kind = kind;
  action.id = id;
  action.text = text;
  action.position = position;
  Double().script.push_back(action);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  char chunk[4096];
  size_t got;
  bytes->clear();
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, got);
  fclose(file);
  return true;
}

}  // namespace

// --------------------------------------------------------------- the double --

void ResetWindowDouble() { Double() = WindowDouble(); }

void WindowDoubleQueueEvent(const OsEvent& event) {
  Action action;
  action.event = event;
  Double().script.push_back(action);
}
void WindowDoubleClick(int id) { QueueAction(kActionClick, id, std::string(), -1); }
void WindowDoubleType(int id, const std::string& text) { QueueAction(kActionType, id, text, -1); }
void WindowDoubleSelect(int id, int position) { QueueAction(kActionSelect, id, std::string(), position); }
void WindowDoubleCloseRequest() { QueueAction(kActionClose, 0, std::string(), -1); }
size_t WindowDoubleScriptLeft() { return Double().script.size(); }
int WindowDoubleDroppedActions() { return Double().dropped; }
int WindowDoubleDrains() { return Double().drains; }

const WindowDoubleControlRecord* WindowDoubleControl(int id) { return Find(TopWindowHolding(id), id); }

const WindowDoubleWindowRecord* WindowDoubleWindow(OsWindow window) {
  WindowDouble& d = Double();
  if (window < 1 || window > static_cast<OsWindow>(d.windows.size())) return nullptr;
  return &d.windows[window - 1];
}

OsWindow WindowDoubleTopWindow() {
  for (OsWindow w = static_cast<OsWindow>(Double().windows.size()); w >= 1; --w) {
    if (OpenWindow(w)) return w;
  }
  return 0;
}

bool WindowDoubleShown(int id) { return ShownIn(TopWindowHolding(id), id); }

const std::vector<WindowDoubleFont>& WindowDoubleFonts() { return Double().fonts; }

// ---------------------------------------------------------------- window.h --

int OsCreateFont(const std::string& face, int points, int weight) {
  if (face.empty() || Double().fonts.size() >= 32) return 0;  // as many as the Windows form holds
  WindowDoubleFont font;
  font.face = face;
  font.points = points;
  font.weight = weight;
  Double().fonts.push_back(font);
  return static_cast<int>(Double().fonts.size());
}

OsWindow OsOpenWindow(const WindowSpec& shape) {
  if (shape.owner != 0 && !OpenWindow(shape.owner)) return 0;
  WindowDoubleWindowRecord record;
  record.shape = shape;
  Double().windows.push_back(record);
  return static_cast<OsWindow>(Double().windows.size());
}

void OsShowWindow(OsWindow window) {
  if (WindowDoubleWindowRecord* record = OpenWindow(window)) record->shown = true;
}

void OsHideWindow(OsWindow window) {
  if (WindowDoubleWindowRecord* record = OpenWindow(window)) record->shown = false;
}

void OsCloseWindow(OsWindow window) {
  if (WindowDoubleWindowRecord* record = OpenWindow(window)) {
    record->open = false;
    record->shown = false;
  }
}

void OsEnableWindow(OsWindow window, bool enabled) {
  if (WindowDoubleWindowRecord* record = OpenWindow(window)) record->enabled = enabled;
}

uintptr_t OsWindowHandle(OsWindow window) { return OpenWindow(window) ? static_cast<uintptr_t>(window) : 0; }

bool OsAddControl(OsWindow window, const ControlSpec& shape) {
  WindowDoubleWindowRecord* record = OpenWindow(window);
  if (!record || shape.id == 0 || Find(window, shape.id)) return false;
  if (shape.parent != 0) {
    WindowDoubleControlRecord* panel = Find(window, shape.parent);
    if (!panel || panel->shape.kind != kControlPanel) return false;
  }
  WindowDoubleControlRecord control;
  control.shape = shape;
  control.window = window;
  control.text = shape.kind == kControlRichText ? std::string() : shape.text;
  control.state = IsChoice(shape.kind) ? -1 : 0;
  control.visible = !shape.hidden;
  record->controls.push_back(control);
  return true;
}

bool OsSetText(OsWindow window, int id, const std::string& text) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control) return false;
  control->text = text;
  return true;
}

std::string OsGetText(OsWindow window, int id) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control) return std::string();
  return control->text;
}

bool OsSetState(OsWindow window, int id, int state) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control) return false;
  ControlKind kind = control->shape.kind;
  if (kind == kControlCheckBox || kind == kControlOption) {
    control->state = state ? 1 : 0;
    if (state && kind == kControlOption) ClearOtherOptions(window, *control);
    return true;
  }
  if (!IsChoice(kind) || state >= ChoiceCount(*control)) return false;
  control->state = state < 0 ? -1 : state;
  return true;
}

int OsGetState(OsWindow window, int id) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control) return -1;
  ControlKind kind = control->shape.kind;
  return kind == kControlCheckBox || kind == kControlOption || IsChoice(kind) ? control->state : -1;
}

void OsShowControl(OsWindow window, int id, bool shown) {
  if (WindowDoubleControlRecord* control = Find(window, id)) control->visible = shown;
}

void OsEnableControl(OsWindow window, int id, bool enabled) {
  if (WindowDoubleControlRecord* control = Find(window, id)) control->enabled = enabled;
}

bool OsControlVisible(OsWindow window, int id) { return ShownIn(window, id); }

bool OsControlEnabled(OsWindow window, int id) {
  WindowDoubleControlRecord* control = Find(window, id);
  return control && control->enabled;
}

void OsSetFocus(OsWindow window, int id) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control) return;
  OpenWindow(window)->focus = id;
  // As the system's button control does: an automatic option that gets the
  // focus other than by a click, while unticked, ticks itself and reports a
  // click to its window, delivered before anything the user does next.
  if (control->shape.kind == kControlOption && control->state == 0 && control->enabled && ShownIn(window, id)) {
    control->state = 1;
    ClearOtherOptions(window, *control);
    Action clicked;
    clicked.event.kind = kEventControl;
    clicked.event.window = window;
    clicked.event.control = id;
    clicked.event.detail = kDetailClicked;
    Double().script.push_front(clicked);
  }
}

uintptr_t OsControlHandle(OsWindow window, int id) {
  return Find(window, id) ? static_cast<uintptr_t>(id) : 0;
}

int OsAddLine(OsWindow window, int id, const std::string& text) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control || (control->shape.kind != kControlList && control->shape.kind != kControlDropDown)) return -1;
  control->lines.push_back(text);
  return static_cast<int>(control->lines.size()) - 1;
}

bool OsSetLine(OsWindow window, int id, int line, const std::string& text) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control || line < 0 || line >= static_cast<int>(control->lines.size())) return false;
  control->lines[static_cast<size_t>(line)] = text;
  return true;
}

int OsCountLines(OsWindow window, int id) {
  WindowDoubleControlRecord* control = Find(window, id);
  return control && IsChoice(control->shape.kind) ? ChoiceCount(*control) : 0;
}

void OsClearLines(OsWindow window, int id) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control || !IsChoice(control->shape.kind)) return;
  control->lines.clear();
  control->items.clear();
  control->state = -1;
}

int OsAddTreeItem(OsWindow window, int id, const std::string& text, int level) {
  WindowDoubleControlRecord* tree = Find(window, id);
  if (!tree || tree->shape.kind != kControlTree) return -1;
  if (level < 0 || tree->items.empty()) level = 0;
  if (!tree->items.empty() && level > tree->items.back().level + 1) level = tree->items.back().level + 1;
  WindowDoubleTreeItem item;
  item.text = text;
  item.level = level;
  tree->items.push_back(item);
  return static_cast<int>(tree->items.size()) - 1;
}

std::string OsTreeItemText(OsWindow window, int id, int item) {
  WindowDoubleControlRecord* tree = Find(window, id);
  if (!tree || item < 0 || item >= static_cast<int>(tree->items.size())) return std::string();
  return tree->items[static_cast<size_t>(item)].text;
}

int OsTreeItemLevel(OsWindow window, int id, int item) {
  WindowDoubleControlRecord* tree = Find(window, id);
  if (!tree || item < 0 || item >= static_cast<int>(tree->items.size())) return -1;
  return tree->items[static_cast<size_t>(item)].level;
}

void OsSetProgressMax(OsWindow window, int id, int maximum) {
  WindowDoubleControlRecord* bar = Find(window, id);
  if (!bar || bar->shape.kind != kControlProgress) return;
  bar->progressMax = maximum < 0 ? 0 : maximum;
  if (bar->progress > bar->progressMax) bar->progress = bar->progressMax;
}

void OsSetProgress(OsWindow window, int id, int value) {
  WindowDoubleControlRecord* bar = Find(window, id);
  if (!bar || bar->shape.kind != kControlProgress) return;
  bar->progress = value < 0 ? 0 : value > bar->progressMax ? bar->progressMax : value;
}

int OsGetProgress(OsWindow window, int id) {
  WindowDoubleControlRecord* bar = Find(window, id);
  return bar && bar->shape.kind == kControlProgress ? bar->progress : 0;
}

bool OsLoadImage(OsWindow window, int id, const std::string& path) {
  WindowDoubleControlRecord* control = Find(window, id);
  std::string bytes;
  if (!control || control->shape.kind != kControlImage || !ReadWholeFile(path, &bytes) || bytes.empty()) {
    return false;
  }
  control->image = path;
  return true;
}

bool OsLoadResourceIcon(OsWindow window, int id, int resource) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control || control->shape.kind != kControlImage || resource != 1) return false;
  control->image = "#" + std::to_string(resource);
  return true;
}

void OsFreeImage(OsWindow window, int id) {
  if (WindowDoubleControlRecord* control = Find(window, id)) control->image.clear();
}

bool OsLoadRichText(OsWindow window, int id, const std::string& path, bool rtf) {
  WindowDoubleControlRecord* viewer = Find(window, id);
  std::string bytes;
  if (!viewer || viewer->shape.kind != kControlRichText || !ReadWholeFile(path, &bytes)) return false;
  viewer->text = bytes;
  viewer->richTextIsRtf = rtf;
  return true;
}

void OsSetControlColours(OsWindow window, int id, uint32_t text, uint32_t background) {
  WindowDoubleControlRecord* control = Find(window, id);
  if (!control) return;
  control->coloured = true;
  control->textColour = text;
  control->backgroundColour = background;
}

void OsSetDefaultButton(OsWindow window, int id) {
  if (WindowDoubleWindowRecord* record = OpenWindow(window)) record->defaultButton = id;
}

void OsSetCancelControl(OsWindow window, int id) {
  if (WindowDoubleWindowRecord* record = OpenWindow(window)) record->cancelControl = id;
}

bool OsWaitEvent(OsEvent* event) {
  if (NextScripted(event)) return true;
  OsWindow top = WindowDoubleTopWindow();
  if (!top || ++Double().idleCloses > kMaxIdleCloseRequests) return false;
  if (event) {
    *event = OsEvent();
    event->kind = kEventClose;
    event->window = top;
  }
  return true;
}

bool OsPollEvent(OsEvent* event) { return NextScripted(event); }

void OsDrainEvents() { ++Double().drains; }
