#include "actions/tasks.h"

#include "actions/confirmed_copy.h"
#include "actions/folders.h"
#include "actions/links.h"
#include "actions/registry.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/program_runner.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"

// Task lines, group UserTask of setup.ini:
//
//   Number = count of lines, a signed 16-bit value (0, negative, missing or
//            not a number: no task runs)
//   Task1 .. TaskN = one line each; a missing or empty line is skipped
//
// A line is fields separated by "|", counted from 1; a missing field is
// empty. Numbers are decimal (blanks and tabs skipped, one sign, digits up
// to the first other character, 32-bit wrap-around, no digits 0). Field 1 is
// the type, of which only the low byte counts as a signed 8-bit value (266
// is 10); icon indexes are signed 8-bit values too.
//
//   type  2          3            4           5          6            7
//   0     link name  target       icon index  icon file  arguments         desktop link
//   1     link name  target       icon index  icon file  arguments         program menu link
//   2     link name  address      icon index  icon file                    desktop address link
//   3     link name  address      icon index  icon file                    program menu address link
//   4     link name  target       icon index  icon file  arguments         Startup folder link
//   5     target     source file  target folder                            confirmed copy
//   6     root key   subkey       value name  text                         registry text value
//   8     INI file   group        key         value                        INI value
//   9     folder     file name    register flag                            component
//   10    program    extension    description icon index icon file  ask    file association
//
// Type 7, negative types and types above 10 do nothing. Paths are made
// sound first ("." and ".." steps taken, as the system would take them) and
// judged after. Lines that would write somewhere other than what they name
// are refused (nothing done, no record, a line with the reason in the audit
// log): a type-5 target or type-9 component that is not a full file path,
// a type-6 root that is none of the three predefined keys, a type-8 file
// name that is empty or lands outside the installation folder, a link name
// that leaves its folder, a type-10 extension that is empty or holds a dot
// or separator, and a link whose folder is unknown (types 1 and 3 without
// start-menu links, or a shell folder the system does not name), which
// would otherwise land in whatever the current folder is.
namespace {

enum TaskType : int8_t {
  kTaskDesktopLink = 0,
  kTaskMenuLink = 1,
  kTaskDesktopAddress = 2,
  kTaskMenuAddress = 3,
  kTaskStartupLink = 4,
  kTaskCopy = 5,
  kTaskRegistry = 6,
  kTaskIni = 8,
  kTaskComponent = 9,
  kTaskAssociation = 10,
};

// The component registrar in the system folder, run silently.
const char kRegistrar[] = "regsvr32.exe";

struct TaskLine {
  std::string text;
  std::string field(int number) const { return Field(text, '|', number); }
  int32_t number(int field) const { return TextToInt(this->field(field)); }
  int8_t byte(int field) const { return static_cast<int8_t>(number(field)); }
};

std::string ReplaceInstallDir(const std::string& text, const std::string& installDir) {
  return ReplaceAll(ReplaceAll(text, "%InstallDir%", installDir), "%ProgDir%", installDir);
}

// A target or icon file of a task line: with exactly two "%" it names its
// folder by a variable; anything else is taken under the installation
// folder, a drive letter included.
std::string PrepareTaskPath(const std::string& field, const std::string& installDir) {
  if (CountChar(field, '%') == 2) return ExpandFolderVariables(field, true);
  return installDir + field;
}

bool EndsWithLnk(const std::string& name) {
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".lnk") == 0;
}

