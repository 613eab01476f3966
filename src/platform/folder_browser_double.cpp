// The folder browser of the native build: recorded, answered from a queue.
#include <deque>

#include "platform/folder_browser.h"
#include "platform/folder_browser_double.h"

namespace {

struct FolderBrowserDouble {
  std::deque<std::string> answers;
  std::vector<FolderBrowserCall> calls;
};

FolderBrowserDouble& Double() {
  static FolderBrowserDouble d;
  return d;
}

}  // namespace

void ResetFolderBrowserDouble() { Double() = FolderBrowserDouble(); }
void FolderBrowserDoubleQueueAnswer(const std::string& path) { Double().answers.push_back(path); }
const std::vector<FolderBrowserCall>& FolderBrowserDoubleCalls() { return Double().calls; }

std::string OsBrowseForFolder(uintptr_t owner, const std::string& prompt, const std::string& startFolder) {
  FolderBrowserCall call;
  call.owner = owner;
  call.prompt = prompt;
  call.startFolder = startFolder;
  Double().calls.push_back(call);
  if (Double().answers.empty()) return std::string();
  std::string answer = Double().answers.front();
  Double().answers.pop_front();
  return answer;
}
