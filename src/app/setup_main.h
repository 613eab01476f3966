// Entry of the setup run: start-up, the quiet install or the wizard, the
// final stage and the exit path. The process exit code is always 0.
#pragma once

int SetupMain();
