// Entry of the native build of the installer (tests run it over the POSIX
// files and processes and the in-memory doubles).
#include "app/setup_main.h"

int main() { return SetupMain(); }
