#include "ui/dialogs.h"

#include "platform/dialog.h"

int ShowMessageBox(const std::string& caption, const std::string& text, uint32_t flags) {
  return OsMessageBox(caption, text, flags);
}

std::string ShowLanguageChoiceDialog(const std::string& languageList) {
  // The choice dialog arrives with the wizard's windows; an empty answer
  // keeps the built-in texts.
  return std::string();
}
