#include "runtime/text.h"

int32_t TextToInt(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && (text[i] == ' ' || text[i] == '\t')) i++;
  bool negative = false;
  if (i < length && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    i++;
  }
  // Unsigned arithmetic: an overlong number wraps instead of overflowing.
  uint32_t value = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    i++;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

int32_t TextToInt(const std::string& text) { return TextToInt(text.data(), text.size()); }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) begin++;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) end--;
  return text.substr(begin, end - begin);
}

std::string Field(const std::string& text, char separator, int number) {
  if (number < 1) number = 1;
  size_t start = 0;
  for (int i = 1; i < number; i++) {
    size_t next = text.find(separator, start);
    if (next == std::string::npos) return std::string();
    start = next + 1;
  }
  size_t end = text.find(separator, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int CountChar(const std::string& text, char c) {
  int count = 0;
  for (char t : text) count += (t == c);
  return count;
}

std::string ReplaceAll(const std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t hit = text.find(what, start);
    if (hit == std::string::npos) break;
    out.append(text, start, hit - start);
    out += with;
    start = hit + what.size();
  }
  out.append(text, start, std::string::npos);
  return out;
}

std::string HexDigits(uint64_t value, int width) {
  std::string digits(static_cast<size_t>(width > 0 ? width : 0), '0');
  for (int i = width - 1; i >= 0; --i, value >>= 4) digits[i] = "0123456789ABCDEF"[value & 15];
  return digits;
}
