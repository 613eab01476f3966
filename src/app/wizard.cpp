#include "app/wizard.h"

#include "app/setup_state.h"

std::string WizardWindowTitle() {
  const SetupState& s = Setup();
  return s.version.empty() ? s.title : s.title + " " + s.version;
}

bool OpenWizardWindow(const std::string& title) {
  // The wizard window is built by the window work that follows; without it a
  // run goes straight to its final stage, as when a window cannot be opened.
  return false;
}

void RunWizard() {}
