// The wizard: five pages in one window and the one event loop of the run.
#pragma once
#include <string>

#include "app/config.h"

// The title and, when the version is not empty, a blank and the version.
std::string WizardWindowTitle(const ProductInfo& product);
// False when the window cannot be opened; the run then goes to its final stage.
bool OpenWizardWindow(const std::string& title);
void RunWizard();
