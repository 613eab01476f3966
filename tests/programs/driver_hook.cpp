// The driver's helper inside the window's own process: a font handle means
// nothing outside the process that made it (and Wine does not even pass
// WM_GETFONT between processes), so the driver installs this message hook on
// the window's thread. The system loads this library into that process; when
// the registered question message reaches a control, the hook asks the
// control for its font there and copies the LOGFONT into shared memory that
// the driver reads (tests/programs/driver.cpp, command "font").
#include <windows.h>

namespace {

const char kFontMessage[] = "ZandorDriverFontQuestion";
const char kFontMemory[] = "ZandorDriverFontAnswer";

}  // namespace

// Shared with driver.cpp.
struct FontAnswer {
  LONG answered;
  LONG hasFont;  // 0: the control uses the system font
  LOGFONTA font;
};

extern "C" __declspec(dllexport) LRESULT CALLBACK FontHook(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && call->message == RegisterWindowMessageA(kFontMessage)) {
    HANDLE memory = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kFontMemory);
    FontAnswer* answer = memory ? static_cast<FontAnswer*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    if (answer) {
      HFONT font = reinterpret_cast<HFONT>(SendMessageA(call->hwnd, WM_GETFONT, 0, 0));
      answer->hasFont = font && GetObjectA(font, sizeof answer->font, &answer->font) ? 1 : 0;
      answer->answered = 1;
      UnmapViewOfFile(answer);
    }
    if (memory) CloseHandle(memory);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
