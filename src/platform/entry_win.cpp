// Entry of Install.exe.
#include <windows.h>

#include "app/setup_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetupMain();
  ExitProcess(0);
  return 0;
}
