// Helpers the benchmarks share: a clock, reading a whole file, a median,
// the files of a corpus, and the file entries of a package.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "package/package.h"

inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline bool ReadWhole(const char* path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  out->clear();
  uint8_t buf[1 << 16];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + got);
  std::fclose(f);
  return true;
}

// The middle value; for an even count the upper of the two middle ones, so
// that the result is always a time that was measured.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The regular files under root as paths relative to it with "/", sorted.
inline std::vector<std::string> CorpusFiles(const std::string& root) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file()) files.push_back(it->path().lexically_relative(root).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The part of the corpus a file belongs to: its first folder ("bin",
// "text", "media"), or "." for a file at the top.
inline std::string CorpusPart(const std::string& relative) {
  size_t slash = relative.find('/');
  return slash == std::string::npos ? "." : relative.substr(0, slash);
}

// The file entries of the package at path by their name with "/", or false
// when it does not open. The reader is closed again.
inline bool PackageFiles(const std::string& path, std::map<std::string, PackageEntry>* files) {
  files->clear();
  bool opened = OpenPackage(path, nullptr);
  if (opened) {
    for (const PackageEntry& entry : Package().entries) {
      if (entry.kind != kEntryKindFile) continue;
      std::string name = entry.name;
      std::replace(name.begin(), name.end(), '\\', '/');
      (*files)[name] = entry;
    }
  }
  ClosePackage();
  return opened;
}
