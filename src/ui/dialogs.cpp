#include "ui/dialogs.h"

#include "platform/message_box.h"
#include "ui/language.h"

static_assert(kMessageError == (kMbOk | kMbIconError), "error box: OK, error icon");
static_assert(kMessageWarningOkCancel == (kMbOkCancel | kMbIconWarning | kMbDefaultButton2),
              "warning box: OK and Cancel, Cancel the default, warning icon");
static_assert(kMessageQuestionYesNo == (kMbYesNo | kMbIconQuestion), "question box: Yes and No, question icon");
static_assert(int{kAnswerOk} == kIdOk && int{kAnswerCancel} == kIdCancel && int{kAnswerYes} == kIdYes &&
                  int{kAnswerNo} == kIdNo,
              "answers are the platform's button codes");

int ShowMessageBox(const std::string& caption, const std::string& text, MessageBoxStyle style) {
  return OsMessageBox(caption, text, style);
}

void ShowCopyError() { ShowMessageBox(Text(kTextRq6Titel), Text(kTextRq6Msg), kMessageError); }

std::string ShowLanguageChoiceDialog(const std::string& languageList) {
  // No choice dialog yet: an empty answer keeps the built-in texts.
  return std::string();
}
