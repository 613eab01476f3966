// Message boxes, modal by hand: the thread's other windows are disabled
// around the system call and enabled again afterwards.
#include <windows.h>

#include <vector>

#include "platform/message_box.h"

static_assert(kMbOk == MB_OK && kMbOkCancel == MB_OKCANCEL && kMbYesNo == MB_YESNO, "buttons");
static_assert(kMbIconError == MB_ICONERROR && kMbIconQuestion == MB_ICONQUESTION && kMbIconWarning == MB_ICONWARNING,
              "icons");
static_assert(kMbDefaultButton2 == MB_DEFBUTTON2, "default button");
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL && kIdYes == IDYES && kIdNo == IDNO, "answers");

namespace {

struct DisableState {
  HWND foreground;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM param) {
  DisableState* state = reinterpret_cast<DisableState*>(param);
  if (window != state->foreground && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    state->disabled.push_back(window);
  }
  return TRUE;
}

HWND OwnerWindow() {
  HWND fg = GetForegroundWindow();
  DWORD pid = 0;
  if (fg) GetWindowThreadProcessId(fg, &pid);
  return pid == GetCurrentProcessId() ? fg : nullptr;
}

}  // namespace

int OsMessageBox(const std::string& caption, const std::string& text, uint32_t flags) {
  DisableState state;
  state.foreground = GetForegroundWindow();
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&state));
  int answer = MessageBoxA(OwnerWindow(), text.c_str(), caption.c_str(), flags);
  for (HWND window : state.disabled) EnableWindow(window, TRUE);
  return answer;
}
