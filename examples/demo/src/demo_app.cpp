// The demo product's program: one window that shows the product's name, which
// file was started from which folder, the arguments its link passed and the
// greeting of its settings.ini. While it runs it holds the mutex that
// setup.ini names as MutexString, so a second setup run finds it running.
// Escape or the close box ends it.
#include <windows.h>

namespace {

const char kProduct[] = "Zandor Demo";
const char kVersion[] = "1.0";
const char kMutex[] = "ZandorDemoRunning";
const int kWidth = 460;
const int kHeight = 260;

struct DemoWindow {
  char lines[4][2 * MAX_PATH + 64];  // the text under the product name
  HFONT titleFont = nullptr;
  HFONT textFont = nullptr;
};
DemoWindow g_demo;

HFONT MakeFont(int height, int weight) {
  return CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
}

// The folder and file name of the running program, the arguments after the
// program name, and the greeting from settings.ini beside it. Plain Win32
// text calls keep the program small: no C++ library is linked in.
void DescribeRun() {
  char module[MAX_PATH + 1] = {0};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  char* name = module;
  for (char* p = module; *p; p++) {
    if (*p == '\\') name = p + 1;
  }
  char folder[MAX_PATH + 1] = {0};
  lstrcpynA(folder, module, static_cast<int>(name - module) + 1);
  const char* arguments = GetCommandLineA();
  // The program name ends at the closing quote, or at the first blank.
  bool quoted = *arguments == '"';
  for (arguments += quoted ? 1 : 0; *arguments && *arguments != (quoted ? '"' : ' '); arguments++) {
  }
  if (*arguments == '"') arguments++;
  while (*arguments == ' ') arguments++;
  char settings[MAX_PATH + 16];
  wsprintfA(settings, "%s%s", folder, "settings.ini");
  char greeting[128] = {0};
  GetPrivateProfileStringA("Demo", "Greeting", "(no settings.ini)", greeting, sizeof greeting, settings);

  wsprintfA(g_demo.lines[0], "Version %s, installed by Zandor", kVersion);
  wsprintfA(g_demo.lines[1], "Started: %s in %s", name, folder);
  wsprintfA(g_demo.lines[2], "Arguments: %.200s", *arguments ? arguments : "(none)");
  wsprintfA(g_demo.lines[3], "settings.ini says: %s", greeting);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  RECT band = client;
  band.bottom = 78;
  HBRUSH blue = CreateSolidBrush(RGB(29, 78, 137));
  FillRect(dc, &band, blue);
  DeleteObject(blue);
  SetBkMode(dc, TRANSPARENT);

  HGDIOBJ oldFont = SelectObject(dc, g_demo.titleFont);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT title = {20, 18, client.right - 20, 70};
  DrawTextA(dc, kProduct, -1, &title, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);

  SelectObject(dc, g_demo.textFont);
  SetTextColor(dc, RGB(32, 32, 32));
  int top = 96;
  for (const char* text : g_demo.lines) {
    RECT row = {20, top, client.right - 20, top + 36};
    DrawTextA(dc, text, -1, &row, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_PATH_ELLIPSIS);
    top += 36;
  }
  SelectObject(dc, oldFont);
  EndPaint(window, &paint);
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutex);
  DescribeRun();
  g_demo.titleFont = MakeFont(30, FW_BOLD);
  g_demo.textFont = MakeFont(13, FW_NORMAL);

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DemoProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "ZandorDemoWindow";
  RegisterClassA(&windowClass);

  RECT frame = {0, 0, kWidth, kHeight};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&frame, style, FALSE);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  HWND window = CreateWindowA("ZandorDemoWindow", kProduct, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                              instance, nullptr);
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  DeleteObject(g_demo.titleFont);
  DeleteObject(g_demo.textFont);
  if (mutex) CloseHandle(mutex);
  return 0;
}
