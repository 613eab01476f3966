// A Windows test driver that walks a window of another process as a user
// would: it finds the window by its caption and its controls by class and
// text, clicks, types into edits and moves the focus on, reads what the
// controls show, and writes every reading to a log that a test script checks.
//   driver.exe LOG COMMAND...     one command per argument
//   driver.exe LOG @SCRIPT        one command per line of a file
// The log is written afresh. Each command logs "NAME ARGS = VALUE" lines;
// a command that cannot be done logs "FAIL: ..." and ends the run.
// Exit code 0 when every command was done, 1 after a failure, 2 on bad
// arguments.
//
// Commands (arguments separated by "|"):
//   window CAPTION[|MS]      wait until a shown top-level window has this
//                            caption; it becomes the current window
//   gone[|MS]                wait until the current window is destroyed
//   box CAPTION|BUTTON[|MS]  wait for a message box, log its texts, press
//                            the button with that text, wait until it is gone
//   close                    ask the current window to close (as Alt+F4)
//   click SEL                press a shown, enabled button, option or check box
//   settext SEL|TEXT         focus an edit, set its text, move the focus on
//   text SEL / state SEL / visible SEL / enabled SEL
//   lines SEL                list lines ("line N = TEXT")
//   progress SEL             position and range of a progress bar
//   watch SEL|DONE|FLAG|SHOT[|MS]
//                            read the progress bar SEL over and over until
//                            the control DONE shows: logs the first reading
//                            strictly between the ends ("watch midway"), the
//                            one after DONE shows ("watch last"), the count
//                            of readings
//                            and the longest wait for an answer in ms. At
//                            the first midway reading it creates the file
//                            FLAG and, once the file SHOT appears (a
//                            screenshot was taken), logs the bar again
//                            ("watch at shot")
//   tree SEL                 tree items ("item N = LEVEL TEXT")
//   select SEL|A\B           select a tree item by the texts on its path
//   rect SEL                 left top width height relative to the parent's
//                            client area
//   rects                    "rect SEL = ..." for each shown control
//   font SEL                 face, height and weight of the control's font
//                            ("system" when it has none of its own)
//   guifont                  the same of the system's default GUI font
//   screen SEL               the control's rectangle on the screen
//   image SEL                type of the image a picture control shows
//   client / frame / winenabled   the current window's client size, frame
//                            styles and whether it is enabled
//   winrect                  its rectangle on the screen
//   wait SEL|WHAT|VALUE[|MS] wait until text/state/visible/enabled is VALUE
//   sleep MS
//
// A selector SEL is CLASS[:TEXT][#N]: the N-th control (from 1, in creation
// order) of that class whose text matches; TEXT may use * and ?. Picture
// statics have the class Image, etched lines Line, other statics Static.
// ^SEL is the panel (parent) of the control SEL; SEL >> SEL2 is SEL2 among
// the controls inside SEL.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

FILE* g_log = nullptr;
HWND g_window = nullptr;  // the current top-level window
std::string g_failure;    // set by a command that could not be done

void Log(const std::string& line) {
  fprintf(g_log, "%s\n", line.c_str());
  fflush(g_log);
}

bool Fail(const std::string& why) {
  g_failure = why;
  return false;
}

std::string Number(long value) { return std::to_string(value); }

// Texts go into the log on one line.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// * matches any run of characters, ? any one character.
bool Glob(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') return Glob(pattern + 1, text) || (*text && Glob(pattern, text + 1));
  if (*text == '\0') return false;
  return (*pattern == '?' || *pattern == *text) && Glob(pattern + 1, text + 1);
}

