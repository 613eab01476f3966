#include "app/setup_state.h"

namespace {
SetupState g_setup;
}

SetupState& Setup() { return g_setup; }
void ResetSetup() { g_setup = SetupState(); }
