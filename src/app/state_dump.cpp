#include "app/state_dump.h"

#include <string>

#include "actions/folders.h"
#include "app/setup_state.h"
#include "platform/file.h"
#include "platform/system.h"
#include "ui/language.h"

namespace {

void Line(std::string* out, const char* key, const std::string& value) {
  *out += key;
  *out += " = ";
  for (char c : value) {
    if (c == '\n') {
      *out += "\\n";
    } else {
      *out += c;
    }
  }
  *out += "\r\n";
}

}  // namespace

void DumpRunState() {
  std::string path = OsGetEnvironment("ZANDOR_STATE_DUMP");
  if (path.empty()) return;
  const SetupState& s = Setup();
  std::string out = "[State]\r\n";
  Line(&out, "ExePath", s.exePath);
  Line(&out, "SetupFolder", s.setupFolder);
  Line(&out, "WorkFolder", s.workFolder);
  Line(&out, "Quiet", s.options.quiet ? "1" : "0");
  Line(&out, "InstallDirOverride", s.options.installDirOverride);
  Line(&out, "StartMenuOverride", s.options.startMenuOverride);
  Line(&out, "HookMode", std::to_string(s.options.hookMode));
  Line(&out, "LanguageList", s.languageList);
  Line(&out, "LanguageNumber", std::to_string(s.languageNumber));
  Line(&out, "ProgExe", s.progExe);
  Line(&out, "Titel", s.title);
  Line(&out, "Version", s.version);
  Line(&out, "GUID", s.guid);
  Line(&out, "PrgSize", s.prgSize);
  Line(&out, "MutexString", s.mutexName);
  Line(&out, "InstallDirConfigured", s.installDirConfigured);
  Line(&out, "StartMenuConfigured", s.startMenuConfigured);
  Line(&out, "ProgFolderName", s.progFolderName);
  Line(&out, "DesktopDefault", std::to_string(s.desktopDefault));
  Line(&out, "ProgLink", s.progLink);
  Line(&out, "Web", s.web);
  Line(&out, "NoCopyExt", s.noCopyExt);
  Line(&out, "InstallDir", s.installDir);
  Line(&out, "ProgramRunning", s.programRunning ? "1" : "0");
  out += "[Folders]\r\n";
  for (const FolderVariable& variable : kFolderVariables) {
    Line(&out, variable.name, ExpandFolderVariables(variable.name, false));
  }
  Line(&out, "Desktop", GetFolderPath(kFolderDesktop));
  Line(&out, "Programs", GetFolderPath(kFolderPrograms));
  Line(&out, "CommonPrograms", GetFolderPath(kFolderCommonPrograms));
  out += "[Texts]\r\n";
  for (int i = 0; i < kTextCount; ++i) {
    TextId id = static_cast<TextId>(i);
    std::string name = std::string(TextGroup(id)) + "/" + TextKey(id);
    Line(&out, name.c_str(), Text(id));
  }
  OsFile file = OsOpenFile(path, kOsOpenCreateAlways);
  if (!file) return;
  OsWriteFile(file, out.data(), static_cast<uint32_t>(out.size()));
  OsCloseFile(file);
}
