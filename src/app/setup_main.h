// Entry of the setup run: start-up, the quiet install or the wizard, the
// final stage and the exit path. The process exit code is 0, or with "/E"
// the code of how the run ended (app/exit_code.h).
#pragma once

int SetupMain();
