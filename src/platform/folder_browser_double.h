// Inspection and script of the folder browser of the native build (tests only).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FolderBrowserCall {
  uintptr_t owner = 0;
  std::string prompt;
  std::string startFolder;
};

void ResetFolderBrowserDouble();
// Answers for the next browsers, in order; an empty one is a cancel. Once
// used up, browsers answer empty.
void FolderBrowserDoubleQueueAnswer(const std::string& path);
const std::vector<FolderBrowserCall>& FolderBrowserDoubleCalls();
