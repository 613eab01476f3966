// Shortcuts of the install: the one link-making operation over the shell's
// link object, the program's desktop link and the start-menu folder of
// links, which fixes the program menu folder that the task list and the
// uninstall record use afterwards. Every link starts its program in a
// normal window, with no description and no hotkey.
#pragma once
#include <string>

#include "platform/shell_link.h"

// An icon file of this one character stands for the link's target itself.
inline constexpr char kTargetIconMarker[] = "|";
// The icon of address links: this fixed path, whatever the machine's
// Windows folder is.
inline constexpr char kAddressIconFile[] = "C:\\WINDOWS\\system32\\url.dll";

// The system's URL handler, which opens a web address in the user's
// browser: the program in the system folder and the text before the address.
inline constexpr char kUrlHandlerProgram[] = "RunDll32.exe";
inline constexpr char kUrlHandlerArguments[] = "Url.dll,FileProtocolHandler ";

// True when target is a web address rather than a path: a scheme of two or
// more letters, digits, "+", "-" or "." that begins with a letter, then ":"
// ("http:", "mailto:"). A drive letter is one letter, so "C:\..." is a path.
bool IsWebAddress(const std::string& target);

// Writes link.linkFile, overwriting a link of that name. The target-icon
// marker takes the target as icon file; an icon index of -1 becomes 0. A
// web address as target makes a link that starts the URL handler with that
// address (see links.cpp). Nothing is reported: a link that cannot be made
// is missing.
void CreateShellLink(const ShellLinkFields& link);

// The program that the program links start, as the settings load settled it.
struct ProgramLink {
  std::string installDir;     // ends in "\"
  std::string progExe;        // Settings ProgExe, relative to installDir
  std::string progLink;       // StartMenue ProgLink: the links' name
  std::string progParameter;  // Task ProgParameter: the links' arguments
};

// The program link's name without ".lnk": ProgLink, or when that is empty
// the ProgExe text before its first "." (the name the uninstall record
// gives the program link).
std::string ProgramLinkName(const ProgramLink& program);

// Desktop folder + program link name + ".lnk", starting installDir +
// progExe in installDir with progParameter and the program's own icon.
// Answers the link's path, kept for the uninstall record.
std::string CreateDesktopLink(const ProgramLink& program);

// The links of the start-menu folder, in the order they are made.
enum StartMenuLinkKind {
  kProgramMenuLink,     // ProgExe, when not empty
  kAdditionalLink,      // StartMenue Exe, when not empty
  kHelpLink,            // StartMenue Help, when not empty
  kHomepageLink,        // StartMenue URL, when not empty
  kUninstallLink,       // Uninstall.exe, when StartMenue Unistall is not 0
  kStartMenuLinkCount
};

struct StartMenuLinks {
  // Programs folder + folder name + "\": the program menu folder.
  std::string programMenuFolder;
  // Each link's path by its naming rule, whether it was made or not (the
  // uninstall record lists all five).
  std::string linkFiles[kStartMenuLinkCount];
  // The links whose condition held and that were asked of the shell.
  bool made[kStartMenuLinkCount] = {};
};

// Reads Help, URL, Exe and Unistall of group StartMenue from setup.ini,
// fixes the program menu folder (an empty folder name gives the ProgExe
// text before its first "."), creates it when missing, and makes the links
// whose conditions hold. Link names come from the language texts
// Install/Help, Homepage and Uninstall, blanks trimmed.
StartMenuLinks CreateStartMenuLinks(const std::string& iniPath, const std::string& folderName,
                                    const ProgramLink& program);
