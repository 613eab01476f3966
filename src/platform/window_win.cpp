// The window toolkit over plain Win32: ANSI windows and standard controls,
// one window procedure for the top-level windows and one for panels, and an
// event queue that the procedures fill and OsWaitEvent empties.
//
// The common controls (progress bar, tree) and the rich edit control come
// from DLLs that are not known DLLs; they are loaded at run time by full
// path from the system folder, so Install.exe imports neither and nothing
// planted next to it is ever loaded.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <cstdlib>
#include <vector>

#include "platform/window.h"

namespace {

const char kWindowClass[] = "ZandorWindow";
const char kPanelClass[] = "ZandorPanel";
const COLORREF kLinkHoverColour = 0x804000;

// What the toolkit keeps of a ControlSpec (the rest lives in the control).
struct ControlFacts {
  int id;
  ControlKind kind;
  int parent;
  int width;
  int height;
  bool white;
  bool groupStart;
};

struct TreeItem {
  HTREEITEM item;
  int level;
};

struct ControlSlot {
  ControlFacts shape;
  HWND hwnd = nullptr;
  HANDLE image = nullptr;  // owned bitmap or icon of an image control
  UINT imageType = 0;
  std::vector<TreeItem> items;  // tree items in adding order
  int progressMax = 100;
  bool hover = false;  // hyperlink under the mouse
};

struct WindowSlot {
  HWND hwnd = nullptr;  // null once closed
  bool systemMenu = false;
  int defaultId = 0;
  int cancelId = 0;
  HWND savedFocus = nullptr;  // focus to give back when the window is activated again
  std::vector<ControlSlot> controls;
};

struct ColourEntry {
  OsWindow window;
  int id;
  COLORREF text;
  COLORREF background;
  HBRUSH brush;
};

struct Toolkit {
  std::vector<WindowSlot> windows;  // OsWindow n is windows[n - 1]
  HBRUSH whiteBrush = nullptr;
  bool classesRegistered = false;
  bool commonControlsTried = false;
  bool commonControlsReady = false;
  bool richEditTried = false;
  const char* richEditClass = nullptr;
  WNDPROC staticProc = nullptr;  // the system's static procedure under the hyperlinks
  int pixelsPerInch = 0;         // of the screen, read once; 0 until then
};

Toolkit& Kit() {
  static Toolkit kit;
  return kit;
}

// Fixed capacities keep the code small: the wizard and its dialogs use a
// handful of fonts, one colour entry, and a few events at a time. The
// tables are allocated zero-filled on first use: as a zeroed global they
// would still take their full size in the program file.
const int kMaxFonts = 32;
const int kMaxColours = 32;
const int kMaxEvents = 64;

// An OsEvent without its member defaults, so that the table stays plain.
struct QueuedEvent {
  OsEventKind kind;
  OsWindow window;
  int control;
  OsEventDetail detail;
};

struct Tables {
  HFONT fonts[kMaxFonts];  // font number n is fonts[n - 1]
  int fontCount;
  ColourEntry colours[kMaxColours];
  int colourCount;
  QueuedEvent events[kMaxEvents];  // a ring: the oldest at eventStart
  int eventStart;
  int eventCount;
};

Tables& TablesOf() {
  static Tables* tables = nullptr;
  if (!tables) tables = static_cast<Tables*>(calloc(1, sizeof(Tables)));
  if (!tables) ExitProcess(0);  // out of memory at the start, like operator new
  return *tables;
}

WindowSlot* FindWindowSlot(OsWindow window) {
  Toolkit& kit = Kit();
  if (window < 1 || window > static_cast<OsWindow>(kit.windows.size())) return nullptr;
  WindowSlot* slot = &kit.windows[window - 1];
  return slot->hwnd ? slot : nullptr;
}

OsWindow WindowOfHandle(HWND hwnd) {
  Toolkit& kit = Kit();
  for (size_t i = 0; i < kit.windows.size(); ++i) {
    if (kit.windows[i].hwnd && kit.windows[i].hwnd == hwnd) return static_cast<OsWindow>(i + 1);
  }
  return 0;
}

ControlSlot* FindControl(OsWindow window, int id) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot || id == 0) return nullptr;
  for (ControlSlot& control : slot->controls) {
    if (control.shape.id == id) return &control;
  }
  return nullptr;
}

ControlSlot* ControlOfHandle(HWND hwnd, OsWindow* window) {
  if (!hwnd) return nullptr;
  OsWindow owner = WindowOfHandle(GetAncestor(hwnd, GA_ROOT));
  WindowSlot* slot = FindWindowSlot(owner);
  if (!slot) return nullptr;
  for (ControlSlot& control : slot->controls) {
    if (control.hwnd == hwnd) {
      if (window) *window = owner;
      return &control;
    }
  }
  return nullptr;
}

// A full queue drops the newest events: nobody clicks 64 times between
// two waits.
void PushEvent(OsEventKind kind, OsWindow window, int control, OsEventDetail detail) {
  Tables& kit = TablesOf();
  if (kit.eventCount == kMaxEvents) return;
  kit.events[(kit.eventStart + kit.eventCount++) % kMaxEvents] = QueuedEvent{kind, window, control, detail};
}