// Any component of the path, between "\" or "/", that is "..".
bool HasParentStep(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

// A path that names one file wherever the installer runs, in the form the
// system would give it: full, with its "." and ".." steps taken (a ".."
// that stays inside the drive or share is fine), not a folder. Empty, with
// *why set, when it is none.
std::string SoundFilePath(const std::string& path, const char** why) {
  std::string sound;
  if (path.empty() || !OsIsFullPath(path)) {
    *why = "not a full path";
  } else if (!NormalizeFolderPath(path, &sound) || !OsIsFullPath(sound) || HasParentStep(sound)) {
    // A ".." that is still there after the steps were taken belongs to a
    // path of no form the steps know, and stays refused.
    *why = "the path cannot be made sound";
    sound.clear();
  } else if (sound.back() == '\\') {
    *why = "the path names a folder";
    sound.clear();
  }
  return sound;
}

// Every line the list leaves out goes to the audit log with its reason.
void RefuseTask(const TaskLine& line, const std::string& why) {
  AuditLine("task  refused  " + why + "  " + line.text);
}

void AddRecord(std::vector<std::string>* records, int8_t type, const std::string& fields) {
  records->push_back(std::to_string(type) + "|" + fields);
}

// Types 0 to 4.
void MakeTaskLink(const TaskListRun& run, int8_t type, const TaskLine& line, std::vector<std::string>* records) {
  std::string folder;
  switch (type) {
    case kTaskDesktopLink:
    case kTaskDesktopAddress:
      folder = GetFolderPath(kFolderDesktop);
      break;
    case kTaskMenuLink:
    case kTaskMenuAddress:
      folder = run.programMenuFolder;
      break;
    default:
      folder = GetFolderPath(kFolderStartup);
      break;
  }
  // Without its folder the link's path would be the bare name, relative to
  // whatever the current folder is: no start-menu links were made, or the
  // shell names no desktop or Startup folder. The link is left out.
  if (folder.empty()) {
    RefuseTask(line, "the link's folder is unknown");
    return;
  }

  std::string name = line.field(2);
  // The name stays inside its folder (a subfolder is fine): no "..", no
  // drive, share or root of its own.
  if (name.empty() || HasParentStep(name) || name.find(':') != std::string::npos || name[0] == '\\' ||
      name[0] == '/') {
    RefuseTask(line, "the link name leaves its folder");
    return;
  }
  if (!EndsWithLnk(name)) name += ".lnk";
  ShellLinkFields link;
  link.linkFile = folder + name;
  link.iconIndex = line.byte(4);
  const std::string iconField = line.field(5);
  link.iconFile = kTargetIconMarker;
  if (link.iconIndex != -1 && !iconField.empty()) {
    std::string icon = PrepareTaskPath(iconField, run.installDir);
    if (FileExists(icon)) link.iconFile = icon;
  }
  if (type == kTaskDesktopAddress || type == kTaskMenuAddress) {
    // The address goes to the link as written; the shell's own address
    // handler opens it.
    link.target = line.field(3);
    if (link.iconFile == kTargetIconMarker) {
      link.iconFile = kAddressIconFile;
      link.iconIndex = 0;
    }
  } else {
    link.target = PrepareTaskPath(line.field(3), run.installDir);
    link.workingFolder = FolderPart(link.target);
    link.arguments = line.field(6);
    if (type == kTaskMenuLink) EnsureFolderExists(FolderPart(link.linkFile));
  }
  CreateShellLink(link);
  AddRecord(records, type, link.linkFile);
}

void CopyConfirmed(const TaskListRun& run, const TaskLine& line, std::vector<std::string>* records) {
  const std::string folder = line.field(4);
  std::string target = line.field(2);
  if (!folder.empty()) target = ExpandFolderVariables(ReplaceInstallDir(folder + target, run.installDir), true);
  const char* why = "";
  target = SoundFilePath(target, &why);
  if (target.empty()) return RefuseTask(line, std::string("the copy target: ") + why);
  AddRecord(records, kTaskCopy, target);
  EnsureFolderExists(FolderPart(target));
  CopyFileConfirmed(run.owner, run.workFolder + line.field(3), target);
}

void WriteTaskRegistryValue(const TaskListRun& run, const TaskLine& line, std::vector<std::string>* records) {
  // The key's 32-bit value, signed or not: 2147483649 and -2147483647 are
  // both HKEY_CURRENT_USER. Only the three predefined keys of an install
  // are taken.
  const uint32_t root = static_cast<uint32_t>(line.number(2));
  if (root != kHkeyClassesRoot && root != kHkeyCurrentUser && root != kHkeyLocalMachine) {
    return RefuseTask(line, "the root key is none of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE");
  }
  WriteRegistryString(root, line.field(3), line.field(4), ReplaceInstallDir(line.field(5), run.installDir));
  AddRecord(records, kTaskRegistry, std::to_string(root) + "|" + line.field(3) + "|" + line.field(4));
}

// setup.ini is the store's open file while the list runs; the store holds
// one file at a time, so it is closed for the write and opened again after.
void WriteTaskIniValue(const TaskListRun& run, const TaskLine& line) {
  // The file lies in the installation folder or below it; a ".." that
  // stays there is taken.
  const std::string& base = run.installDir;
  const char* why = "";
  const std::string file = line.field(2).empty() ? std::string() : SoundFilePath(base + line.field(2), &why);
  if (file.size() <= base.size() || !EqualNoCase(file.substr(0, base.size()), base)) {
    return RefuseTask(line, "the INI file is not in the installation folder");
  }
  std::string value = ExpandFolderVariables(line.field(5), false);
  value = ReplaceAll(value, "%StartMenuDir%", run.programMenuFolder);
  value = ReplaceInstallDir(value, run.installDir);
  value = ReplaceAll(value, "%LanguageID%", std::to_string(run.languageNumber));
  IniClose();
  IniOpen(file);
  if (!line.field(3).empty()) IniSelectGroup(line.field(3));
  IniWriteString(line.field(4), value);
  IniClose();
  IniOpen(run.iniPath);
  IniSelectGroup("UserTask");
}

// A component that comes with the package (its folder names %ProgDir%) is
// in place already and is recorded for the uninstaller; any other is copied
// from the work folder and stays when the program goes.
void RunComponent(const TaskListRun& run, const TaskLine& line, std::vector<std::string>* records) {
  const std::string folderField = line.field(2);
  const bool packaged = folderField.find("%ProgDir%") != std::string::npos;
  const std::string folder = ReplaceAll(ExpandFolderVariables(folderField, false), "%ProgDir%", run.installDir);
  // A folder that did not expand to a full path ("%InstallDir%" is no
  // variable here) would copy into, and start from, the current folder.
  const char* why = "";
  const std::string component = SoundFilePath(folder + line.field(3), &why);
  if (component.empty()) return RefuseTask(line, std::string("the component: ") + why);
  const std::string systemFolder = GetFolderPath(kFolderSystem);
  if (packaged) {
    AddRecord(records, kTaskComponent, systemFolder + "|" + component);
  } else {
    CopyFileConfirmed(run.owner, run.workFolder + FileNamePart(component), component);
  }
  Program program = line.number(4) != 0
                        ? RunProgram(systemFolder + kRegistrar, "/S \"" + component + "\"", FolderPart(component),
                                     kRunWait | kRunOpen)
                        : RunProgram(component, std::string(), FolderPart(component), kRunWait | kRunOpen);
  CloseProgram(program);
}

void AssociateTaskExtension(const TaskListRun& run, const TaskLine& line, std::vector<std::string>* records) {
  const std::string program = run.installDir + line.field(2);
  const std::string extension = line.field(3);
  // "" would write HKCR\. and ".rtf" HKCR\..rtf: keys the shell never reads
  // and the uninstaller could not judge.
  if (!IsBareExtension(extension)) {
    AuditLine("task  refused  the extension is empty or not a bare name  " + line.text);
    return;
  }
  const std::string iconFile = PrepareTaskPath(line.field(6), run.installDir);
  const int8_t iconIndex = line.byte(5);
  std::string iconLocation;
  if (iconIndex != -1 && FileExists(iconFile)) iconLocation = iconFile + "," + std::to_string(iconIndex);
  if (line.field(7) == "1") {
    const std::string question = ReplaceAll(Text(kTextRq5Msg), "$Extension", "*." + extension) + "  ";
    if (ShowMessageBox(Text(kTextRq5Titel), question, kMessageQuestionYesNo) != kAnswerYes) return;
  }
  AssociateExtension(extension, line.field(4), program, iconLocation);
  AddRecord(records, kTaskAssociation, extension + "|" + FileNamePart(program));
}

void RunTask(const TaskListRun& run, const TaskLine& line, std::vector<std::string>* records) {
  const int8_t type = line.byte(1);
  switch (type) {
    case kTaskDesktopLink:
    case kTaskMenuLink:
    case kTaskDesktopAddress:
    case kTaskMenuAddress:
    case kTaskStartupLink:
      MakeTaskLink(run, type, line, records);
      break;
    case kTaskCopy:
      CopyConfirmed(run, line, records);
      break;
    case kTaskRegistry:
      WriteTaskRegistryValue(run, line, records);
      break;
    case kTaskIni:
      WriteTaskIniValue(run, line);
      break;
    case kTaskComponent:
      RunComponent(run, line, records);
      break;
    case kTaskAssociation:
      AssociateTaskExtension(run, line, records);
      break;
    default:
      break;
  }
}

}  // namespace

std::vector<std::string> RunTaskList(const TaskListRun& run) {
  std::vector<std::string> records;
  IniOpen(run.iniPath);
  IniSelectGroup("UserTask");
  const int16_t count = static_cast<int16_t>(IniReadNumber("Number", 0));
  for (int32_t index = 1; index <= count; ++index) {
    TaskLine line;
    line.text = IniReadString("Task" + std::to_string(index));
    if (!line.text.empty()) AuditLine("task  " + std::to_string(index) + "  " + line.text);
    if (!line.text.empty()) RunTask(run, line, &records);
  }
  IniClose();
  return records;
}