std::string WindowText(HWND hwnd) {
  char text[4096] = {0};
  // WM_GETTEXT crosses processes; the length is asked first for long texts.
  LRESULT length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (length >= static_cast<LRESULT>(sizeof text)) {
    std::string big(static_cast<size_t>(length) + 1, '\0');
    LRESULT got = SendMessageA(hwnd, WM_GETTEXT, big.size(), reinterpret_cast<LPARAM>(&big[0]));
    big.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return big;
  }
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// The class a selector names: statics split into pictures, lines and texts.
std::string ClassOf(HWND hwnd) {
  char name[128] = {0};
  GetClassNameA(hwnd, name, sizeof name);
  if (lstrcmpiA(name, "Static") == 0) {
    LONG_PTR type = GetWindowLongPtrA(hwnd, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_BITMAP || type == SS_ICON) return "Image";
    if (type == SS_ETCHEDHORZ) return "Line";
    return "Static";
  }
  return name;
}

// Shown: the control and every window between it and the top-level window
// have WS_VISIBLE (the top-level window itself is not counted).
bool Shown(HWND hwnd) {
  for (HWND h = hwnd; h && h != g_window; h = GetParent(h)) {
    if (!(GetWindowLongPtrA(h, GWL_STYLE) & WS_VISIBLE)) return false;
  }
  return true;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
  return TRUE;
}

// Every control of the current window, depth first in creation order.
std::vector<HWND> Controls() {
  std::vector<HWND> all;
  if (g_window) EnumChildWindows(g_window, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

HWND Find(const std::string& selector);

// CLASS[:TEXT][#N] among the given controls.
HWND FindAmong(const std::vector<HWND>& controls, const std::string& selector) {
  std::string cls = selector, text;
  int index = 1;
  size_t hash = cls.rfind('#');
  if (hash != std::string::npos && hash + 1 < cls.size() &&
      cls.find_first_not_of("0123456789", hash + 1) == std::string::npos) {
    index = atoi(cls.c_str() + hash + 1);
    cls.resize(hash);
  }
  size_t colon = cls.find(':');
  bool anyText = colon == std::string::npos;
  if (!anyText) {
    text = cls.substr(colon + 1);
    cls.resize(colon);
  }
  cls = Lower(cls);
  int seen = 0;
  for (HWND hwnd : controls) {
    if (!Glob(cls.c_str(), Lower(ClassOf(hwnd)).c_str())) continue;
    if (!anyText && !Glob(text.c_str(), WindowText(hwnd).c_str())) continue;
    if (++seen == index) return hwnd;
  }
  Fail("no control '" + selector + "'");
  return nullptr;
}

// "A >> B" is B among the controls inside A; "^A" is the panel holding A.
HWND Find(const std::string& selector) {
  size_t inside = selector.rfind(" >> ");
  if (inside != std::string::npos) {
    HWND outer = Find(selector.substr(0, inside));
    if (!outer) return nullptr;
    std::vector<HWND> within;
    EnumChildWindows(outer, CollectChild, reinterpret_cast<LPARAM>(&within));
    return FindAmong(within, selector.substr(inside + 4));
  }
  if (!selector.empty() && selector[0] == '^') {
    HWND child = Find(selector.substr(1));
    HWND parent = child ? GetParent(child) : nullptr;
    if (child && parent == g_window) Fail("'" + selector.substr(1) + "' is not inside a panel");
    return parent == g_window ? nullptr : parent;
  }
  return FindAmong(Controls(), selector);
}

// Rectangle relative to the client area of the parent (the panel, or the
// window for controls and panels placed on it).
std::string PlaceOf(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return Number(r.left) + " " + Number(r.top) + " " + Number(r.right - r.left) + " " + Number(r.bottom - r.top);
}

// The selector that names a control in the rects dump.
std::string SelectorOf(HWND target) {
  std::string cls = ClassOf(target), text = WindowText(target);
  int sameClass = 0, sameText = 0;
  for (HWND hwnd : Controls()) {
    if (ClassOf(hwnd) != cls) continue;
    ++sameClass;
    if (WindowText(hwnd) == text) ++sameText;
    if (hwnd == target) break;
  }
  bool useText = !text.empty() && text.find('\n') == std::string::npos && text.size() <= 60 &&
                 cls != "Edit" && cls.compare(0, 8, "RichEdit") != 0;
  if (!useText) return cls + "#" + Number(sameClass);
  return cls + ":" + text + (sameText > 1 ? "#" + Number(sameText) : "");
}

bool WaitFor(DWORD timeout, bool (*done)(const std::string&), const std::string& arg) {
  DWORD start = GetTickCount();
  while (!done(arg)) {
    if (GetTickCount() - start > timeout) return false;
    Sleep(50);
  }
  return true;
}

DWORD TimeoutOf(const std::vector<std::string>& args, size_t at) {
  return args.size() > at ? static_cast<DWORD>(atoi(args[at].c_str())) : 30000;
}

bool WindowShown(const std::string& caption) {
  HWND hwnd = FindWindowA(nullptr, caption.c_str());
  if (!hwnd || !IsWindowVisible(hwnd)) return false;
  g_window = hwnd;
  return true;
}

bool WindowGone(const std::string&) { return !IsWindow(g_window); }

// The hooks of driver_hook.dll, which lies beside this program, run inside
// the window's process and answer through named shared memory.
const char kFontMessage[] = "ZandorDriverFontQuestion";
const char kFontMemory[] = "ZandorDriverFontAnswer";
const char kMarkMessage[] = "ZandorDriverMark";
const char kMarkMemory[] = "ZandorDriverMarkSeen";

struct FontAnswer {  // as in driver_hook.cpp
  LONG answered;
  LONG hasFont;
  LOGFONTA font;
};

HOOKPROC HookProc(const char* name, HMODULE* library) {
  static HMODULE loaded = nullptr;
  if (!loaded) {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    if (slash) lstrcpyA(slash + 1, "driver_hook.dll");
    loaded = LoadLibraryA(path);
  }
  *library = loaded;
  return loaded ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

// Shared memory of `bytes`, zeroed when made; the view lives until the end.
void* SharedMemory(const char* name, DWORD bytes) {
  HANDLE memory = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, name);
  return memory ? MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
}

// Waits until the window's thread has handled what the driver just did to
// it: a numbered mark posted behind the driver's messages comes out of the
// thread's queue only after they have been handled (the mark hook reports
// it). Also done when the window or its thread has ended.
void Settle(HWND window) {
  static volatile LONG* seen = nullptr;
  static HHOOK hook = nullptr;
  static DWORD hookedThread = 0;
  static LONG mark = 0;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!seen) seen = static_cast<volatile LONG*>(SharedMemory(kMarkMemory, 4096));
  if (thread != hookedThread) {
    if (hook) UnhookWindowsHookEx(hook);
    HMODULE library = nullptr;
    HOOKPROC proc = HookProc("MarkHook", &library);
    hook = proc && thread ? SetWindowsHookExA(WH_GETMESSAGE, proc, library, thread) : nullptr;
    hookedThread = hook ? thread : 0;
  }
  if (!seen || !hook) {
    Sleep(500);  // no way to know: give the thread time
    return;
  }
  HANDLE running = OpenThread(SYNCHRONIZE, FALSE, thread);
  PostThreadMessageA(thread, RegisterWindowMessageA(kMarkMessage), static_cast<WPARAM>(++mark), 0);
  DWORD start = GetTickCount();
  while (*seen != mark && IsWindow(window) && GetTickCount() - start < 30000) {
    if (running && WaitForSingleObject(running, 0) == WAIT_OBJECT_0) break;
    Sleep(10);
  }
  if (running) CloseHandle(running);
}

// Clicks a button the way the mouse does, with the button pressed and
// released over its middle, after checking that a user could click it at
// all. The messages are posted, as real input is, so they go through the
// window's own message loop.
bool Press(HWND hwnd, const std::string& name) {
  if (!Shown(hwnd)) return Fail("'" + name + "' is hidden");
  if (!IsWindowEnabled(hwnd)) return Fail("'" + name + "' is disabled");
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (!IsWindowEnabled(root)) return Fail("the window of '" + name + "' is disabled");
  RECT r;
  GetClientRect(hwnd, &r);
  LPARAM middle = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageA(hwnd, WM_LBUTTONUP, 0, middle);
  Settle(root);
  return true;
}

// Types into an edit and leaves it, so that it gets a real focus loss: the
// driver shares the window's input state for a moment to move the focus.
bool SetEditText(HWND edit, const std::string& name, const std::string& text) {
  if (!Shown(edit) || !IsWindowEnabled(edit)) return Fail("'" + name + "' cannot be typed into");
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the driver needs a message queue to share input
  DWORD target = GetWindowThreadProcessId(edit, nullptr);
  if (!AttachThreadInput(GetCurrentThreadId(), target, TRUE)) return Fail("cannot share the input state");
  HWND root = GetAncestor(edit, GA_ROOT);
  SetForegroundWindow(root);
  SetActiveWindow(root);
  SetFocus(edit);
  bool focused = GetFocus() == edit;
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  HWND next = GetNextDlgTabItem(root, edit, FALSE);
  SetFocus(next && next != edit ? next : root);
  bool left = GetFocus() != edit;
  AttachThreadInput(GetCurrentThreadId(), target, FALSE);
  PostMessageA(root, WM_NULL, 0, 0);  // the focus moved by sent messages: wake the loop for their event
  Settle(root);
  if (!focused) return Fail("'" + name + "' did not take the focus");
  if (!left) return Fail("the focus did not leave '" + name + "'");
  return true;
}

// Memory in the window's process, for the tree messages that carry pointers
// and that the system does not copy between processes.
struct Remote {
  HANDLE process = nullptr;
  char* base = nullptr;
};

bool OpenRemote(HWND hwnd, Remote* remote) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  remote->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!remote->process) return false;
  remote->base = static_cast<char*>(VirtualAllocEx(remote->process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  return remote->base != nullptr;
}

void CloseRemote(Remote* remote) {
  if (remote->base) VirtualFreeEx(remote->process, remote->base, 0, MEM_RELEASE);
  if (remote->process) CloseHandle(remote->process);
}

std::string TreeItemText(HWND tree, const Remote& remote, HTREEITEM item) {
  TVITEMA query = {};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = remote.base + 512;
  query.cchTextMax = 1024;
  char text[1024] = {0};
  SIZE_T moved = 0;
  if (!WriteProcessMemory(remote.process, remote.base, &query, sizeof query, &moved)) return std::string();
  if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.base))) return std::string();
  ReadProcessMemory(remote.process, remote.base + 512, text, sizeof text - 1, &moved);
  return text;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

