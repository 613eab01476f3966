// Small text helpers shared by the modules. All text is single-byte ANSI;
// "case-insensitive" means ASCII letters only, as the configuration files
// expect of their group and key names.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Decimal text to a number: leading blanks and tabs are skipped, one
// optional sign is taken, then digits up to the first non-digit. No digits
// gives 0. Too many digits wrap around in 32 bits rather than fail.
int32_t TextToInt(const std::string& text);
int32_t TextToInt(const char* text, size_t length);

char LowerAscii(char c);
bool EqualNoCase(std::string_view a, std::string_view b);

// Removes blanks and tabs at both ends.
std::string TrimBlanks(const std::string& text);

// The number-th field of text split at separator. Fields count from 1, a
// number of 0 or less counts as 1, and a field past the end is empty.
std::string Field(const std::string& text, char separator, int number);

int CountChar(const std::string& text, char c);

// Replaces every occurrence of what, left to right, non-overlapping; the
// inserted text is not searched again. An empty what changes nothing.
std::string ReplaceAll(const std::string& text, const std::string& what, const std::string& with);

// The low width hexadecimal digits of value, upper-case, zero-padded.
std::string HexDigits(uint64_t value, int width);
