#include "uninstall/removal.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "actions/folders.h"
#include "actions/registry.h"
#include "platform/guard.h"
#include "platform/registry.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/program_runner.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "uninstall/safety.h"
#include "uninstall/uninstall_dialog.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kExplorerFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.";
const char kRecordName[] = "uninstall.dat";

struct Removal {
  const UninstallData* data = nullptr;
  const RemovalChoices* choices = nullptr;
  RemovalReport* report = nullptr;
  std::string progDir;  // normalised, "\" at the end
  bool deleteCopies = false;
  // Programs whose association keys (NT family, older layout) open the
  // program in this installation folder.
  std::vector<std::string> ntPrograms;
  std::vector<std::string> oldPrograms;
  std::map<std::string, bool> finalInside;  // FinalInsideProgDir by folder
  std::vector<std::string> linkFolders;     // IsLinkInLinkFolder's, once asked
  std::vector<std::string> copies;          // the question's files, final paths
};

// Each step that was done goes into the report and the audit log.
void Note(Removal* r, const std::string& what, const std::string& path) {
  r->report->lines.push_back(what + " " + path);
  AuditLine("remove  " + what + "  " + path);
}

// The folder's final path (after links) is the installation folder's or
// lies below it: nothing is deleted through a link to elsewhere.
bool FinalInsideProgDir(Removal* r, const std::string& folder) {
  auto known = r->finalInside.find(folder);
  if (known != r->finalInside.end()) return known->second;
  const std::string final = OsFinalPath(folder);
  const bool inside = !final.empty() && (SameFolder(final, r->progDir) || IsInsideFolder(final, r->progDir));
  r->finalInside[folder] = inside;
  return inside;
}

bool DeleteOneFile(const std::string& path) {
  if (OsDeleteFile(path)) return true;
  // A read-only file refuses to go until its attribute is cleared.
  return OsSetNormalAttributes(path) && OsDeleteFile(path);
}

// A file that stays where it was gets an audit line with the system's
// reason.
void DeleteNoted(Removal* r, const char* what, const std::string& path) {
  if (DeleteOneFile(path)) Note(r, what, path);
  else AuditStep("remove", what, false, path);
}

void DeleteIfFile(Removal* r, const char* what, const std::string& path) {
  if (FileExists(path)) DeleteNoted(r, what, path);
}

// A link the install may have made: a ".lnk" file, judged on its final
// path (so no 8.3 name of another file passes), in the desktop, the
// program menu or the Startup folder of the user or of all users, or in a
// folder below one of them.
bool IsLinkInLinkFolder(Removal* r, const std::string& path) {
  if (!IsLinkPath(path)) return false;
  const std::string final = OsFinalPath(path);
  if (final.empty() || !IsLinkPath(final)) return false;
  if (r->linkFolders.empty()) {
    const int32_t kLinkFolderIds[] = {kFolderDesktop, 25, kFolderPrograms, kFolderCommonPrograms,
                                      kFolderStartup, 24, kFolderQuickLaunch};
    for (int32_t id : kLinkFolderIds) {
      const std::string folder = GetFolderPath(id);
      if (folder.empty()) continue;
      r->linkFolders.push_back(folder);
      const std::string finalFolder = OsFinalPath(folder);
      if (!finalFolder.empty()) r->linkFolders.push_back(AddBackslash(finalFolder));
    }
  }
  for (const std::string& folder : r->linkFolders) {
    if (IsInsideFolder(final, folder)) return true;
  }
  return false;
}

void DeleteLink(Removal* r, const std::string& path) {
  if (!FileExists(path)) return;
  if (!IsLinkInLinkFolder(r, path)) {
    Note(r, "skipped", path);
    return;
  }
  DeleteIfFile(r, "link", path);
}

// Removes folder when empty, then each parent while it is empty and still
// strictly inside stop.
void RemoveEmptyFolders(Removal* r, std::string folder, const std::string& stop) {
  while (IsInsideFolder(folder.substr(0, folder.size() - 1), stop)) {
    if (!OsRemoveDirectory(folder.substr(0, folder.size() - 1))) return;
    Note(r, "folder", folder);
    folder = FolderPart(folder.substr(0, folder.size() - 1));
  }
}

std::string RootName(uint32_t root) {
  switch (root) {
    case kHkeyClassesRoot: return "HKCR";
    case kHkeyCurrentUser: return "HKCU";
    default: return "HKLM";
  }
}

bool DeleteValue(Removal* r, uint32_t root, const std::string& subkey, const std::string& name) {
  if (!OsRegDeleteValue(root, subkey, name)) return false;
  Note(r, "value", RootName(root) + "\\" + subkey + "|" + name);
  return true;
}

