// Message boxes and the small dialogs of a setup run.
#pragma once
#include <cstdint>
#include <string>

// Caption, text and platform flags in; the platform's button code out.
int ShowMessageBox(const std::string& caption, const std::string& text, uint32_t flags);
// The language choice dialog: the chosen entry's file name, or empty.
std::string ShowLanguageChoiceDialog(const std::string& languageList);
