// Version resources of files, read through the system's version library
// ("Version.dll" from the system folder, loaded by name for each call and
// released again). Natively the test double answers what the tests set
// (version_double.h).
#pragma once
#include <cstdint>
#include <string>

// The three values a version resource offers the confirmed copy; each is
// empty when the resource does not hold it.
struct OsFileVersion {
  std::string fileVersion;  // string value "FileVersion"
  std::string description;  // string value "FileDescription"
  std::string language;     // the system's name of the first translation's language
};

// Reads the version resource of the file. False, with *out left empty, when
// the library cannot be loaded or the file has no version block.
bool OsGetFileVersion(const std::string& path, OsFileVersion* out);

// The string-table key of a translation: language then code page, four
// upper-case hexadecimal digits each (0x0409, 0x04B0 give "040904B0").
inline std::string OsVersionTranslationKey(uint16_t language, uint16_t codePage) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string key(8, '0');
  const uint32_t both = (static_cast<uint32_t>(language) << 16) | codePage;
  for (int i = 0; i < 8; ++i) key[static_cast<size_t>(7 - i)] = kDigits[(both >> (4 * i)) & 0xF];
  return key;
}
