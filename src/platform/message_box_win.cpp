// Message boxes, modal by hand: the thread's other windows are disabled
// around the system call and enabled again afterwards.
#include <windows.h>

#include <vector>

#include "platform/message_box.h"
#include "platform/modal_win.h"

static_assert(kMbOk == MB_OK && kMbOkCancel == MB_OKCANCEL && kMbYesNo == MB_YESNO, "buttons");
static_assert(kMbIconError == MB_ICONERROR && kMbIconQuestion == MB_ICONQUESTION && kMbIconWarning == MB_ICONWARNING,
              "icons");
static_assert(kMbDefaultButton2 == MB_DEFBUTTON2, "default button");
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL && kIdYes == IDYES && kIdNo == IDNO, "answers");

namespace {

struct DisableState {
  HWND foreground;
  std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM param) {
  DisableState* state = reinterpret_cast<DisableState*>(param);
  if (window != state->foreground && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    state->disabled->push_back(window);
  }
  return TRUE;
}

}  // namespace

HWND DisableThreadWindows(std::vector<HWND>* disabled) {
  DisableState state = {GetForegroundWindow(), disabled};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&state));
  // A window of another program in front is no owner: the box would then
  // belong to it and could hide behind it once it goes away.
  DWORD pid = 0;
  if (state.foreground) GetWindowThreadProcessId(state.foreground, &pid);
  return state.foreground && pid == GetCurrentProcessId() ? state.foreground : nullptr;
}

void EnableWindowsAgain(const std::vector<HWND>& disabled) {
  for (HWND window : disabled) EnableWindow(window, TRUE);
}

int OsMessageBox(const std::string& caption, const std::string& text, uint32_t flags) {
  std::vector<HWND> disabled;
  HWND owner = DisableThreadWindows(&disabled);
  int answer = MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
  EnableWindowsAgain(disabled);
  return answer;
}
