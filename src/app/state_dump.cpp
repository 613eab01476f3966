#include "app/state_dump.h"

#include <string>

#include "actions/folders.h"
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

void Flag(std::string* out, const char* key, bool value) { Line(out, key, value ? "1" : "0"); }

void DumpPaths(std::string* out, const RunPaths& paths) {
  Line(out, "ExePath", paths.exePath);
  Line(out, "SetupFolder", paths.setupFolder);
  Line(out, "WorkFolder", paths.workFolder);
}

void DumpOptions(std::string* out, const RunOptions& options) {
  Flag(out, "Quiet", options.quiet);
  Line(out, "InstallDirOverride", options.installDirOverride);
  Line(out, "StartMenuOverride", options.startMenuOverride);
  Line(out, "HookMode", std::to_string(options.hookMode));
}

void DumpProduct(std::string* out, const ProductInfo& product) {
  Line(out, "LanguageList", product.languageList);
  Line(out, "ProgExe", product.progExe);
  Line(out, "Titel", product.title);
  Line(out, "Version", product.version);
  Line(out, "GUID", product.guid);
  Line(out, "PrgSize", product.prgSize);
  Line(out, "MutexString", product.mutexName);
}

void DumpConfig(std::string* out, const SetupConfig& config) {
  Line(out, "InstallDirConfigured", config.installDir);
  Line(out, "StartMenuConfigured", config.startMenuFolder);
  Line(out, "ProgFolderName", config.progFolderName);
  Line(out, "DesktopDefault", std::to_string(config.desktopDefault));
  Line(out, "ProgLink", config.progLink);
  Line(out, "Web", config.web);
  Line(out, "NoCopyExt", config.noCopyExt);
}

void DumpInstalled(std::string* out, const InstallResult& installed) {
  Line(out, "InstallDir", installed.installDir);
}

void DumpFlags(std::string* out, const RunFlags& flags) {
  Flag(out, "ProgramRunning", flags.programRunning);
  Flag(out, "Start", flags.start);
  Flag(out, "Reboot", flags.reboot);
  Flag(out, "Cancelled", flags.cancelled);
}

}  // namespace

void DumpRunState(const SetupState& s) {
  std::string path = OsGetEnvironment("ZANDOR_STATE_DUMP");
  if (path.empty()) return;
  // A run that an elevated run took over leaves the file to that run.
  if (s.elevation.handedOver) path += ".starter";
  std::string out = "[State]\r\n";
  DumpPaths(&out, s.paths);
  DumpOptions(&out, s.options);
  DumpProduct(&out, s.product);
  Line(&out, "LanguageNumber", std::to_string(s.languageNumber));
  DumpConfig(&out, s.config);
  DumpInstalled(&out, s.installed);
  DumpFlags(&out, s.flags);
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

bool TestBuildActsLimited() { return OsGetEnvironment("ZANDOR_TEST_LIMITED_TOKEN") == "1"; }
