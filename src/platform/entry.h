// The program's own main function, which the platform's entry point calls
// (WinMain on Windows, main natively). The program defines it; its return
// value is the exit code where the platform passes one on.
#pragma once

int ProgramMain();
