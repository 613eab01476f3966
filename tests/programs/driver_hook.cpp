// The driver's helpers inside the window's own process, loaded there by the
// system as the module of the message hooks that the driver sets on the
// window's thread (tests/programs/driver.cpp). They answer through named
// shared memory and use Win32 calls only.
//
// FontHook: a font handle means nothing outside the process that made it
// (and Wine does not even pass WM_GETFONT between processes). When the
// registered question message reaches a control, the hook asks the control
// for its font and copies the LOGFONT out.
//
// MarkHook: the driver posts a numbered mark to the window's thread after
// each action; when the thread takes the mark from its queue, everything
// posted before it has been handled, and the hook writes the mark's number
// out.
#include <windows.h>

namespace {

const char kFontMessage[] = "ZandorDriverFontQuestion";
const char kFontMemory[] = "ZandorDriverFontAnswer";
const char kMarkMessage[] = "ZandorDriverMark";
const char kMarkMemory[] = "ZandorDriverMarkSeen";

// Shared with driver.cpp.
struct FontAnswer {
  LONG answered;
  LONG hasFont;  // 0: the control uses the system font
  LOGFONTA font;
};

void* OpenShared(const char* name, HANDLE* memory) {
  *memory = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  return *memory ? MapViewOfFile(*memory, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
}

void CloseShared(void* view, HANDLE memory) {
  if (view) UnmapViewOfFile(view);
  if (memory) CloseHandle(memory);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK FontHook(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && call->message == RegisterWindowMessageA(kFontMessage)) {
    HANDLE memory = nullptr;
    FontAnswer* answer = static_cast<FontAnswer*>(OpenShared(kFontMemory, &memory));
    if (answer) {
      HFONT font = reinterpret_cast<HFONT>(SendMessageA(call->hwnd, WM_GETFONT, 0, 0));
      answer->hasFont = font && GetObjectA(font, sizeof answer->font, &answer->font) ? 1 : 0;
      answer->answered = 1;
    }
    CloseShared(answer, memory);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK MarkHook(int code, WPARAM wparam, LPARAM lparam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && msg->message == RegisterWindowMessageA(kMarkMessage)) {
    HANDLE memory = nullptr;
    LONG* seen = static_cast<LONG*>(OpenShared(kMarkMemory, &memory));
    if (seen) *seen = static_cast<LONG>(msg->wParam);
    CloseShared(seen, memory);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
