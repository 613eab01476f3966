// Message boxes of the native build: recorded, answered from a queue.
#include <deque>

#include "platform/dialog.h"
#include "platform/dialog_double.h"

namespace {

struct DialogDouble {
  std::deque<int> answers;
  std::vector<MessageBoxRecord> boxes;
};

DialogDouble& Double() {
  static DialogDouble d;
  return d;
}

}  // namespace

void ResetDialogDouble() { Double() = DialogDouble(); }
void DialogDoubleQueueAnswer(int buttonCode) { Double().answers.push_back(buttonCode); }
const std::vector<MessageBoxRecord>& DialogDoubleBoxes() { return Double().boxes; }

int OsMessageBox(const std::string& caption, const std::string& text, uint32_t flags) {
  Double().boxes.push_back(MessageBoxRecord{caption, text, flags});
  if (Double().answers.empty()) return kIdOk;
  int answer = Double().answers.front();
  Double().answers.pop_front();
  return answer;
}
