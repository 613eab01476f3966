// Message boxes and the small dialogs of a setup run.
#pragma once
#include <cstdint>
#include <string>

// The three kinds of message box setup shows, as the platform's flags.
enum MessageBoxStyle : uint32_t {
  kMessageError = 0x10,             // OK; error icon
  kMessageWarningOkCancel = 0x131,  // OK and Cancel, Cancel the default; warning icon
  kMessageQuestionYesNo = 0x24,     // Yes and No; question icon
};
// The platform's button codes that a message box answers.
enum MessageBoxAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

// Caption and text in; the button code out.
int ShowMessageBox(const std::string& caption, const std::string& text, MessageBoxStyle style);
// The error box for files that could not be copied, with the language texts.
void ShowCopyError();
// The language choice dialog: the chosen entry's file name, or empty.
std::string ShowLanguageChoiceDialog(const std::string& languageList);
