// The shipped installer writes no diagnostic file: no environment variable
// can make it write to a path of someone else's choosing.
#include "app/state_dump.h"

void DumpRunState(const SetupState&) {}
bool TestBuildActsLimited() { return false; }
