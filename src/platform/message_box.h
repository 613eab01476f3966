// Message boxes. The native test double records every box and answers from
// a script of button codes (message_box_double.h).
#pragma once
#include <cstdint>
#include <string>

// The platform's message box flags: buttons, icon and default button, to be
// combined with "|".
enum : uint32_t {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbDefaultButton2 = 0x100,
};
// The button codes a message box answers.
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

int OsMessageBox(const std::string& caption, const std::string& text, uint32_t flags);
