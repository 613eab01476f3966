#include "lib/names.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace {

// Windows-1252 bytes 80..9F; 0 where the code page has no character.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool DecodeUtf8(const std::string& text, size_t* index, uint32_t* code) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = *index, n = text.size();
  unsigned char c = s[i];
  int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + extra >= n) return false;
  uint32_t value = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
  for (int k = 1; k <= extra; k++) {
    if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return false;
    value = value << 6 | (s[i + k] & 0x3F);
  }
  static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *code = value;
  *index = i + extra + 1;
  return true;
}

bool IsReservedDeviceName(const std::string& ansi) {
  std::string base = ansi.substr(0, ansi.find('.'));
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* name : kNames) {
    if (base == name) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Windows compares names without regard to case, so two names that differ
// only in case would land on one file.
std::string FoldCase(const std::string& ansi) {
  std::string out = ansi;
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = static_cast<char>(u - 0x20);
  }
  return out;
}

}  // namespace

bool ToPackageComponent(const std::string& utf8, std::string* ansi, std::string* why) {
  ansi->clear();
  if (utf8.empty()) {
    *why = "empty name";
    return false;
  }
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t code = 0;
    if (!DecodeUtf8(utf8, &i, &code)) {
      *why = "not valid UTF-8";
      return false;
    }
    int byte = -1;
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      byte = static_cast<int>(code);
    } else {
      for (int k = 0; k < 32; k++) {
        if (kCp1252High[k] != 0 && kCp1252High[k] == code) byte = 0x80 + k;
      }
    }
    if (byte < 0) {
      *why = "a character outside the Windows-1252 code page";
      return false;
    }
    if (byte < 0x20 || std::strchr("<>:\"|?*\\/", byte) != nullptr) {
      *why = "a character Windows forbids in names (< > : \" | ? * \\ / or a control character)";
      return false;
    }
    ansi->push_back(static_cast<char>(byte));
  }
  if (ansi->back() == '.' || ansi->back() == ' ') {
    *why = "a trailing dot or blank, which Windows drops";
    return false;
  }
  if (IsReservedDeviceName(*ansi)) {
    *why = "a device name Windows reserves";
    return false;
  }
  return true;
}

std::string PackageNameToUtf8(const std::string& ansi) {
  std::string out;
  for (char c : ansi) {
    unsigned char u = static_cast<unsigned char>(c);
    uint32_t code = u;
    if (u >= 0x80 && u < 0xA0) code = kCp1252High[u - 0x80] != 0 ? kCp1252High[u - 0x80] : 0xFFFD;
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | code >> 6));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | code >> 12));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

bool SameWindowsName(const std::string& a, const std::string& b) { return FoldCase(a) == FoldCase(b); }

std::string NameKey(const std::string& ansi) {
  std::string key = FoldCase(ansi);
  if (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}