bool PopEvent(OsEvent* event) {
  Tables& kit = TablesOf();
  if (kit.eventCount == 0) return false;
  const QueuedEvent& next = kit.events[kit.eventStart];
  if (event) {
    event->kind = next.kind;
    event->window = next.window;
    event->control = next.control;
    event->detail = next.detail;
  }
  kit.eventStart = (kit.eventStart + 1) % kMaxEvents;
  --kit.eventCount;
  return true;
}

// Drops the queued events of one window (0: of every window).
void DropEvents(OsWindow window) {
  Tables& kit = TablesOf();
  int kept = 0;
  for (int i = 0; i < kit.eventCount; ++i) {
    const QueuedEvent event = kit.events[(kit.eventStart + i) % kMaxEvents];
    if (window != 0 && event.window != window) kit.events[(kit.eventStart + kept++) % kMaxEvents] = event;
  }
  kit.eventCount = kept;
}

std::string SystemFile(const char* name) {
  char folder[MAX_PATH];
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string path(folder, length);
  if (path[path.size() - 1] != '\\') path += '\\';
  return path + name;
}

HMODULE LoadSystemLibrary(const char* name) {
  std::string path = SystemFile(name);
  return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}

bool EnsureCommonControls() {
  Toolkit& kit = Kit();
  if (!kit.commonControlsTried) {
    kit.commonControlsTried = true;
    typedef BOOL(WINAPI * InitFn)(const INITCOMMONCONTROLSEX*);
    HMODULE module = LoadSystemLibrary("comctl32.dll");
    InitFn init = module ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(
                               GetProcAddress(module, "InitCommonControlsEx")))
                         : nullptr;
    if (init) {
      INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES};
      kit.commonControlsReady = init(&classes) != FALSE;
    }
  }
  return kit.commonControlsReady;
}

const char* RichEditClass() {
  Toolkit& kit = Kit();
  if (!kit.richEditTried) {
    kit.richEditTried = true;
    if (LoadSystemLibrary("RICHED20.DLL")) {
      kit.richEditClass = "RichEdit20A";
    } else if (LoadSystemLibrary("RICHED32.DLL")) {
      kit.richEditClass = "RICHEDIT";
    }
  }
  return kit.richEditClass;
}

HBRUSH WhiteBrush() {
  Toolkit& kit = Kit();
  if (!kit.whiteBrush) kit.whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
  return kit.whiteBrush;
}

HFONT FontHandle(int font) {
  Tables& kit = TablesOf();
  if (font >= 1 && font <= kit.fontCount) return kit.fonts[font - 1];
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

bool ParentIsWhite(OsWindow window, const ControlSlot& control) {
  ControlSlot* panel = FindControl(window, control.shape.parent);
  return panel && panel->shape.white;
}

// Options of one group: the options of the same panel from the group's first
// option up to the next option that starts a group.
void ClearOtherOptions(OsWindow window, const ControlSlot& ticked) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot) return;
  std::vector<ControlSlot*> group;
  bool found = false;
  for (ControlSlot& control : slot->controls) {
    if (control.shape.kind != kControlOption || control.shape.parent != ticked.shape.parent) continue;
    if (control.shape.groupStart) {
      if (found) break;
      group.clear();
    }
    group.push_back(&control);
    if (&control == &ticked) found = true;
  }
  for (ControlSlot* control : group) {
    if (control != &ticked) SendMessageA(control->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

ControlSlot* TickedOptionOfGroup(OsWindow window, const ControlSlot& member) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot) return nullptr;
  ControlSlot* ticked = nullptr;
  bool found = false;
  for (ControlSlot& control : slot->controls) {
    if (control.shape.kind != kControlOption || control.shape.parent != member.shape.parent) continue;
    if (control.shape.groupStart) {
      if (found) break;
      ticked = nullptr;
    }
    if (&control == &member) found = true;
    if (!ticked && SendMessageA(control.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) ticked = &control;
  }
  return found ? ticked : nullptr;
}

// Answers a colour request of a child control; false leaves it to the system.
bool AnswerColour(HDC dc, HWND child, LRESULT* brush) {
  OsWindow window = 0;
  ControlSlot* control = ControlOfHandle(child, &window);
  if (!control) return false;
  Tables& kit = TablesOf();
  for (int i = 0; i < kit.colourCount; ++i) {
    const ColourEntry& entry = kit.colours[i];
    if (entry.window == window && entry.id == control->shape.id) {
      SetTextColor(dc, entry.text);
      SetBkColor(dc, entry.background);
      SetBkMode(dc, OPAQUE);
      *brush = reinterpret_cast<LRESULT>(entry.brush);
      return true;
    }
  }
  ControlKind kind = control->shape.kind;
  bool white = kind == kControlText ? control->shape.white
                                     : (kind == kControlImage || kind == kControlLink) &&
                                           ParentIsWhite(window, *control);
  if (kind == kControlLink) {
    SetTextColor(dc, control->hover ? kLinkHoverColour : RGB(0, 0, 0));
  } else if (!white) {
    return false;
  }
  SetBkColor(dc, white ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNFACE));
  *brush = reinterpret_cast<LRESULT>(white ? WhiteBrush() : GetSysColorBrush(COLOR_BTNFACE));
  return true;
}