struct TreeLine {
  HTREEITEM item;
  int level;
  std::string text;
};

void ListTree(HWND tree, const Remote& remote, HTREEITEM first, int level, std::vector<TreeLine>* lines) {
  for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
    lines->push_back(TreeLine{item, level, TreeItemText(tree, remote, item)});
    ListTree(tree, remote, NextItem(tree, item, TVGN_CHILD), level + 1, lines);
  }
}

bool ReadTree(HWND tree, std::vector<TreeLine>* lines) {
  Remote remote;
  bool opened = OpenRemote(tree, &remote);
  if (opened) ListTree(tree, remote, NextItem(tree, nullptr, TVGN_ROOT), 0, lines);
  CloseRemote(&remote);
  return opened || Fail("cannot read the tree's process");
}

// Selects the item whose path of texts from the root is `path` ("A\B").
bool SelectTreeItem(HWND tree, const std::string& path) {
  std::vector<TreeLine> lines;
  if (!ReadTree(tree, &lines)) return false;
  std::vector<std::string> parts = Split(path, '\\');
  std::vector<std::string> trail;
  for (const TreeLine& line : lines) {
    trail.resize(static_cast<size_t>(line.level));
    trail.push_back(line.text);
    if (trail == parts) {
      SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(line.item));
      return NextItem(tree, nullptr, TVGN_CARET) == line.item || Fail("'" + path + "' not selected");
    }
  }
  return Fail("no tree item '" + path + "'");
}