// Deletes the key while it holds nothing, then its parents while they hold
// nothing, keeping the top minDepth components (so "Software" itself, or a
// class key of the shell, is never taken).
void PruneEmptyKeys(Removal* r, uint32_t root, std::string subkey, int minDepth) {
  while (CountChar(subkey, '\\') + 1 > minDepth && !IsSystemRegistryKey(root, subkey)) {
    uint32_t subkeys = 0, values = 0;
    if (!OsRegKeyCounts(root, subkey, &subkeys, &values) || subkeys != 0 || values != 0) return;
    if (!OsRegDeleteKey(root, subkey)) return;
    Note(r, "key", RootName(root) + "\\" + subkey);
    size_t parent = subkey.rfind('\\');
    if (parent == std::string::npos) return;
    subkey.resize(parent);
  }
}

std::string ReadValue(uint32_t root, const std::string& subkey, const std::string& name) {
  return ReadRegistryString(root, subkey, name);
}

// Paths compared as Windows compares them: "/" is "\\", letters in any case.
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] == '/' ? '\\' : a[i], y = b[i] == '/' ? '\\' : b[i];
    if (LowerAscii(x) != LowerAscii(y)) return false;
  }
  return true;
}

// The open command the install wrote points into the installation folder:
// a quote, then ProgDir.
bool OpensFromProgDir(const Removal& r, const std::string& command) {
  return command.size() > r.progDir.size() + 1 && command[0] == '"' &&
         SamePath(command.substr(1, r.progDir.size()), r.progDir);
}

// A command's program as one path: the quotes around it dropped.
std::string Unquoted(const std::string& text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"' ? text.substr(1, text.size() - 2) : text;
}

void AddOnce(std::vector<std::string>* list, const std::string& item) {
  if (std::find(list->begin(), list->end(), item) == list->end()) list->push_back(item);
}

