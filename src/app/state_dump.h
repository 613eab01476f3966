// Diagnostic: with the environment variable ZANDOR_STATE_DUMP naming a file,
// the run state and the loaded texts are written there as INI text at the end
// of the run. Test harnesses read it; setup authors can use it to see what a
// configuration resolved to.
#pragma once

#include "app/setup_state.h"

void DumpRunState(const SetupState& state);

// Test builds only: with ZANDOR_TEST_LIMITED_TOKEN=1 in the environment, a
// run that was not started elevated acts as a filtered administrator token
// on a system with the elevation prompt: no rights, no folder it may write,
// the prompt available. The shipped installer answers false.
bool TestBuildActsLimited();