// Notices from child controls, shared by the window and the panels (a
// panel's children talk to the panel).
bool HandleChildNotice(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND: {
      OsWindow window = 0;
      ControlSlot* control = ControlOfHandle(reinterpret_cast<HWND>(lparam), &window);
      if (!control) return false;
      UINT code = HIWORD(wparam);
      OsEventDetail detail = kDetailNone;
      switch (control->shape.kind) {
        case kControlButton:
        case kControlCheckBox:
        case kControlOption:
          if (code == BN_CLICKED) detail = kDetailClicked;
          break;
        case kControlEdit:
          if (code == EN_KILLFOCUS) detail = kDetailLostFocus;
          break;
        case kControlList:
          if (code == LBN_SELCHANGE) detail = kDetailSelectionChanged;
          break;
        case kControlDropDown:
          if (code == CBN_SELCHANGE) detail = kDetailSelectionChanged;
          break;
        default:
          break;
      }
      if (detail != kDetailNone) PushEvent(kEventControl, window, control->shape.id, detail);
      *result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code != TVN_SELCHANGEDA && header->code != TVN_SELCHANGEDW) return false;
      // Selections the program makes itself come as "unknown" actions.
      if (reinterpret_cast<const NMTREEVIEWA*>(lparam)->action == TVC_UNKNOWN) return false;
      OsWindow window = 0;
      ControlSlot* control = ControlOfHandle(header->hwndFrom, &window);
      if (!control) return false;
      PushEvent(kEventControl, window, control->shape.id, kDetailSelectionChanged);
      *result = 0;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return AnswerColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam), result);
    default:
      return false;
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (HandleChildNotice(message, wparam, lparam, &result)) return result;
  OsWindow window = WindowOfHandle(hwnd);
  WindowSlot* slot = FindWindowSlot(window);
  switch (message) {
    case WM_CLOSE:
      if (slot) PushEvent(kEventClose, window, 0, kDetailNone);
      return 0;
    case WM_ACTIVATE:
      if (!slot) break;
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) slot->savedFocus = focus;
      } else if (slot->savedFocus && IsWindow(slot->savedFocus) && IsChild(hwnd, slot->savedFocus)) {
        SetFocus(slot->savedFocus);
        return 0;
      }
      break;
    case DM_GETDEFID:
      if (slot && slot->defaultId) return MAKELRESULT(slot->defaultId, DC_HASDEFID);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (HandleChildNotice(message, wparam, lparam, &result)) return result;
  if (message == WM_ERASEBKGND) {
    RECT area;
    GetClientRect(hwnd, &area);
    bool white = GetWindowLongPtrA(hwnd, GWLP_USERDATA) != 0;
    FillRect(reinterpret_cast<HDC>(wparam), &area, white ? WhiteBrush() : GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Hyperlinks are statics with their own mouse handling: a hand cursor, the
// hover colour while the mouse is over them, and a click on release.
LRESULT CALLBACK LinkProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  OsWindow window = 0;
  ControlSlot* control = ControlOfHandle(hwnd, &window);
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE: {
      RECT area;
      GetClientRect(hwnd, &area);
      POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      bool inside = message == WM_MOUSEMOVE && PtInRect(&area, point);
      if (inside) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
      }
      if (control && control->hover != inside) {
        control->hover = inside;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) {
        ReleaseCapture();
        RECT area;
        GetClientRect(hwnd, &area);
        POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        if (control && PtInRect(&area, point)) {
          PushEvent(kEventControl, window, control->shape.id, kDetailClicked);
        }
      }
      return 0;
    default:
      break;
  }
  return CallWindowProcA(Kit().staticProc, hwnd, message, wparam, lparam);
}

bool RegisterClasses() {
  Toolkit& kit = Kit();
  if (kit.classesRegistered) return true;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window = {};
  window.lpfnWndProc = WindowProc;
  window.hInstance = instance;
  window.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  window.lpszClassName = kWindowClass;
  WNDCLASSA panel = {};
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = instance;
  panel.hCursor = LoadCursor(nullptr, IDC_ARROW);
  panel.lpszClassName = kPanelClass;
  kit.classesRegistered = RegisterClassA(&window) && RegisterClassA(&panel);
  return kit.classesRegistered;
}

void FreeImage(ControlSlot* control) {
  if (!control->image) return;
  if (control->hwnd) SendMessageA(control->hwnd, STM_SETIMAGE, control->imageType, 0);
  if (control->imageType == IMAGE_ICON) {
    DestroyIcon(static_cast<HICON>(control->image));
  } else {
    DeleteObject(control->image);
  }
  control->image = nullptr;
}