// The font a control draws with, read inside its process by the font hook.
std::string FontOf(HWND hwnd) {
  static FontAnswer* answer = static_cast<FontAnswer*>(SharedMemory(kFontMemory, 4096));
  HMODULE library = nullptr;
  HOOKPROC proc = HookProc("FontHook", &library);
  HHOOK hook = answer && proc ? SetWindowsHookExA(WH_CALLWNDPROC, proc, library, GetWindowThreadProcessId(hwnd, nullptr))
                              : nullptr;
  if (!hook) return "unknown";
  answer->answered = 0;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(hwnd, RegisterWindowMessageA(kFontMessage), 0, 0, SMTO_NORMAL, 10000, &ignored);
  UnhookWindowsHookEx(hook);
  if (!answer->answered) return "unknown";
  if (!answer->hasFont) return "system";
  return std::string(answer->font.lfFaceName) + " " + Number(answer->font.lfHeight) + " " +
         Number(answer->font.lfWeight);
}

// A list line. Wine answers LB_GETTEXT from another process in UTF-16 even
// when asked through SendMessageA; such an answer is turned back into ANSI.
std::string ListLine(HWND list, long line) {
  LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(line), 0);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) * 2 + 2, '\0');
  LRESULT got = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer.data()));
  if (got <= 0) return std::string();
  if (lstrlenA(buffer.data()) >= got) return std::string(buffer.data(), static_cast<size_t>(got));
  char ansi[4096] = {0};
  int made = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(buffer.data()), static_cast<int>(got),
                                 ansi, sizeof ansi, nullptr, nullptr);
  return std::string(ansi, made > 0 ? static_cast<size_t>(made) : 0);
}

