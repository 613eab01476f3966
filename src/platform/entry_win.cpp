// Entry of Install.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetupMain();
  ExitProcess(0);
  return 0;
}
