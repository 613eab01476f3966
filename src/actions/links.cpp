#include "actions/links.h"

#include <cctype>

#include "actions/folders.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/text.h"
#include "ui/language.h"

namespace {

// The text before the first ".", the whole text when it has none.
std::string BeforeFirstDot(const std::string& text) { return text.substr(0, text.find('.')); }

// A link of the install's own: normal window, no description, no hotkey.
ShellLinkFields InstallLink(const std::string& target, const std::string& linkFile, const std::string& workingFolder,
                          const std::string& arguments, const std::string& iconFile) {
  ShellLinkFields link;
  link.target = target;
  link.linkFile = linkFile;
  link.workingFolder = workingFolder;
  link.arguments = arguments;
  link.iconFile = iconFile;
  link.iconIndex = 0;
  return link;
}

// What setup.ini's StartMenue group adds to the start-menu folder.
struct StartMenuSettings {
  std::string help;  // help file, relative to the installation folder
  std::string url;   // homepage address
  std::string exe;   // additional program, relative; may hold a sub-folder
  int32_t uninstall = 0;
};

StartMenuSettings ReadStartMenuSettings(const std::string& iniPath) {
  StartMenuSettings settings;
  IniOpen(iniPath);
  IniSelectGroup("StartMenue");
  settings.help = IniReadString("Help");
  settings.url = IniReadString("URL");
  settings.exe = IniReadString("Exe");
  settings.uninstall = IniReadNumber("Unistall", 0);
  IniClose();
  return settings;
}

}  // namespace

bool IsWebAddress(const std::string& target) {
  const size_t colon = target.find(':');
  if (colon == std::string::npos || colon < 2 || !isalpha(static_cast<unsigned char>(target[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(target[i]);
    if (!isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

void CreateShellLink(const ShellLinkFields& link) {
  ShellLinkFields shown = link;
  if (shown.iconFile == kTargetIconMarker) shown.iconFile = shown.target;
  if (shown.iconIndex == -1) shown.iconIndex = 0;
  // The shell's link object holds a file path, not an address: given
  // "https://..." it stores a path made of it (Wine puts the working folder
  // in front), and the link opens nothing. So an address link starts the
  // URL handler with the address, as the wizard's homepage link does. It
  // stays a ".lnk" file under its own name, so the uninstall record names
  // what was written, and keeps the icon it was given (url.dll). Address
  // links have no arguments of their own.
  if (IsWebAddress(shown.target)) {
    shown.arguments = kUrlHandlerArguments + shown.target;
    shown.target = GetFolderPath(kFolderSystem) + kUrlHandlerProgram;
  }
  AuditStep("link", "made", OsCreateShellLink(shown), shown.linkFile + "  ->  " + shown.target,
            "the shell did not make the link");
}

std::string ProgramLinkName(const ProgramLink& program) {
  return !program.progLink.empty() ? program.progLink : BeforeFirstDot(program.progExe);
}

std::string CreateDesktopLink(const ProgramLink& program) {
  const std::string linkFile = GetFolderPath(kFolderDesktop) + ProgramLinkName(program) + ".lnk";
  CreateShellLink(InstallLink(program.installDir + program.progExe, linkFile, program.installDir,
                              program.progParameter, kTargetIconMarker));
  return linkFile;
}

StartMenuLinks CreateStartMenuLinks(const std::string& iniPath, const std::string& folderName,
                                    const ProgramLink& program) {
  const StartMenuSettings settings = ReadStartMenuSettings(iniPath);
  StartMenuLinks out;
  const std::string name = !folderName.empty() ? folderName : BeforeFirstDot(program.progExe);
  out.programMenuFolder = GetFolderPath(kFolderPrograms) + AddBackslash(name);
  const std::string& folder = out.programMenuFolder;
  if (!FolderExists(folder)) EnsureFolderExists(folder);

  const std::string& dir = program.installDir;
  const struct {
    bool wanted;
    ShellLinkFields link;
  } links[kStartMenuLinkCount] = {
      {!program.progExe.empty(),
       InstallLink(dir + program.progExe, folder + ProgramLinkName(program) + ".lnk", dir, program.progParameter,
                   kTargetIconMarker)},
      {!settings.exe.empty(),
       InstallLink(dir + settings.exe, folder + BeforeFirstDot(FileNamePart(settings.exe)) + ".lnk",
                   dir + FolderPart(settings.exe), "", kTargetIconMarker)},
      {!settings.help.empty(),
       InstallLink(dir + settings.help, folder + TrimBlanks(Text(kTextInstallHelp)) + ".lnk", dir, "",
                   kTargetIconMarker)},
      {!settings.url.empty(),
       InstallLink(settings.url, folder + TrimBlanks(Text(kTextInstallHomepage)) + ".lnk", "", "", kAddressIconFile)},
      {settings.uninstall != 0,
       InstallLink(dir + "Uninstall.exe", folder + TrimBlanks(Text(kTextInstallUninstall)) + ".lnk", dir, "",
                   kTargetIconMarker)},
  };
  for (int kind = 0; kind < kStartMenuLinkCount; ++kind) {
    out.linkFiles[kind] = links[kind].link.linkFile;
    if (!links[kind].wanted) continue;
    CreateShellLink(links[kind].link);
    out.made[kind] = true;
  }
  return out;
}
