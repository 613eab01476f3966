// Registry entries of the install: single text values (task lines and the
// install state), the uninstall entry that lists the program among the
// installed software, and file associations. Every value is a REG_SZ stored
// with its terminating zero, so that ReadRegistryString, which drops the
// last byte, reads it back whole. Nothing here reports a failure to the
// user: an entry that cannot be written is left out and the install goes on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Results of WriteRegistryString.
enum : int {
  kRegistryKeyFailed = 0,    // the key could not be created or opened
  kRegistryValueFailed = 1,  // the key opened but took no value
  kRegistryWritten = 2,
};

// Creates the key with its missing parents (or opens it) and sets the value
// (empty name: the key's default value). A root other than
// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE gives
// kRegistryKeyFailed without touching the registry.
int WriteRegistryString(uint32_t root, const std::string& subkey, const std::string& name,
                        const std::string& text);

// What the uninstall entry says about the installed program.
struct UninstallEntry {
  std::string guid;        // Info GUID; names the key when not empty
  std::string progLink;    // names the key when the GUID is empty
  std::string title;       // Info Titel
  std::string version;     // Info Version
  std::string author;      // Info Author
  std::string web;         // Info Web
  std::string email;       // Info EMail
  std::string installDir;  // ends in "\"
  std::string progExe;     // relative to installDir
  uint64_t programBytes = 0;  // the program files' size
};

// HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\Uninstall\"
// + GUID (or ProgLink), with these values in this order: DisplayName
// (UninstallDisplayName), DisplayIcon (installDir + progExe), Publisher,
// URLInfoAbout and HelpLink (both the web address), Contact,
// UninstallString ("installDir + uninstall.exe", quoted), DisplayVersion,
// InstallLocation (installDir), QuietUninstallString (the UninstallString
// and " /Q"), and the numbers EstimatedSize (programBytes in KB, rounded
// up), NoModify = 1 and NoRepair = 1. A 32-bit program on a 64-bit system
// writes there through the system's view, which is the Wow6432Node key.
// Without the rights for that key (a per-user install without elevation)
// the same key under HKEY_CURRENT_USER. A key that cannot be created writes
// nothing; a value that fails does not stop the next.
void WriteUninstallEntry(const UninstallEntry& entry);
// The title, one blank and the version; the bare title without a version.
std::string UninstallDisplayName(const std::string& title, const std::string& version);
// Removes the entry that WriteUninstallEntry made for that GUID (or, without
// one, that program link): for an install whose uninstaller would have no
// record to work from.
void RemoveUninstallEntry(const std::string& guid, const std::string& progLink);

// Associates "." + extension with the program (full path): the open
// command is the quoted program path, a blank and "%1" in quotes; the type
// name is the description, or the program's file name when that is empty;
// an empty icon location ("file,index") writes no DefaultIcon key. The NT
// family gets the Applications key, the _auto_file type with its own
// shell\open\command under HKEY_CLASSES_ROOT and the Explorer choice under
// HKEY_CURRENT_USER; older systems get the classes under HKEY_LOCAL_MACHINE.
// The extension's previous default value, when another program had set
// one, is kept beside it as kPreviousTypeValue for the uninstaller; so is
// each of the type's verb, name and icon when its verb opened another
// program. Every step is tried.
void AssociateExtension(const std::string& extension, const std::string& description,
                        const std::string& programPath, const std::string& iconLocation);
// The value of the extension's key that holds the type it had before the
// install took it over, and of the type's keys the values they had.
inline constexpr char kPreviousTypeValue[] = "ZandorPrevious";
// The keys below HKEY_CLASSES_ROOT whose default values are a type's verb
// (its open command), name and icon, in that order.
std::vector<std::string> TypeKeys(const std::string& type);
// An extension that names one key below HKEY_CLASSES_ROOT: not empty or
// blank, without a dot, a path separator, wildcard or control character.
bool IsBareExtension(const std::string& extension);

// HKEY_CURRENT_USER key of the install state: "SOFTWARE\Zandor\" + GUID.
std::string InstallStateKey(const std::string& guid);

// Stores the wizard's final choices for the next install as the values
// InstallDir, StartMenu and DesktopIcon ("1" or "0"); nothing is written
// when the GUID is empty.
void WriteInstallState(const std::string& guid, const std::string& installDir, const std::string& startMenu,
                       const std::string& desktopIcon);
