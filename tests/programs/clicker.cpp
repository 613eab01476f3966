// A Windows test driver: waits for a top-level window with the given
// caption, records its caption and the texts of its static controls into a
// file, then presses one of its buttons by command id and waits until the
// window has closed.
//   clicker.exe CAPTION BUTTON_ID OUTPUT_FILE [TIMEOUT_MS]
// Exit code 0 when the window was found and the button pressed, 1 on
// time-out, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Texts {
  std::string all;
};

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  char cls[64] = {0};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    char text[2048] = {0};
    GetWindowTextA(child, text, sizeof text);
    if (text[0]) {
      Texts* texts = reinterpret_cast<Texts*>(param);
      texts->all += "text = ";
      texts->all += text;
      texts->all += "\r\n";
    }
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const char* caption = argv[1];
  int button = atoi(argv[2]);
  const char* output = argv[3];
  DWORD timeout = argc > 4 ? static_cast<DWORD>(atoi(argv[4])) : 60000;
  DWORD start = GetTickCount();
  HWND window = nullptr;
  while (!(window = FindWindowA(nullptr, caption))) {
    if (GetTickCount() - start > timeout) return 1;
    Sleep(100);
  }
  Sleep(300);  // let the box finish building its controls
  Texts texts;
  texts.all = "caption = " + std::string(caption) + "\r\n";
  EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
  if (FILE* f = fopen(output, "ab")) {
    fwrite(texts.all.data(), 1, texts.all.size(), f);
    fclose(f);
  }
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  // Return once the window is gone, so that a caller looking for the next
  // window of that caption does not find this one again.
  for (int i = 0; i < 100 && IsWindow(window); ++i) Sleep(50);
  return 0;
}
