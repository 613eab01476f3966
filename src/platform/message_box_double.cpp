// The message box double: every box is recorded and answered from a queue.
#include <deque>

#include "platform/message_box.h"
#include "platform/message_box_double.h"

namespace {

struct MessageBoxDouble {
  std::deque<int> answers;
  std::vector<MessageBoxRecord> boxes;
};

MessageBoxDouble& Double() {
  static MessageBoxDouble d;
  return d;
}

}  // namespace

void ResetMessageBoxDouble() { Double() = MessageBoxDouble(); }
void MessageBoxDoubleQueueAnswer(int buttonCode) { Double().answers.push_back(buttonCode); }
const std::vector<MessageBoxRecord>& MessageBoxDoubleBoxes() { return Double().boxes; }

int OsMessageBox(const std::string& caption, const std::string& text, uint32_t flags) {
  Double().boxes.push_back(MessageBoxRecord{caption, text, flags});
  if (Double().answers.empty()) return kIdOk;
  int answer = Double().answers.front();
  Double().answers.pop_front();
  return answer;
}
