// Inspection of the message box double (tests and the native test program).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  uint32_t flags = 0;
};

void ResetMessageBoxDouble();
// Answers for the next boxes, in order; once used up, boxes answer OK (1).
void MessageBoxDoubleQueueAnswer(int buttonCode);
const std::vector<MessageBoxRecord>& MessageBoxDoubleBoxes();
