// Inspection of the message boxes of the native build (tests only).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  uint32_t flags = 0;
};

void ResetDialogDouble();
// Answers for the next boxes, in order; once used up, boxes answer OK (1).
void DialogDoubleQueueAnswer(int buttonCode);
const std::vector<MessageBoxRecord>& DialogDoubleBoxes();
