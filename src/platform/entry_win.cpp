// Entry of a Windows program: ProgramMain, then the end of the process with
// its exit code, whatever other threads still run.
#include <windows.h>

#include "platform/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ExitProcess(static_cast<UINT>(ProgramMain()));
  return 0;
}
