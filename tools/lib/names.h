// Names as the package stores them: single bytes of the Windows-1252 code
// page with "\" separators, compared the way Windows compares file names.
#pragma once
#include <string>

// UTF-8 text of one name component to the single-byte code page
// (Windows-1252). False, with *why set, when a character has no byte there
// or Windows forbids it in names.
bool ToPackageComponent(const std::string& utf8, std::string* ansi, std::string* why);
// A stored name back to UTF-8 for display.
std::string PackageNameToUtf8(const std::string& ansi);
// True when Windows takes both stored names for one file: they differ only
// in the case of letters.
bool SameWindowsName(const std::string& a, const std::string& b);
// The key under which a stored name is one file on Windows: case folded,
// and a folder's trailing "\" dropped so that "a\" and "A" collide.
std::string NameKey(const std::string& ansi);
