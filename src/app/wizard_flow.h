// The wizard flow: fills the pages of the wizard window, runs the one event
// loop of a setup run, moves between the five pages, completes the folder
// fields, starts the install from the Install button and ends on Cancel,
// Finish or a close request with the run's start, reboot and cancelled flags.
#pragma once
#include "app/install.h"
#include "platform/window.h"

// Where the loop stands: the window and the page shown (1 to 5).
struct WizardLoop {
  OsWindow window = 0;
  int page = 1;
};

// The whole wizard on a window from BuildWizardWindow: preparation, the
// event loop until the quit flag is set, then the two images are freed and
// the window is closed. With installAtOnce (a run elevated at the wizard's
// Install) the wizard opens on its install page with those choices and
// installs at once.
void RunWizard(OsWindow window, const InstallChoices* installAtOnce = nullptr);

// The parts of RunWizard, in order, for tests that look between events.
// PrepareWizard fills the pages before the first event; RunWizardStep waits
// for one event and handles it, false once the loop is over (quit flag set,
// or no event can come); EndWizard frees the images and closes the window.
void PrepareWizard(WizardLoop* loop);
bool RunWizardStep(WizardLoop* loop);
void EndWizard(WizardLoop* loop);
