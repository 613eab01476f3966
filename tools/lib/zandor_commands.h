// The commands of the zandor builder tool (pack, build, list, extract,
// verify), callable in-process so that tests run them without a shell.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "lib/compress.h"

enum : int { kZandorOk = 0, kZandorFailed = 1, kZandorUsage = 2 };

struct ZandorContext {
  std::string selfPath;  // the zandor executable: the default stub sits beside it
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  bool progress = false;  // draw a progress line on err
};

// args excludes the program name. Returns the process exit code.
int RunZandor(const std::vector<std::string>& args, const ZandorContext& context);

// "YYYY-MM-DD hh:mm:ss" UTC, or "-" for 0.
std::string FormatFileTime(uint64_t fileTime);
bool ParseLevel(const std::string& text, CompressLevel* level);
