#include "app/wizard.h"

std::string WizardWindowTitle(const ProductInfo& product) {
  return product.version.empty() ? product.title : product.title + " " + product.version;
}

bool OpenWizardWindow(const std::string& title) {
  // There is no wizard window in this build: a run goes straight to its
  // final stage, as when a window cannot be opened.
  return false;
}

void RunWizard() {}