bool SetImage(ControlSlot* control, HANDLE image, UINT type) {
  if (!image) return false;
  FreeImage(control);
  LONG_PTR style = GetWindowLongPtrA(control->hwnd, GWL_STYLE);
  style = (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | (type == IMAGE_ICON ? SS_ICON : SS_BITMAP);
  SetWindowLongPtrA(control->hwnd, GWL_STYLE, style);
  SendMessageA(control->hwnd, STM_SETIMAGE, type, reinterpret_cast<LPARAM>(image));
  control->image = image;
  control->imageType = type;
  // The static fits itself to the picture; the control keeps its own size.
  SetWindowPos(control->hwnd, nullptr, 0, 0, control->shape.width, control->shape.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(control->hwnd, nullptr, TRUE);
  return true;
}

bool UsableControl(const ControlSlot* control) {
  return control && IsWindowVisible(control->hwnd) && IsWindowEnabled(control->hwnd);
}

// Focus by keyboard: into an option group at its ticked option; an edit
// shows its whole text selected.
void FocusByKeyboard(OsWindow window, HWND target) {
  ControlSlot* control = ControlOfHandle(target, nullptr);
  if (control && control->shape.kind == kControlOption) {
    ControlSlot* ticked = TickedOptionOfGroup(window, *control);
    if (UsableControl(ticked)) target = ticked->hwnd;
  }
  SetFocus(target);
  if (control && control->shape.kind == kControlEdit) SendMessageA(target, EM_SETSEL, 0, -1);
}

// Tab, Enter and Escape for the window that holds the keyboard focus; true
// when the key was used here.
bool HandleKey(OsWindow window, const MSG& msg) {
  WindowSlot* slot = FindWindowSlot(window);
  WPARAM key = msg.wParam;
  if (!slot || (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE)) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  HWND focus = GetFocus();
  if (focus && !IsChild(slot->hwnd, focus)) focus = nullptr;
  ControlSlot* focused = ControlOfHandle(focus, nullptr);
  if (key == VK_TAB) {
    HWND next = GetNextDlgTabItem(slot->hwnd, focus, GetKeyState(VK_SHIFT) < 0);
    if (next) FocusByKeyboard(window, next);
    return true;
  }
  // An opened drop-down takes Enter and Escape itself.
  if (focused && focused->shape.kind == kControlDropDown &&
      SendMessageA(focused->hwnd, CB_GETDROPPEDSTATE, 0, 0)) {
    return false;
  }
  if (key == VK_RETURN) {
    ControlSlot* target = focused && focused->shape.kind == kControlButton
                              ? focused
                              : FindControl(window, slot->defaultId);
    if (UsableControl(target)) PushEvent(kEventControl, window, target->shape.id, kDetailClicked);
    return true;
  }
  ControlSlot* cancel = FindControl(window, slot->cancelId);
  if (UsableControl(cancel)) {
    PushEvent(kEventControl, window, cancel->shape.id, kDetailClicked);
  } else if (slot->systemMenu) {
    PushEvent(kEventClose, window, 0, kDetailNone);
  }
  return true;
}

void DispatchOne(MSG* msg) {
  HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
  OsWindow window = root ? WindowOfHandle(root) : 0;
  if (window) {
    if (msg->message == WM_KEYDOWN && HandleKey(window, *msg)) return;
    if (IsDialogMessageA(root, msg)) return;
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
}

// Handles the messages already waiting; false when the thread was told to
// quit (the quit stays posted for whoever looks next).
bool HandlePending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    DispatchOne(&msg);
  }
  return true;
}

bool AnyWindowOpen() {
  for (const WindowSlot& slot : Kit().windows) {
    if (slot.hwnd) return true;
  }
  return false;
}

// The program declares itself DPI-aware (system-wide) in its manifest, so
// Windows no longer stretches its windows: every position and size that the
// callers give in 96-DPI pixels is scaled here, when a window, a control or
// an image is made, by the screen's pixels per inch / 96. The fonts already
// follow the screen (OsCreateFont), so text and boxes grow together.
int ScaleForScreen(int pixels) {
  Toolkit& kit = Kit();
  if (kit.pixelsPerInch == 0) {
    HDC screen = GetDC(nullptr);
    kit.pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (kit.pixelsPerInch <= 0) kit.pixelsPerInch = 96;
  }
  return MulDiv(pixels, kit.pixelsPerInch, 96);
}

HWND CreateChild(const ControlSpec& shape, HWND parent, const char* cls, DWORD style, DWORD exStyle) {
  style |= WS_CHILD | WS_CLIPSIBLINGS | (shape.hidden ? 0 : WS_VISIBLE);
  return CreateWindowExA(exStyle, cls, shape.text.c_str(), style, ScaleForScreen(shape.left),
                         ScaleForScreen(shape.top), ScaleForScreen(shape.width), ScaleForScreen(shape.height),
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(shape.id)),
                         GetModuleHandleA(nullptr), nullptr);
}

