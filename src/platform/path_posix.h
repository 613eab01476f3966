// Windows path text to a POSIX path: "\" becomes "/".
#pragma once
#include <string>

inline std::string ToPosixPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}
