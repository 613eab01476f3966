#include "actions/registry.h"

#include <algorithm>
#include <vector>

#include "platform/registry.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "actions/folders.h"
#include "runtime/filesys.h"
#include "runtime/text.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kExplorerFileExtsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";

// The roots a write may name: a task line's root is any 32-bit number, and
// only these three are the installer's to write.
bool IsKnownRoot(uint32_t root) {
  return root == kHkeyClassesRoot || root == kHkeyCurrentUser || root == kHkeyLocalMachine;
}

const char* RootName(uint32_t root) {
  switch (root) {
    case kHkeyClassesRoot: return "HKCR\\";
    case kHkeyCurrentUser: return "HKCU\\";
    case kHkeyLocalMachine: return "HKLM\\";
  }
  return "?\\";
}

// The size handed to the platform counts the terminating zero. The audit
// line names the value as root\key  name = text.
bool SetStringValue(OsKey key, const std::string& name, const std::string& text, const std::string& where) {
  const bool set = OsRegSetValue(key, name, kRegSz, text.c_str(), static_cast<uint32_t>(text.size() + 1));
  AuditStep("registry", "written", set, where + "  " + (name.empty() ? "@" : name) + " = " + text);
  return set;
}

bool SetNumberValue(OsKey key, const std::string& name, uint32_t number, const std::string& where) {
  const uint8_t bytes[4] = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
  const bool set = OsRegSetValue(key, name, kRegDword, bytes, 4);
  AuditStep("registry", "written", set, where + "  " + name + " = " + std::to_string(number));
  return set;
}

}  // namespace

int WriteRegistryString(uint32_t root, const std::string& subkey, const std::string& name,
                        const std::string& text) {
  if (!IsKnownRoot(root)) return kRegistryKeyFailed;
  OsKey key = nullptr;
  if (!OsRegCreateKey(root, subkey, &key)) {
    AuditStep("registry", "", false, RootName(root) + subkey);
    return kRegistryKeyFailed;
  }
  bool set = SetStringValue(key, name, text, RootName(root) + subkey);
  OsRegCloseKey(key);
  return set ? kRegistryWritten : kRegistryValueFailed;
}

void RemoveUninstallEntry(const std::string& guid, const std::string& progLink) {
  const std::string& keyName = !guid.empty() ? guid : progLink;
  const bool removed = OsRegDeleteKey(kHkeyLocalMachine, kUninstallKey + keyName);
  AuditStep("registry", "removed", removed, RootName(kHkeyLocalMachine) + (kUninstallKey + keyName));
}

void WriteUninstallEntry(const UninstallEntry& entry) {
  const std::string& keyName = !entry.guid.empty() ? entry.guid : entry.progLink;
  OsKey key = nullptr;
  // The machine's list of programs; a per-user install made without
  // administrator rights lists itself in the user's own, which Add/Remove
  // Programs shows as well.
  uint32_t root = kHkeyLocalMachine;
  if (!OsRegCreateKey(root, kUninstallKey + keyName, &key)) {
    AuditStep("registry", "", false, RootName(root) + (kUninstallKey + keyName));
    root = kHkeyCurrentUser;
    if (!OsRegCreateKey(root, kUninstallKey + keyName, &key)) {
      return AuditStep("registry", "", false, RootName(root) + (kUninstallKey + keyName));
    }
  }
  const std::string where = RootName(root) + (kUninstallKey + keyName);
  const std::string uninstaller = "\"" + entry.installDir + "uninstall.exe\"";
  const struct {
    const char* name;
    std::string text;
  } values[] = {
      {"DisplayName", UninstallDisplayName(entry.title, entry.version)},
      {"DisplayIcon", entry.installDir + entry.progExe},
      {"Publisher", entry.author},
      {"URLInfoAbout", entry.web},
      {"HelpLink", entry.web},
      {"Contact", entry.email},
      // Quoted: a path with blanks that is not would be read by the system
      // as a program at its first blank (C:\Program.exe).
      {"UninstallString", uninstaller},
      {"DisplayVersion", entry.version},
      {"InstallLocation", entry.installDir},
      {"QuietUninstallString", uninstaller + " /Q"},
  };
  for (const auto& value : values) SetStringValue(key, value.name, value.text, where);
  // The program files' size, which Add/Remove Programs shows; no change or
  // repair mode is there to offer.
  const uint64_t kilobytes = (entry.programBytes + 1023) / 1024;
  SetNumberValue(key, "EstimatedSize", static_cast<uint32_t>(std::min<uint64_t>(kilobytes, UINT32_MAX)), where);
  SetNumberValue(key, "NoModify", 1, where);
  SetNumberValue(key, "NoRepair", 1, where);
  OsRegCloseKey(key);
}