HWND CreateControlWindow(const ControlSpec& shape, HWND parent) {
  const DWORD align = shape.align == kAlignCentre ? SS_CENTER : shape.align == kAlignRight ? SS_RIGHT : SS_LEFT;
  switch (shape.kind) {
    case kControlPanel: {
      DWORD exStyle = WS_EX_CONTROLPARENT | (shape.border == kBorderSunken ? WS_EX_STATICEDGE : 0);
      HWND panel = CreateChild(shape, parent, kPanelClass, 0, exStyle);
      if (panel) SetWindowLongPtrA(panel, GWLP_USERDATA, shape.white ? 1 : 0);
      return panel;
    }
    case kControlText:
      return CreateChild(shape, parent, "STATIC", align | SS_NOPREFIX, 0);
    case kControlImage:
      return CreateChild(shape, parent, "STATIC", SS_BITMAP, 0);
    case kControlRichText: {
      const char* cls = RichEditClass();
      if (!cls) return nullptr;
      HWND viewer = CreateChild(shape, parent, cls,
                                WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                                WS_EX_CLIENTEDGE);
      if (viewer) {
        SendMessageA(viewer, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
        SendMessageA(viewer, EM_SETTARGETDEVICE, 0, 0);  // wrap at the control width
      }
      return viewer;
    }
    case kControlOption:
      return CreateChild(shape, parent, "BUTTON",
                         BS_AUTORADIOBUTTON | (shape.groupStart ? WS_GROUP | WS_TABSTOP : 0), 0);
    case kControlCheckBox:
      return CreateChild(shape, parent, "BUTTON", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0);
    case kControlButton:
      return CreateChild(shape, parent, "BUTTON", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0);
    case kControlEdit:
      return CreateChild(shape, parent, "EDIT",
                         ES_AUTOHSCROLL | (shape.password ? ES_PASSWORD : 0) | WS_GROUP | WS_TABSTOP,
                         WS_EX_CLIENTEDGE);
    case kControlList:
      return CreateChild(shape, parent, "LISTBOX",
                         LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_GROUP | WS_TABSTOP,
                         WS_EX_CLIENTEDGE);
    case kControlDropDown:
      return CreateChild(shape, parent, "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0);
    case kControlTree:
      if (!EnsureCommonControls()) return nullptr;
      return CreateChild(shape, parent, WC_TREEVIEWA,
                         TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS |
                             WS_GROUP | WS_TABSTOP,
                         WS_EX_CLIENTEDGE);
    case kControlProgress: {
      if (!EnsureCommonControls()) return nullptr;
      HWND bar = CreateChild(shape, parent, PROGRESS_CLASSA, 0, 0);
      if (bar) SendMessageA(bar, PBM_SETRANGE32, 0, 100);
      return bar;
    }
    case kControlLink: {
      HWND link = CreateChild(shape, parent, "STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0);
      if (link) {
        WNDPROC previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkProc)));
        if (!Kit().staticProc) Kit().staticProc = previous;
      }
      return link;
    }
    case kControlFrame: {
      HWND frame = shape.border == kBorderSunken
                       ? CreateChild(shape, parent, "STATIC", SS_LEFT, WS_EX_STATICEDGE)
                       : CreateChild(shape, parent, "BUTTON", BS_GROUPBOX | WS_GROUP, 0);
      if (frame && shape.border == kBorderSunken) SetWindowTextA(frame, "");
      return frame;
    }
    case kControlSeparator: {
      HWND line = CreateChild(shape, parent, "STATIC", SS_ETCHEDHORZ, 0);
      // The etched static widens itself by its edges; the line keeps the width asked for.
      if (line) {
        SetWindowPos(line, nullptr, 0, 0, ScaleForScreen(shape.width), ScaleForScreen(shape.height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return line;
    }
  }
  return nullptr;
}

HWND ControlHwnd(OsWindow window, int id) {
  ControlSlot* control = FindControl(window, id);
  return control ? control->hwnd : nullptr;
}

int TreeItemIndex(const ControlSlot& tree, HTREEITEM item) {
  for (size_t i = 0; i < tree.items.size(); ++i) {
    if (tree.items[i].item == item) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int OsCreateFont(const std::string& face, int points, int weight) {
  HDC screen = GetDC(nullptr);
  int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  HFONT font = CreateFontA(-MulDiv(points, pixelsPerInch, 72), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  Tables& kit = TablesOf();
  if (!font || kit.fontCount == kMaxFonts) return 0;
  kit.fonts[kit.fontCount++] = font;
  return kit.fontCount;
}

OsWindow OsOpenWindow(const WindowSpec& shape) {
  if (!RegisterClasses()) return 0;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | (shape.systemMenu ? WS_SYSMENU : 0);
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT frame = {0, 0, ScaleForScreen(shape.width), ScaleForScreen(shape.height)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  WindowSlot* ownerSlot = FindWindowSlot(shape.owner);
  RECT around;
  if (!ownerSlot || !GetWindowRect(ownerSlot->hwnd, &around)) {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &around, 0);
  }
  int left = around.left + (around.right - around.left - width) / 2;
  int top = around.top + (around.bottom - around.top - height) / 2;
  HWND hwnd = CreateWindowExA(exStyle, kWindowClass, shape.title.c_str(), style, left, top, width, height,
                              ownerSlot ? ownerSlot->hwnd : nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
  if (!hwnd) return 0;
  WindowSlot slot;
  slot.hwnd = hwnd;
  slot.systemMenu = shape.systemMenu;
  Kit().windows.push_back(slot);
  return static_cast<OsWindow>(Kit().windows.size());
}

void OsHideWindow(OsWindow window) {
  if (WindowSlot* slot = FindWindowSlot(window)) ShowWindow(slot->hwnd, SW_HIDE);
}

void OsShowWindow(OsWindow window) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot) return;
  ShowWindow(slot->hwnd, SW_SHOW);
  SetForegroundWindow(slot->hwnd);
  HWND focus = GetFocus();
  if (!focus || !IsChild(slot->hwnd, focus)) {
    HWND first = GetNextDlgTabItem(slot->hwnd, nullptr, FALSE);
    if (first) FocusByKeyboard(window, first);
  }
  UpdateWindow(slot->hwnd);
}

void OsCloseWindow(OsWindow window) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot) return;
  HWND hwnd = slot->hwnd;
  for (ControlSlot& control : slot->controls) FreeImage(&control);
  slot->hwnd = nullptr;  // no more events from its last messages
  DestroyWindow(hwnd);
  for (ControlSlot& control : slot->controls) control.hwnd = nullptr;
  slot->controls.clear();
  DropEvents(window);
}

void OsEnableWindow(OsWindow window, bool enabled) {
  WindowSlot* slot = FindWindowSlot(window);
  if (slot) EnableWindow(slot->hwnd, enabled ? TRUE : FALSE);
}

uintptr_t OsWindowHandle(OsWindow window) {
  WindowSlot* slot = FindWindowSlot(window);
  return slot ? reinterpret_cast<uintptr_t>(slot->hwnd) : 0;
}

bool OsAddControl(OsWindow window, const ControlSpec& shape) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot || shape.id == 0 || FindControl(window, shape.id)) return false;
  HWND parent = slot->hwnd;
  if (shape.parent != 0) {
    ControlSlot* panel = FindControl(window, shape.parent);
    if (!panel || panel->shape.kind != kControlPanel) return false;
    parent = panel->hwnd;
  }
  HWND hwnd = CreateControlWindow(shape, parent);
  if (!hwnd) return false;
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(shape.font)), FALSE);
  ControlSlot control;
  // The control's size on the screen, for its pictures.
  control.shape = ControlFacts{shape.id, shape.kind, shape.parent, ScaleForScreen(shape.width),
                               ScaleForScreen(shape.height), shape.white, shape.groupStart};
  control.hwnd = hwnd;
  slot = FindWindowSlot(window);  // creating may have run window code; look again
  slot->controls.push_back(control);
  // Frames lie under the controls they surround, whenever those are made:
  // new controls come in at the bottom of their siblings, so the frames of
  // the parent go back below them.
  for (ControlSlot& frame : slot->controls) {
    if (frame.shape.kind == kControlFrame && frame.shape.parent == shape.parent) {
      SetWindowPos(frame.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  return true;
}

bool OsSetText(OsWindow window, int id, const std::string& text) {
  HWND hwnd = ControlHwnd(window, id);
  return hwnd && SetWindowTextA(hwnd, text.c_str());
}

std::string OsGetText(OsWindow window, int id) {
  HWND hwnd = ControlHwnd(window, id);
  if (!hwnd) return std::string();
  int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(hwnd, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

bool OsSetState(OsWindow window, int id, int state) {
  ControlSlot* control = FindControl(window, id);
  if (!control) return false;
  switch (control->shape.kind) {
    case kControlOption:
    case kControlCheckBox:
      SendMessageA(control->hwnd, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
      if (state && control->shape.kind == kControlOption) ClearOtherOptions(window, *control);
      return true;
    case kControlList:
      return SendMessageA(control->hwnd, LB_SETCURSEL, static_cast<WPARAM>(state), 0) != LB_ERR || state < 0;
    case kControlDropDown:
      return SendMessageA(control->hwnd, CB_SETCURSEL, static_cast<WPARAM>(state), 0) != CB_ERR || state < 0;
    case kControlTree: {
      if (state >= static_cast<int>(control->items.size())) return false;
      HTREEITEM item = state < 0 ? nullptr : control->items[static_cast<size_t>(state)].item;
      return SendMessageA(control->hwnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
    }
    default:
      return false;
  }
}

int OsGetState(OsWindow window, int id) {
  ControlSlot* control = FindControl(window, id);
  if (!control) return -1;
  switch (control->shape.kind) {
    case kControlOption:
    case kControlCheckBox:
      return SendMessageA(control->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    case kControlList:
      return static_cast<int>(SendMessageA(control->hwnd, LB_GETCURSEL, 0, 0));
    case kControlDropDown:
      return static_cast<int>(SendMessageA(control->hwnd, CB_GETCURSEL, 0, 0));
    case kControlTree: {
      LRESULT item = SendMessageA(control->hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0);
      return TreeItemIndex(*control, reinterpret_cast<HTREEITEM>(item));
    }
    default:
      return -1;
  }
}

void OsShowControl(OsWindow window, int id, bool shown) {
  HWND hwnd = ControlHwnd(window, id);
  if (hwnd) ShowWindow(hwnd, shown ? SW_SHOW : SW_HIDE);
}

void OsEnableControl(OsWindow window, int id, bool enabled) {
  HWND hwnd = ControlHwnd(window, id);
  if (hwnd) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool OsControlVisible(OsWindow window, int id) {
  for (ControlSlot* control = FindControl(window, id); control;
       control = FindControl(window, control->shape.parent)) {
    if (!(GetWindowLongPtrA(control->hwnd, GWL_STYLE) & WS_VISIBLE)) return false;
    if (control->shape.parent == 0) return true;
  }
  return false;
}

bool OsControlEnabled(OsWindow window, int id) {
  HWND hwnd = ControlHwnd(window, id);
  return hwnd && IsWindowEnabled(hwnd);
}

void OsSetFocus(OsWindow window, int id) {
  HWND hwnd = ControlHwnd(window, id);
  if (hwnd) SetFocus(hwnd);
}

uintptr_t OsControlHandle(OsWindow window, int id) {
  return reinterpret_cast<uintptr_t>(ControlHwnd(window, id));
}

int OsAddLine(OsWindow window, int id, const std::string& text) {
  ControlSlot* control = FindControl(window, id);
  if (!control) return -1;
  LPARAM line = reinterpret_cast<LPARAM>(text.c_str());
  LRESULT at = -1;
  if (control->shape.kind == kControlList) at = SendMessageA(control->hwnd, LB_ADDSTRING, 0, line);
  if (control->shape.kind == kControlDropDown) at = SendMessageA(control->hwnd, CB_ADDSTRING, 0, line);
  return at < 0 ? -1 : static_cast<int>(at);
}

bool OsSetLine(OsWindow window, int id, int line, const std::string& text) {
  ControlSlot* control = FindControl(window, id);
  if (!control || line < 0 || line >= OsCountLines(window, id)) return false;
  const bool list = control->shape.kind == kControlList;
  if (!list && control->shape.kind != kControlDropDown) return false;
  int selected = OsGetState(window, id);
  SendMessageA(control->hwnd, list ? LB_DELETESTRING : CB_DELETESTRING, static_cast<WPARAM>(line), 0);
  SendMessageA(control->hwnd, list ? LB_INSERTSTRING : CB_INSERTSTRING, static_cast<WPARAM>(line),
               reinterpret_cast<LPARAM>(text.c_str()));
  if (selected == line) OsSetState(window, id, line);
  return true;
}

int OsCountLines(OsWindow window, int id) {
  ControlSlot* control = FindControl(window, id);
  if (!control) return 0;
  switch (control->shape.kind) {
    case kControlList:
      return static_cast<int>(SendMessageA(control->hwnd, LB_GETCOUNT, 0, 0));
    case kControlDropDown:
      return static_cast<int>(SendMessageA(control->hwnd, CB_GETCOUNT, 0, 0));
    case kControlTree:
      return static_cast<int>(control->items.size());
    default:
      return 0;
  }
}

void OsClearLines(OsWindow window, int id) {
  ControlSlot* control = FindControl(window, id);
  if (!control) return;
  if (control->shape.kind == kControlList) SendMessageA(control->hwnd, LB_RESETCONTENT, 0, 0);
  if (control->shape.kind == kControlDropDown) SendMessageA(control->hwnd, CB_RESETCONTENT, 0, 0);
  if (control->shape.kind == kControlTree) {
    SendMessageA(control->hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    control->items.clear();
  }
}

int OsAddTreeItem(OsWindow window, int id, const std::string& text, int level) {
  ControlSlot* tree = FindControl(window, id);
  if (!tree || tree->shape.kind != kControlTree) return -1;
  if (level < 0 || tree->items.empty()) level = 0;
  if (!tree->items.empty() && level > tree->items.back().level + 1) level = tree->items.back().level + 1;
  HTREEITEM parent = TVI_ROOT;
  for (size_t i = tree->items.size(); level > 0 && i-- > 0;) {
    if (tree->items[i].level == level - 1) {
      parent = tree->items[i].item;
      break;
    }
  }
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<char*>(text.c_str());
  HTREEITEM item = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree->hwnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (!item) return -1;
  tree->items.push_back(TreeItem{item, level});
  return static_cast<int>(tree->items.size()) - 1;
}

std::string OsTreeItemText(OsWindow window, int id, int item) {
  ControlSlot* tree = FindControl(window, id);
  if (!tree || item < 0 || item >= static_cast<int>(tree->items.size())) return std::string();
  char text[1024] = {0};
  TVITEMA query = {};
  query.mask = TVIF_TEXT;
  query.hItem = tree->items[static_cast<size_t>(item)].item;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  if (!SendMessageA(tree->hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return std::string();
  return text;
}

int OsTreeItemLevel(OsWindow window, int id, int item) {
  ControlSlot* tree = FindControl(window, id);
  if (!tree || item < 0 || item >= static_cast<int>(tree->items.size())) return -1;
  return tree->items[static_cast<size_t>(item)].level;
}

void OsSetProgressMax(OsWindow window, int id, int maximum) {
  ControlSlot* bar = FindControl(window, id);
  if (!bar || bar->shape.kind != kControlProgress) return;
  bar->progressMax = maximum < 0 ? 0 : maximum;
  SendMessageA(bar->hwnd, PBM_SETRANGE32, 0, bar->progressMax);
}

void OsSetProgress(OsWindow window, int id, int value) {
  ControlSlot* bar = FindControl(window, id);
  if (!bar || bar->shape.kind != kControlProgress) return;
  if (value < 0) value = 0;
  if (value > bar->progressMax) value = bar->progressMax;
  SendMessageA(bar->hwnd, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

int OsGetProgress(OsWindow window, int id) {
  ControlSlot* bar = FindControl(window, id);
  if (!bar || bar->shape.kind != kControlProgress) return 0;
  return static_cast<int>(SendMessageA(bar->hwnd, PBM_GETPOS, 0, 0));
}

bool OsLoadImage(OsWindow window, int id, const std::string& path) {
  ControlSlot* control = FindControl(window, id);
  if (!control || control->shape.kind != kControlImage) return false;
  const bool icon = path.size() >= 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".ico") == 0;
  UINT type = icon ? IMAGE_ICON : IMAGE_BITMAP;
  HANDLE image = LoadImageA(nullptr, path.c_str(), type, icon ? control->shape.width : 0,
                            icon ? control->shape.height : 0, LR_LOADFROMFILE);
  // A bitmap keeps its own size in 96-DPI pixels: on a larger screen it is
  // stretched by the same factor as the control around it.
  BITMAP bitmap;
  if (image && !icon && ScaleForScreen(96) != 96 && GetObjectA(image, sizeof bitmap, &bitmap)) {
    HANDLE scaled = CopyImage(image, IMAGE_BITMAP, ScaleForScreen(bitmap.bmWidth), ScaleForScreen(bitmap.bmHeight),
                              LR_COPYDELETEORG);
    if (scaled) image = scaled;
  }
  return SetImage(control, image, type);
}

bool OsLoadResourceIcon(OsWindow window, int id, int resource) {
  ControlSlot* control = FindControl(window, id);
  if (!control || control->shape.kind != kControlImage) return false;
  HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), IMAGE_ICON,
                           control->shape.width, control->shape.height, 0);
  return SetImage(control, icon, IMAGE_ICON);
}

void OsFreeImage(OsWindow window, int id) {
  ControlSlot* control = FindControl(window, id);
  if (control) FreeImage(control);
}

namespace {
DWORD CALLBACK ReadNextChunk(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* got) {
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(size), &read, nullptr)) {
    *got = 0;
    return 1;
  }
  *got = static_cast<LONG>(read);
  return 0;
}
}  // namespace

bool OsLoadRichText(OsWindow window, int id, const std::string& path, bool rtf) {
  ControlSlot* viewer = FindControl(window, id);
  if (!viewer || viewer->shape.kind != kControlRichText) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(file);
  stream.pfnCallback = ReadNextChunk;
  SendMessageA(viewer->hwnd, EM_STREAMIN, rtf ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&stream));
  CloseHandle(file);
  SendMessageA(viewer->hwnd, EM_SETSEL, 0, 0);
  return true;
}

void OsSetControlColours(OsWindow window, int id, uint32_t text, uint32_t background) {
  Tables& kit = TablesOf();
  int at = 0;
  while (at < kit.colourCount && !(kit.colours[at].window == window && kit.colours[at].id == id)) ++at;
  if (at == kMaxColours) return;
  if (at < kit.colourCount) {
    DeleteObject(kit.colours[at].brush);
  } else {
    ++kit.colourCount;
  }
  kit.colours[at] = ColourEntry{window, id, text, background, CreateSolidBrush(background)};
  HWND hwnd = ControlHwnd(window, id);
  if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

void OsSetDefaultButton(OsWindow window, int id) {
  WindowSlot* slot = FindWindowSlot(window);
  if (!slot) return;
  HWND old = ControlHwnd(window, slot->defaultId);
  if (old) SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  ControlSlot* button = FindControl(window, id);
  slot->defaultId = button && button->shape.kind == kControlButton ? id : 0;
  if (slot->defaultId) SendMessageA(button->hwnd, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void OsSetCancelControl(OsWindow window, int id) {
  WindowSlot* slot = FindWindowSlot(window);
  if (slot) slot->cancelId = id;
}

bool OsWaitEvent(OsEvent* event) {
  for (;;) {
    if (PopEvent(event)) return true;
    if (!AnyWindowOpen()) return false;
    MSG msg;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (got < 0) return false;
    DispatchOne(&msg);
  }
}

bool OsPollEvent(OsEvent* event) {
  if (PopEvent(event)) return true;
  HandlePending();
  return PopEvent(event);
}

void OsDrainEvents() {
  HandlePending();
  DropEvents(0);
}
