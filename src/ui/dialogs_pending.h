// The folder dialogs of the settings page until their real versions arrive
// in ui/dialogs.h: both answer empty, as a cancelled dialog does.
#pragma once
#include <string>

#include "platform/window.h"

std::string BrowseForFolder(OsWindow owner, const std::string& prompt, const std::string& startFolder);
std::string ChooseStartMenuFolder(OsWindow wizard, const std::string& currentField);