std::string UninstallDisplayName(const std::string& title, const std::string& version) {
  return version.empty() ? title : title + " " + version;
}

// The extension's default value as another program left it, kept beside it
// so that the uninstaller can give the files back; a value that is already
// the install's own (an update) keeps what the first install kept.
void KeepPreviousType(uint32_t root, const std::string& dotKey, const std::string& ours) {
  const std::string previous = ReadRegistryString(root, dotKey, "");
  if (previous.empty() || EqualNoCase(previous, ours)) return;
  WriteRegistryString(root, dotKey, kPreviousTypeValue, previous);
}

std::vector<std::string> TypeKeys(const std::string& type) {
  return {type + "\\shell\\open\\command", type, type + "\\DefaultIcon"};
}

// A type whose verb opens another program (another product's, or Explorer's
// own "_auto_file" type) is taken over: its verb, name and icon as they were
// are kept beside each, so that the uninstaller can hand the type back. A
// verb that is already the install's own (an update) keeps what the first
// install kept.
void KeepPreviousOwner(const std::string& type, const std::string& openCommand) {
  const std::vector<std::string> keys = TypeKeys(type);
  const std::string verb = ReadRegistryString(kHkeyClassesRoot, keys[0], "");
  if (verb.empty() || EqualNoCase(verb, openCommand)) return;
  for (const std::string& key : keys) {
    const std::string previous = ReadRegistryString(kHkeyClassesRoot, key, "");
    if (!previous.empty()) WriteRegistryString(kHkeyClassesRoot, key, kPreviousTypeValue, previous);
    else OsRegDeleteValue(kHkeyClassesRoot, key, kPreviousTypeValue);
  }
}

void AssociateExtension(const std::string& extension, const std::string& description,
                        const std::string& programPath, const std::string& iconLocation) {
  const std::string fileName = FileNamePart(programPath);
  const std::string openCommand = "\"" + programPath + "\" \"%1\"";
  const std::string& typeName = !description.empty() ? description : fileName;
  if (OsIsNtFamily()) {
    const std::string autoFile = extension + "_auto_file";
    WriteRegistryString(kHkeyClassesRoot, "Applications\\" + fileName + "\\shell\\open\\command", "", openCommand);
    KeepPreviousType(kHkeyClassesRoot, "." + extension, autoFile);
    WriteRegistryString(kHkeyClassesRoot, "." + extension, "", autoFile);
    KeepPreviousOwner(autoFile, openCommand);
    WriteRegistryString(kHkeyClassesRoot, autoFile, "", typeName);
    if (!iconLocation.empty()) WriteRegistryString(kHkeyClassesRoot, autoFile + "\\DefaultIcon", "", iconLocation);
    // The type's own verb is what the shell follows from the extension; the
    // Applications key alone serves only "Open with".
    WriteRegistryString(kHkeyClassesRoot, autoFile + "\\shell\\open\\command", "", openCommand);
    WriteRegistryString(kHkeyCurrentUser, kExplorerFileExtsKey + extension, "Application", fileName);
    return;
  }
  const std::string classes = "Software\\Classes\\";
  KeepPreviousType(kHkeyLocalMachine, classes + "." + extension, fileName);
  WriteRegistryString(kHkeyLocalMachine, classes + "." + extension, "", fileName);
  WriteRegistryString(kHkeyLocalMachine, classes + fileName, "", typeName);
  if (!iconLocation.empty()) {
    WriteRegistryString(kHkeyLocalMachine, classes + fileName + "\\DefaultIcon", "", iconLocation);
  }
  WriteRegistryString(kHkeyLocalMachine, classes + fileName + "\\shell\\open\\command", "", openCommand);
}

bool IsBareExtension(const std::string& extension) {
  if (TrimBlanks(extension).empty()) return false;
  for (char c : extension) {
    if (static_cast<unsigned char>(c) < 32 || std::string(".\\/*?\"<>|:").find(c) != std::string::npos) return false;
  }
  return true;
}

std::string InstallStateKey(const std::string& guid) { return "SOFTWARE\\Zandor\\" + guid; }

void WriteInstallState(const std::string& guid, const std::string& installDir, const std::string& startMenu,
                       const std::string& desktopIcon) {
  if (guid.empty()) return;
  const std::string key = InstallStateKey(guid);
  WriteRegistryString(kHkeyCurrentUser, key, "InstallDir", installDir);
  WriteRegistryString(kHkeyCurrentUser, key, "StartMenu", startMenu);
  WriteRegistryString(kHkeyCurrentUser, key, "DesktopIcon", desktopIcon);
}
