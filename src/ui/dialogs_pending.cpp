#include "ui/dialogs_pending.h"

std::string BrowseForFolder(OsWindow owner, const std::string& prompt, const std::string& startFolder) {
  return std::string();
}

std::string ChooseStartMenuFolder(OsWindow wizard, const std::string& currentField) { return std::string(); }