bool Holds(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::string ApplicationCommand(const std::string& program) {
  return "Applications\\" + program + "\\shell\\open\\command";
}
const char kClasses[] = "Software\\Classes\\";

// The key's default value as it was before the install, kept beside it,
// comes back; without one the value goes. The kept value goes either way.
void RestorePreviousValue(Removal* r, uint32_t root, const std::string& key) {
  const std::string previous = ReadValue(root, key, kPreviousTypeValue);
  if (!previous.empty() && WriteRegistryString(root, key, "", previous) == kRegistryWritten) {
    Note(r, "restored", RootName(root) + "\\" + key + "|=" + previous);
  } else {
    DeleteValue(r, root, key, "");
  }
  DeleteValue(r, root, key, kPreviousTypeValue);
}

// The extension's key while it still names the install's type: the type
// it had before comes back, with the key gone when that leaves it empty.
void GiveBackExtension(Removal* r, uint32_t root, const std::string& dotKey, int minDepth) {
  RestorePreviousValue(r, root, dotKey);
  PruneEmptyKeys(r, root, dotKey, minDepth);
}

// The program a command starts: its first word, or what its quotes hold.
std::string CommandProgram(const std::string& command) {
  if (!command.empty() && command[0] == '"') return command.substr(1, command.find('"', 1) - 1);
  return command.substr(0, command.find(' '));
}

// A type whose verb opens a program of this folder and that the install took
// over from another program, which is still in place: the verb, name and icon
// it had come back, and the extension stays with the type.
bool HandBackType(Removal* r, const std::string& type) {
  const std::vector<std::string> keys = TypeKeys(type);
  const std::string previous = ReadValue(kHkeyClassesRoot, keys[0], kPreviousTypeValue);
  const std::string program = CommandProgram(previous);
  if (previous.empty() || OpensFromProgDir(*r, previous) || !IsFullPath(program) || !FileExists(program)) {
    return false;
  }
  for (const std::string& key : keys) RestorePreviousValue(r, kHkeyClassesRoot, key);
  PruneEmptyKeys(r, kHkeyClassesRoot, keys[2], 1);
  return true;
}

// Type 10: both layouts of the install, each extension removed only while
// it still sends its files to the program in this installation folder. The
// program's own keys serve every extension associated with it, so they go
// once all tasks are undone (RemoveProgramClasses).
void RemoveAssociation(Removal* r, const std::string& extension, const std::string& program) {
  if (!IsSafeName(extension) || !IsSafeName(program)) {
    Note(r, "skipped", "10|" + extension + "|" + program);
    return;
  }
  const std::string dotKey = "." + extension;
  // The layout of the NT family.
  if (Holds(r->ntPrograms, program) ||
      OpensFromProgDir(*r, ReadValue(kHkeyClassesRoot, ApplicationCommand(program), ""))) {
    AddOnce(&r->ntPrograms, program);
    const std::string autoFile = extension + "_auto_file";
    const std::vector<std::string> typeKeys = TypeKeys(autoFile);
    // The type is this install's while its verb opens a program of this
    // folder (or it has none); one that another program took over since
    // stays, with the extension that names it.
    const std::string verb = ReadValue(kHkeyClassesRoot, typeKeys[0], "");
    const bool ownsType = verb.empty() || OpensFromProgDir(*r, verb);
    const bool ours = ownsType && EqualNoCase(ReadValue(kHkeyClassesRoot, dotKey, ""), autoFile);
    if (ownsType) {
      // Handed back, the program it came from serves the extension again.
      const bool handedBack = !verb.empty() && HandBackType(r, autoFile);
      if (!handedBack && ours) GiveBackExtension(r, kHkeyClassesRoot, dotKey, 0);
      // Otherwise the type goes with the extension, or on its own while its
      // verb still opens this program (the extension was taken over
      // meanwhile); the verb and icon first, so that their keys leave the
      // type's empty.
      if (!handedBack && (ours || !verb.empty())) {
        for (const std::string& key : {typeKeys[0], typeKeys[2], typeKeys[1]}) {
          DeleteValue(r, kHkeyClassesRoot, key, "");
          DeleteValue(r, kHkeyClassesRoot, key, kPreviousTypeValue);
          PruneEmptyKeys(r, kHkeyClassesRoot, key, key == autoFile ? 0 : 1);
        }
      }
    } else if (OpensFromProgDir(*r, ReadValue(kHkeyClassesRoot, typeKeys[0], kPreviousTypeValue))) {
      // The program that took the type over kept this install's verb to
      // give it back; this install is going, so that program's uninstall
      // gives the type back as it was before this one.
      for (const std::string& key : typeKeys) DeleteValue(r, kHkeyClassesRoot, key, kPreviousTypeValue);
    }
    const std::string exts = kExplorerFileExts + extension;
    if (EqualNoCase(ReadValue(kHkeyCurrentUser, exts, "Application"), program)) {
      DeleteValue(r, kHkeyCurrentUser, exts, "Application");
      PruneEmptyKeys(r, kHkeyCurrentUser, exts, 1);
    }
  }
  // The older layout under HKEY_LOCAL_MACHINE.
  const std::string command = kClasses + program + "\\shell\\open\\command";
  if (Holds(r->oldPrograms, program) || OpensFromProgDir(*r, ReadValue(kHkeyLocalMachine, command, ""))) {
    AddOnce(&r->oldPrograms, program);
    if (EqualNoCase(ReadValue(kHkeyLocalMachine, kClasses + dotKey, ""), program)) {
      GiveBackExtension(r, kHkeyLocalMachine, kClasses + dotKey, 2);
    }
  }
}

void RemoveProgramClasses(Removal* r) {
  for (const std::string& program : r->ntPrograms) {
    DeleteValue(r, kHkeyClassesRoot, ApplicationCommand(program), "");
    PruneEmptyKeys(r, kHkeyClassesRoot, ApplicationCommand(program), 1);
  }
  for (const std::string& program : r->oldPrograms) {
    const std::string key = kClasses + program;
    DeleteValue(r, kHkeyLocalMachine, key + "\\shell\\open\\command", "");
    PruneEmptyKeys(r, kHkeyLocalMachine, key + "\\shell\\open\\command", 3);
    DeleteValue(r, kHkeyLocalMachine, key + "\\DefaultIcon", "");
    PruneEmptyKeys(r, kHkeyLocalMachine, key + "\\DefaultIcon", 3);
    DeleteValue(r, kHkeyLocalMachine, key, "");
    PruneEmptyKeys(r, kHkeyLocalMachine, key, 2);
  }
}

void UnregisterComponent(Removal* r, const std::string& path) {
  if (!IsInsideFolder(path, r->progDir) || !FileExists(path)) {
    Note(r, "skipped", "9|" + path);
    return;
  }
  std::string system = GetFolderPath(kFolderSystem);
  Program run = RunProgram(system + "regsvr32.exe", "/u /s \"" + path + "\"", FolderPart(path), kRunWait | kRunOpen);
  CloseProgram(run);
  Note(r, "unregister", path);
  DeleteIfFile(r, "file", path);
}

void UndoTask(Removal* r, const std::string& task) {
  int type = static_cast<int8_t>(TextToInt(Field(task, '|', 1)));
  std::string field2 = Field(task, '|', 2);
  switch (type) {
    case 0: case 1: case 2: case 3: case 4: {
      if (!IsLinkPath(field2)) break;
      DeleteLink(r, field2);
      // Start-menu links may sit in folders of their own below the program
      // menu folder, which step 2 takes.
      const std::string& menu = r->data->startMenu;
      if ((type == 1 || type == 3) && !menu.empty() && IsInsideFolder(field2, menu)) {
        RemoveEmptyFolders(r, FolderPart(field2), menu);
      }
      return;
    }
    case 5: {
      if (!IsFullPath(field2) || !FileExists(field2)) break;
      // Only what the question listed, by the same final path.
      const std::string final = OsFinalPath(field2);
      if (r->deleteCopies && Holds(r->copies, final)) DeleteIfFile(r, "file", final);
      else Note(r, "kept", field2);
      return;
    }
    case 6: {
      uint32_t root = static_cast<uint32_t>(TextToInt(field2));
      std::string subkey = Field(task, '|', 3);
      if (!IsTaskRegistryRoot(root) || !IsSafeSubkey(subkey) || IsSystemRegistryKey(root, subkey)) break;
      if (DeleteValue(r, root, subkey, Field(task, '|', 4))) PruneEmptyKeys(r, root, subkey, 1);
      return;
    }
    case 9:
      UnregisterComponent(r, Field(task, '|', 3));
      return;
    case 10:
      RemoveAssociation(r, field2, Field(task, '|', 3));
      return;
    default:
      break;
  }
  Note(r, "skipped", task);
}

// The files that type-5 tasks copied and that are still there.
std::vector<std::string> CopiedFiles(const UninstallData& data) {
  std::vector<std::string> files;
  for (const std::string& task : data.tasks) {
    std::string path = Field(task, '|', 2);
    if (static_cast<int8_t>(TextToInt(Field(task, '|', 1))) != 5 || !IsFullPath(path) || !FileExists(path)) continue;
    const std::string final = OsFinalPath(path);
    if (!final.empty() && std::find(files.begin(), files.end(), final) == files.end()) files.push_back(final);
  }
  return files;
}

// Lines that a message box shows on any screen; a longer list goes into a
// window with a scrolled list.
const size_t kMessageBoxFiles = 12;

bool AskToDeleteCopies(const UninstallData& data, const std::vector<std::string>& files) {
  if (files.size() > kMessageBoxFiles) return AskAboutFileList(data, data.texts[kUnDelFiles], files);
  std::string text = data.texts[kUnDelFiles] + "\n";
  // Every file that a Yes deletes, each by its final path.
  for (const std::string& file : files) text += "\n" + file;
  return ShowMessageBox(data.texts[kUnTitel], text, kMessageQuestionYesNo) == kAnswerYes;
}

// The user's and the all-users' start-menu Programs folder that holds the
// program menu folder, or empty.
std::string ProgramsFolderOf(const std::string& menu) {
  for (int32_t id : {kFolderPrograms, kFolderCommonPrograms}) {
    std::string programs = GetFolderPath(id);
    if (!programs.empty() && IsInsideFolder(menu.substr(0, menu.size() - 1), programs)) return programs;
  }
  return std::string();
}

void RemoveStartMenu(Removal* r) {
  const std::string& menu = r->data->startMenu;
  if (menu.empty() || !IsFullPath(menu)) return;
  std::string folder = NormaliseFolder(menu);
  for (const std::string& link : r->data->startMenuLinks) {
    if (IsLinkPath(link) && SameFolder(FolderPart(link), folder)) DeleteLink(r, link);
  }
  std::string programs = ProgramsFolderOf(folder);
  if (!programs.empty()) RemoveEmptyFolders(r, folder, programs);
}

bool IsOwnFile(const Removal& r, const std::string& name) {
  return EqualNoCase(name, r.choices->ownExeName) || EqualNoCase(name, kRecordName);
}

void RemoveFiles(Removal* r) {
  for (const std::string& entry : r->data->files) {
    if (!IsSafeRelativePath(entry) || entry.back() == '\\' || entry.back() == '/') {
      Note(r, "skipped", entry);
      continue;
    }
    if (IsOwnFile(*r, entry)) continue;
    const std::string path = r->progDir + entry;
    if (!FinalInsideProgDir(r, FolderPart(path))) {
      Note(r, "skipped", entry);
      continue;
    }
    DeleteIfFile(r, "file", path);
  }
}

// Everything below folder; folders that are links (junctions, symbolic
// links) are only unlinked, never entered, and neither is a folder whose
// final path lies outside the installation folder, so nothing outside it
// is reached.
void DeleteTree(Removal* r, const std::string& folder, bool top) {
  OsFindData found;
  OsFind find = OsFindFirst(folder + "*.*", &found, nullptr);
  if (!find) return;
  std::vector<OsFindData> entries;
  do {
    if (found.name != "." && found.name != "..") entries.push_back(found);
  } while (OsFindNext(find, &found));
  OsFindClose(find);
  for (const OsFindData& entry : entries) {
    std::string path = folder + entry.name;
    if (entry.isFolder) {
      const bool link = entry.isLink || OsIsLink(path);
      if (link) {
        // The link itself, never what it points to.
        if (OsRemoveDirectory(path) || OsDeleteFile(path)) Note(r, "link", path + "\\");
        continue;
      }
      if (!FinalInsideProgDir(r, path)) {
        Note(r, "skipped", path + "\\");
        continue;
      }
      DeleteTree(r, path + "\\", false);
      if (OsRemoveDirectory(path)) Note(r, "folder", path + "\\");
    } else if (!(top && IsOwnFile(*r, entry.name))) {
      DeleteNoted(r, "file", path);
    }
  }
}

size_t Depth(const std::string& entry) {
  std::string trimmed = entry;
  while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  return static_cast<size_t>(CountChar(trimmed, '\\') + CountChar(trimmed, '/'));
}

void RemoveDirs(Removal* r) {
  std::vector<std::string> dirs;
  for (const std::string& entry : r->data->dirs) {
    if (IsSafeRelativePath(entry)) dirs.push_back(entry);
    else Note(r, "skipped", entry);
  }
  std::stable_sort(dirs.begin(), dirs.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  // A killed install's temporary files would keep the folders alive.
  RemoveStaleTemporaries(r->progDir);
  for (const std::string& entry : dirs) {
    std::string path = AddBackslash(r->progDir + entry);
    if (!FinalInsideProgDir(r, FolderPart(path.substr(0, path.size() - 1)))) continue;
    RemoveStaleTemporaries(path);
    if (OsRemoveDirectory(path.substr(0, path.size() - 1))) Note(r, "folder", path);
  }
}

void RemoveRegistryEntries(Removal* r) {
  const UninstallData& d = *r->data;
  std::string name = d.guid.empty() ? d.progLink : d.guid;
  if (IsSafeName(name)) {
    std::string key = kUninstallKey + name;
    // The machine's entry, or the user's of a per-user install.
    for (uint32_t root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
      if (SamePath(Unquoted(ReadValue(root, key, "UninstallString")), r->progDir + "uninstall.exe") &&
          OsRegDeleteKey(root, key)) {
        Note(r, "key", std::string(root == kHkeyLocalMachine ? "HKLM\\" : "HKCU\\") + key);
      }
    }
  }
  if (IsSafeName(d.guid)) {
    std::string key = InstallStateKey(d.guid);
    if (SameFolder(ReadValue(kHkeyCurrentUser, key, "InstallDir"), r->progDir) &&
        OsRegDeleteKey(kHkeyCurrentUser, key)) {
      Note(r, "key", "HKCU\\" + key);
      PruneEmptyKeys(r, kHkeyCurrentUser, key.substr(0, key.rfind('\\')), 1);
    }
  }
}

}  // namespace

void RemoveInstallation(const UninstallData& data, const RemovalChoices& choices, RemovalReport* report) {
  Removal r;
  r.data = &data;
  r.choices = &choices;
  r.report = report;
  r.progDir = NormaliseFolder(data.progDir);
  r.copies = CopiedFiles(data);
  // A quiet run keeps them: the question's No.
  if (!r.copies.empty()) {
    if (choices.quiet) AuditQuietAnswer(data.texts[kUnTitel], data.texts[kUnDelFiles], "No");
    else r.deleteCopies = AskToDeleteCopies(data, r.copies);
  }
  for (size_t i = data.tasks.size(); i > 0; --i) UndoTask(&r, data.tasks[i - 1]);
  RemoveProgramClasses(&r);
  RemoveStartMenu(&r);
  if (IsLinkPath(data.desktopIcon)) DeleteLink(&r, data.desktopIcon);
  RemoveFiles(&r);
  // Only a folder the install made is emptied whole.
  if (choices.deleteAll && !data.noDelAll && data.madeProgDir) DeleteTree(&r, r.progDir, true);
  RemoveDirs(&r);
  RemoveRegistryEntries(&r);
  DeleteIfFile(&r, "file", r.progDir + kRecordName);
}
