// The Windows unit tests run with a watch on windows: every window that the
// test process shows is closed at once, so that a message box never blocks
// the run, and the run fails with the name of the test that showed it. The
// code under test must never show one of its own or of the system's.
#pragma once
#include <string>
#include <vector>

// Captions of the windows shown since the current test started.
std::vector<std::string> WindowsShownByThisTest();
// Wine without a display shows no windows, and so no message either.
bool CanShowWindows();
