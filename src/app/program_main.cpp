// The installer is the program that the platform's entry point starts.
#include "app/setup_main.h"
#include "platform/entry.h"

int ProgramMain() { return SetupMain(); }