std::string ImageOf(HWND hwnd) {
  if (SendMessageA(hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0)) return "bitmap";
  if (SendMessageA(hwnd, STM_GETIMAGE, IMAGE_ICON, 0)) return "icon";
  return "none";
}

std::string Property(HWND hwnd, const std::string& what) {
  if (what == "text") return Escaped(WindowText(hwnd));
  if (what == "visible") return Shown(hwnd) ? "1" : "0";
  if (what == "enabled") return IsWindowEnabled(hwnd) ? "1" : "0";
  if (what == "state") {
    std::string cls = ClassOf(hwnd);
    if (lstrcmpiA(cls.c_str(), "ListBox") == 0) return Number(static_cast<long>(SendMessageA(hwnd, LB_GETCURSEL, 0, 0)));
    if (lstrcmpiA(cls.c_str(), WC_TREEVIEWA) == 0) {
      std::vector<TreeLine> lines;
      HTREEITEM selected = NextItem(hwnd, nullptr, TVGN_CARET);
      if (!selected || !ReadTree(hwnd, &lines)) return "none";
      for (const TreeLine& line : lines) {
        if (line.item == selected) return Escaped(line.text);
      }
      return "none";
    }
    return Number(static_cast<long>(SendMessageA(hwnd, BM_GETCHECK, 0, 0)));
  }
  return "?";
}

bool FileThere(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// One reading of a progress bar: position, low and high end. Each message
// waits at most 10 s for the window's thread; *waited is the longest wait.
bool ReadBar(HWND bar, long reading[3], DWORD* waited) {
  const UINT messages[3][2] = {{PBM_GETPOS, 0}, {PBM_GETRANGE, TRUE}, {PBM_GETRANGE, FALSE}};
  for (int i = 0; i < 3; ++i) {
    DWORD start = GetTickCount();
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(bar, messages[i][0], messages[i][1], 0, SMTO_NORMAL, 10000, &answer)) return false;
    DWORD took = GetTickCount() - start;
    if (took > *waited) *waited = took;
    reading[i] = static_cast<long>(answer);
  }
  return true;
}

std::string BarText(const long reading[3]) {
  return Number(reading[0]) + " of " + Number(reading[1]) + " to " + Number(reading[2]);
}

// The bar read while the window's thread is busy copying: each reading is
// answered only when the install drains, so the longest wait says how long
// the window went without answering.
bool WatchBar(HWND bar, const std::vector<std::string>& args) {
  if (args.size() < 4) return Fail("watch needs SEL|DONE|FLAG|SHOT");
  HWND done = Find(args[1]);
  if (!done) return false;
  DWORD start = GetTickCount(), timeout = TimeoutOf(args, 4), waited = 0;
  long reading[3] = {0, 0, 0};
  long readings = 0;
  bool midway = false, shot = false;
  while (!Shown(done)) {
    if (GetTickCount() - start > timeout) return Fail("'" + args[1] + "' did not show");
    if (!ReadBar(bar, reading, &waited)) return Fail("the bar did not answer within 10 s");
    ++readings;
    if (!midway && reading[0] > reading[1] && reading[0] < reading[2]) {
      midway = true;
      Log("watch midway = " + BarText(reading));
      if (FILE* flag = fopen(args[2].c_str(), "wb")) fclose(flag);
    }
    if (midway && !shot && FileThere(args[3])) {
      shot = true;
      Log("watch at shot = " + BarText(reading));
    }
    Sleep(20);
  }
  if (!midway) Log("watch midway = none");
  // Once DONE shows the copy is over: this reading is where the bar ended.
  if (!ReadBar(bar, reading, &waited)) return Fail("the bar did not answer within 10 s");
  Log("watch last = " + BarText(reading));
  Log("watch readings = " + Number(readings));
  Log("watch longest wait = " + Number(static_cast<long>(waited)));
  return true;
}

