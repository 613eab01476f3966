// Message boxes. The native build records every box and answers from a
// script of button codes (dialog_double.h).
#pragma once
#include <cstdint>
#include <string>

enum : uint32_t {
  kMbError = 0x10,           // OK, error icon
  kMbRunningWarning = 0x131, // OK and Cancel, Cancel default, warning icon
  kMbQuestion = 0x24,        // Yes and No, question icon
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

int OsMessageBox(const std::string& caption, const std::string& text, uint32_t flags);