std::string RectText(const RECT& r) {
  return Number(r.left) + " " + Number(r.top) + " " + Number(r.right - r.left) + " " + Number(r.bottom - r.top);
}

bool Run(const std::string& command) {
  size_t blank = command.find(' ');
  std::string name = command.substr(0, blank);
  std::string rest = blank == std::string::npos ? std::string() : command.substr(blank + 1);
  std::vector<std::string> args = Split(rest, '|');
  const std::string& sel = args[0];
  std::string key = name + (rest.empty() ? "" : " " + sel);

  if (name == "sleep") {
    Sleep(static_cast<DWORD>(atoi(rest.c_str())));
    return true;
  }
  if (name == "window") {
    if (!WaitFor(TimeoutOf(args, 1), WindowShown, sel)) return Fail("no window '" + sel + "'");
    Log("window = " + sel);
    return true;
  }
  if (name == "box") {
    if (args.size() < 2) return Fail("box needs CAPTION|BUTTON");
    HWND owner = g_window;
    if (!WaitFor(TimeoutOf(args, 2), WindowShown, sel)) return Fail("no box '" + sel + "'");
    Sleep(200);  // the box may still be making its controls
    Log("box = " + sel);
    for (HWND hwnd : Controls()) {
      if (ClassOf(hwnd) == "Static" && !WindowText(hwnd).empty()) Log("box text = " + Escaped(WindowText(hwnd)));
    }
    HWND button = Find("Button:" + args[1]);
    if (!button) button = Find("Button:&" + args[1]);
    if (!button || !Press(button, args[1])) return false;
    if (!WaitFor(10000, WindowGone, "")) return Fail("the box did not close");
    g_window = owner;
    g_failure.clear();
    return true;
  }
  if (name == "gone") {  // also when the window went before the driver looked
    if (!WaitFor(TimeoutOf(args, 0), WindowGone, "")) return Fail("the window is still there");
    Log("gone = 1");
    return true;
  }
  if (!g_window || !IsWindow(g_window)) return Fail("no current window for '" + command + "'");
  if (name == "close") {
    PostMessageA(g_window, WM_CLOSE, 0, 0);
    Settle(g_window);
    return true;
  }
  if (name == "client" || name == "frame" || name == "winrect" || name == "winenabled") {
    RECT r;
    LONG_PTR style = GetWindowLongPtrA(g_window, GWL_STYLE);
    if (name == "client") {
      GetClientRect(g_window, &r);
      Log("client = " + Number(r.right) + " " + Number(r.bottom));
    } else if (name == "winrect") {
      GetWindowRect(g_window, &r);
      Log("winrect = " + RectText(r));
    } else if (name == "winenabled") {
      Log("winenabled = " + std::string(IsWindowEnabled(g_window) ? "1" : "0"));
    } else {
      Log(std::string("frame = caption ") + ((style & WS_CAPTION) == WS_CAPTION ? "1" : "0") + " sysmenu " +
          (style & WS_SYSMENU ? "1" : "0") + " sizable " + (style & WS_THICKFRAME ? "1" : "0") + " minimize " +
          (style & WS_MINIMIZEBOX ? "1" : "0") + " maximize " + (style & WS_MAXIMIZEBOX ? "1" : "0"));
    }
    return true;
  }
  if (name == "guifont") {
    LOGFONTA logical = {};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof logical, &logical);
    Log("guifont = " + std::string(logical.lfFaceName) + " " + Number(logical.lfHeight) + " " +
        Number(logical.lfWeight));
    return true;
  }
  if (name == "rects") {
    for (HWND hwnd : Controls()) {
      if (Shown(hwnd)) Log("rect " + SelectorOf(hwnd) + " = " + PlaceOf(hwnd));
    }
    return true;
  }
  HWND hwnd = Find(sel);
  if (!hwnd) return false;
  if (name == "click") return Press(hwnd, sel);
  if (name == "settext") return args.size() >= 2 ? SetEditText(hwnd, sel, args[1]) : Fail("settext needs SEL|TEXT");
  if (name == "text" || name == "state" || name == "visible" || name == "enabled") {
    Log(key + " = " + Property(hwnd, name));
    return true;
  }
  if (name == "rect") {
    Log(key + " = " + PlaceOf(hwnd));
    return true;
  }
  if (name == "screen") {
    RECT r;
    GetWindowRect(hwnd, &r);
    Log(key + " = " + RectText(r));
    return true;
  }
  if (name == "font") {
    std::string font = FontOf(hwnd);
    if (font == "unknown") return Fail("cannot read the font");
    Log(key + " = " + font);
    return true;
  }
  if (name == "image") {
    Log(key + " = " + ImageOf(hwnd));
    return true;
  }
  if (name == "lines") {
    long count = static_cast<long>(SendMessageA(hwnd, LB_GETCOUNT, 0, 0));
    Log(key + " = " + Number(count));
    for (long i = 0; i < count; ++i) Log("line " + Number(i + 1) + " = " + Escaped(ListLine(hwnd, i)));
    return true;
  }
  if (name == "progress") {
    long position = static_cast<long>(SendMessageA(hwnd, PBM_GETPOS, 0, 0));
    long low = static_cast<long>(SendMessageA(hwnd, PBM_GETRANGE, TRUE, 0));
    long high = static_cast<long>(SendMessageA(hwnd, PBM_GETRANGE, FALSE, 0));
    Log(key + " = " + Number(position) + " of " + Number(low) + " to " + Number(high));
    return true;
  }
  if (name == "watch") return WatchBar(hwnd, args);
  if (name == "tree") {
    std::vector<TreeLine> lines;
    if (!ReadTree(hwnd, &lines)) return false;
    Log(key + " = " + Number(static_cast<long>(lines.size())));
    for (size_t i = 0; i < lines.size(); ++i) {
      Log("item " + Number(static_cast<long>(i) + 1) + " = " + Number(lines[i].level) + " " + lines[i].text);
    }
    return true;
  }
  if (name == "select") return args.size() >= 2 ? SelectTreeItem(hwnd, args[1]) : Fail("select needs SEL|PATH");
  if (name == "wait") {
    if (args.size() < 3) return Fail("wait needs SEL|WHAT|VALUE");
    DWORD start = GetTickCount(), timeout = TimeoutOf(args, 3);
    while (Property(hwnd, args[1]) != args[2]) {
      if (GetTickCount() - start > timeout) {
        return Fail(args[1] + " of '" + sel + "' stays '" + Property(hwnd, args[1]) + "', not '" + args[2] + "'");
      }
      Sleep(50);
    }
    Log(key + " " + args[1] + " = " + args[2]);
    return true;
  }
  return Fail("unknown command '" + name + "'");
}

std::vector<std::string> ReadScript(const char* path) {
  std::vector<std::string> commands;
  FILE* f = fopen(path, "rb");
  if (!f) return commands;
  std::string all;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, got);
  fclose(f);
  for (std::string line : Split(all, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') commands.push_back(line);
  }
  return commands;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_log = fopen(argv[1], "wb");
  if (!g_log) return 2;
  std::vector<std::string> commands;
  if (argv[2][0] == '@') {
    commands = ReadScript(argv[2] + 1);
  } else {
    for (int i = 2; i < argc; ++i) commands.push_back(argv[i]);
  }
  for (const std::string& command : commands) {
    g_failure.clear();
    if (!Run(command)) {
      Log("FAIL: " + command + ": " + g_failure);
      fclose(g_log);
      return 1;
    }
  }
  fclose(g_log);
  return 0;
}
