#include "lib/setup_check.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "lib/names.h"
#include "lib/source_tree.h"
#include "package/extract.h"
#include "package/package.h"
#include "runtime/ini.h"
#include "runtime/text.h"

namespace fs = std::filesystem;

namespace {

// How a value of setup.ini is read by the installer.
enum ValueKind {
  kText,
  kNumber,        // decimal, 32 bits
  kFlag,          // decimal, zero or not in 8 bits
  kElevate,       // 0, 1 or 2
  kGuid,          // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  kLanguageList,  // file#number|file#number|
  kProgramFile,   // a file of the installation folder
  kInstallDir,    // the default installation folder
  kExtensionList, // ext|ext|
  kScript,        // a .vbs or .js file of the setup folder
  kAddress,       // a web address
  kTaskCount,
};

struct KeyRule {
  const char* group;
  const char* key;
  ValueKind kind;
};

// Every key the installer reads from setup.ini (the task lines TaskN of
// UserTask aside), spelt as it reads them.
const KeyRule kKeys[] = {
    {"Settings", "Language", kLanguageList},  {"Settings", "ProgExe", kProgramFile},
    {"Settings", "DefaultDir", kInstallDir},  {"Settings", "NoCopyExt", kExtensionList},
    {"Settings", "Elevate", kElevate},        {"Info", "Titel", kText},
    {"Info", "Version", kText},               {"Info", "GUID", kGuid},
    {"Info", "PrgSize", kText},               {"Info", "Web", kAddress},
    {"Info", "Date", kText},                  {"Info", "Author", kText},
    {"Info", "EMail", kText},                 {"StartMenue", "DefaultDir", kText},
    {"StartMenue", "ProgLink", kText},        {"StartMenue", "Help", kProgramFile},
    {"StartMenue", "URL", kAddress},          {"StartMenue", "Exe", kProgramFile},
    {"StartMenue", "Unistall", kFlag},        {"Task", "MutexString", kText},
    {"Task", "Desktop", kNumber},             {"Task", "ProgParameter", kText},
    {"Task", "StartProg", kFlag},             {"Task", "Reboot", kFlag},
    {"Task", "NoUninstall", kFlag},           {"Task", "StartMenu", kFlag},
    {"Task", "ScriptFile", kScript},          {"UserTask", "Number", kTaskCount},
};

const char* const kGroups[] = {"Settings", "Info", "StartMenue", "Task", "UserTask"};

const char* const kFolderVariables[] = {"%ProgramFiles%", "%Windows%",    "%System%",      "%CommonFiles%",
                                        "%AppData%",      "%StartUp%",    "%QuickLaunch%", "%MyDocuments%",
                                        "%Korvex%",       "%Fonts%"};

// The most fields each task type reads, and the fields it cannot do without.
struct TaskRule {
  int type;
  int maxFields;
  std::vector<int> required;
  const char* what;
};
const TaskRule kTaskRules[] = {
    {0, 6, {2, 3}, "desktop link"},          {1, 6, {2, 3}, "program menu link"},
    {2, 5, {2, 3}, "desktop address link"},  {3, 5, {2, 3}, "program menu address link"},
    {4, 6, {2, 3}, "Startup folder link"},   {5, 4, {2, 3}, "confirmed copy"},
    {6, 5, {2, 3}, "registry value"},        {8, 5, {2, 4}, "INI value"},
    {9, 4, {2, 3}, "component"},             {10, 7, {2, 3}, "file association"},
};

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = LowerAscii(c);
  return out;
}

struct Checker {
  fs::path setupDir;
  std::vector<SetupFinding> findings;
  std::set<std::string> programFiles;  // NameKey of every file the installation folder gets
  bool programKnown = false;
  std::set<std::string> setupFiles;    // NameKey of the setup folder's top-level files
  std::vector<std::string> setupNames; // as found
  std::vector<int> lineNumbers;        // physical line of each IniLine
  std::map<std::string, int> keyLines;    // "group\nkey" (lower case) -> first line
  std::map<std::string, int> groupLines;  // group (lower case) -> first header line
};

void Add(Checker* c, FindingLevel level, const std::string& file, int line, const std::string& text) {
  c->findings.push_back({level, file, line, text});
}
void Error(Checker* c, int line, const std::string& text) { Add(c, kFindingError, "setup.ini", line, text); }
void Warn(Checker* c, int line, const std::string& text) { Add(c, kFindingWarning, "setup.ini", line, text); }

bool ReadAll(const fs::path& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// The physical line on which each line of the INI store begins: the store
// skips runs of CR and LF and ends the text at a zero byte, so the lines it
// keeps are the non-empty ones, in order.
std::vector<int> PhysicalLines(std::string text) {
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::vector<int> lines;
  int number = 1;
  size_t p = 0;
  while (p < text.size()) {
    while (p < text.size() && (text[p] == '\r' || text[p] == '\n')) {
      if (text[p] == '\n' || p + 1 >= text.size() || text[p + 1] != '\n') number++;
      p++;
    }
    if (p >= text.size() || text[p] == '\0') break;
    lines.push_back(number);
    while (p < text.size() && text[p] != '\r' && text[p] != '\n' && text[p] != '\0') p++;
    if (p < text.size() && text[p] == '\0') break;
  }
  return lines;
}

std::string KeyId(const std::string& group, const std::string& key) { return Lower(group) + "\n" + Lower(key); }

int KeyLine(const Checker& c, const std::string& group, const std::string& key) {
  auto found = c.keyLines.find(KeyId(group, key));
  return found == c.keyLines.end() ? 0 : found->second;
}
int GroupLine(const Checker& c, const std::string& group) {
  auto found = c.groupLines.find(Lower(group));
  return found == c.groupLines.end() ? 0 : found->second;
}

const KeyRule* FindRule(const std::string& group, const std::string& key) {
  for (const KeyRule& rule : kKeys) {
    if (EqualNoCase(rule.group, group) && EqualNoCase(rule.key, key)) return &rule;
  }
  return nullptr;
}

bool IsTaskKey(const std::string& key, int* number) {
  if (key.size() < 5 || !EqualNoCase(key.substr(0, 4), "Task")) return false;
  std::string digits = key.substr(4);
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits[0] == '0') return false;
  *number = digits.size() > 6 ? 999999 : TextToInt(digits);
  return true;
}

bool IsDecimal(const std::string& text) {
  std::string t = TrimBlanks(text);
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.erase(0, 1);
  return !t.empty() && t.size() <= 10 && t.find_first_not_of("0123456789") == std::string::npos;
}

bool IsGuid(const std::string& text) {
  static const char kForm[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != sizeof(kForm) - 1) return false;
  for (size_t i = 0; i < text.size(); i++) {
    if (kForm[i] == 'X' ? !isxdigit(static_cast<unsigned char>(text[i])) : text[i] != kForm[i]) return false;
  }
  return true;
}

bool IsFolderVariable(const std::string& name) {
  for (const char* variable : kFolderVariables) {
    if (name == variable) return true;
  }
  return false;
}

// Every "%word%" of the text, in order.
std::vector<std::string> PercentWords(const std::string& text) {
  std::vector<std::string> words;
  size_t start = text.find('%');
  while (start != std::string::npos) {
    size_t end = text.find('%', start + 1);
    if (end == std::string::npos) break;
    words.push_back(text.substr(start, end - start + 1));
    start = text.find('%', end + 1);
  }
  return words;
}

std::vector<std::string> FolderVariableNames() {
  return std::vector<std::string>(std::begin(kFolderVariables), std::end(kFolderVariables));
}

// A word between "%" signs that is no folder variable stays in the path as
// it is written. False, with a finding, for such a word.
bool CheckVariables(Checker* c, int line, const std::string& key, const std::string& value) {
  bool good = true;
  for (const std::string& word : PercentWords(value)) {
    if (IsFolderVariable(word)) continue;
    std::string text = key + " \"" + value + "\": " + word + " is no folder variable and stays in the path as written";
    std::string near = NearestName(word, FolderVariableNames());
    if (!near.empty()) text += "; did you mean " + near + "?";
    Error(c, line, text);
    good = false;
  }
  return good;
}

std::string ProgramKey(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.compare(0, 2, ".\\") == 0) path.erase(0, 2);
  return NameKey(path);
}

bool ProgramHolds(const Checker& c, const std::string& path) { return c.programFiles.count(ProgramKey(path)) > 0; }

// Where a file of the setup folder lies here: Windows finds the name in any
// letter case.
fs::path SetupPath(const Checker& c, const std::string& name) {
  for (const std::string& found : c.setupNames) {
    if (SameWindowsName(found, name)) return c.setupDir / found;
  }
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  return c.setupDir / path;
}

// A file of the setup folder, at its top or (named with "\\") below it.
bool SetupHolds(const Checker& c, const std::string& name) {
  if (c.setupFiles.count(NameKey(name)) > 0) return true;
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code error;
  return path.find('/') != std::string::npos && fs::is_regular_file(c.setupDir / path, error);
}

// A path that the installer puts behind the installation folder must name a
// file that the program folder holds.
void CheckProgramPath(Checker* c, int line, const std::string& what, const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
    Error(c, line, what + " \"" + path + "\" is a full path, but it is taken under the installation folder; name "
                   "a folder outside it with a folder variable such as %Windows%");
    return;
  }
  if (!c->programKnown || ProgramHolds(*c, path)) return;
  Error(c, line, what + " \"" + path + "\" is not among the program files, so it points nowhere");
}

// A link target or icon of a task line: exactly two "%" name a folder by a
// variable, anything else lies in the installation folder.
void CheckTaskPath(Checker* c, int line, const std::string& what, const std::string& path, bool mustExist) {
  if (CountChar(path, '%') == 2) {
    for (const char* installVariable : {"%InstallDir%", "%ProgDir%", "%StartMenuDir%", "%LanguageID%"}) {
      if (path.find(installVariable) != std::string::npos) {
        Error(c, line, what + " \"" + path + "\": " + installVariable +
                           " is not replaced here; write the path relative to the installation folder");
        return;
      }
    }
    CheckVariables(c, line, what, path);
    return;
  }
  if (!mustExist) {
    if (c->programKnown && !path.empty() && !ProgramHolds(*c, path) && CountChar(path, '%') == 0) {
      Warn(c, line, what + " \"" + path + "\" is not among the program files; the target's own icon is used");
    }
    return;
  }
  CheckProgramPath(c, line, what, path);
}

void CheckLanguageList(Checker* c, int line, const std::string& list) {
  if (list.empty()) {
    Warn(c, line, "Language is empty: the wizard shows its built-in English texts");
    return;
  }
  int bars = CountChar(list, '|');
  int entries = bars == 0 ? 1 : bars;
  if (bars >= 1 && list.back() != '|') {
    Error(c, line, "Language \"" + list + "\": every entry ends with \"|\"; the last one, \"" +
                       list.substr(list.rfind('|') + 1) + "\", is never chosen");
  }
  for (int i = 1; i <= entries; i++) {
    std::string entry = Field(list, '|', i);
    std::string file = TrimBlanks(Field(entry, '#', 1));
    std::string number = Field(entry, '#', 2);
    if (file.empty()) {
      Error(c, line, "Language entry " + std::to_string(i) + " names no file");
      continue;
    }
    if (bars > 1 && (!IsDecimal(number) || TextToInt(number) <= 0 || TextToInt(number) > 511)) {
      Error(c, line, "Language entry \"" + entry + "\" needs its language number after \"#\" (9 English, 7 German)");
    }
    if (!SetupHolds(*c, file)) {
      Error(c, line, "language file \"" + file + "\" is not in the setup folder");
      continue;
    }
    if (!IniOpen(SetupPath(*c, file).string())) {
      Error(c, line, "language file \"" + file + "\" cannot be read");
    }
    IniClose();
  }
}

// The default installation folder, as the settings load expands it.
void CheckInstallDir(Checker* c, int line, const std::string& value) {
  if (value.empty()) {
    Error(c, line ? line : GroupLine(*c, "Settings"),
          "no DefaultDir in [Settings]: the program would install into the Program Files folder itself; write "
          "for example DefaultDir=%ProgramFiles%Product");
    return;
  }
  if (value.size() >= 2 && value[1] == ':') {
    if (value.size() < 3 || value[2] != '\\') {
      Error(c, line, "DefaultDir \"" + value + "\" is neither a full path (C:\\...) nor one under a folder variable");
      return;
    }
    if (value.find_first_not_of('\\', 3) == std::string::npos) {
      Error(c, line, "DefaultDir \"" + value + "\" is the root of a drive; name the program's own folder");
    }
    return;
  }
  if (!CheckVariables(c, line, "DefaultDir", value)) return;
  std::vector<std::string> words = PercentWords(value);
  if (words.empty()) {
    if (value.compare(0, 2, "\\\\") == 0) return;
    if (value.find_first_not_of("\\/. ") == std::string::npos) {
      Error(c, line, "DefaultDir \"" + value + "\" names no folder: the program would install into the Program "
                     "Files folder itself");
    }
    return;
  }
  if (value.find(words[0]) != 0) {
    Error(c, line, "DefaultDir \"" + value + "\" must begin with its folder variable");
    return;
  }
  std::string rest = value.substr(value.rfind('%') + 1);
  if (rest.find_first_not_of("\\/ ") == std::string::npos) {
    Error(c, line, "DefaultDir \"" + value + "\" is the " + words.back() +
                       " folder itself; write the product's folder after it, as " + words.back() + "Product");
  } else if (rest[0] == '\\') {
    Warn(c, line, "DefaultDir \"" + value + "\": folder variables end in \"\\\", so the path gets two; write " +
                      words.back() + rest.substr(rest.find_first_not_of('\\')));
  }
}

void CheckValue(Checker* c, const KeyRule& rule, int line, const std::string& value) {
  std::string key = rule.key;
  switch (rule.kind) {
    case kNumber:
    case kTaskCount:
      if (!value.empty() && !IsDecimal(value)) Error(c, line, key + "=" + value + " is not a decimal number (reads as 0)");
      break;
    case kFlag:
      if (!value.empty() && !IsDecimal(value)) {
        Error(c, line, key + "=" + value + " is not a number; write 1 for on, 0 for off");
      } else if (!value.empty() && TextToInt(value) != 0 && TextToInt(value) != 1) {
        Warn(c, line, key + "=" + value + ": write 1 for on, 0 for off" +
                          ((TextToInt(value) & 0xFF) == 0 ? std::string(" (this one reads as off)") : ""));
      }
      break;
    case kElevate:
      if (!value.empty() && (!IsDecimal(value) || TextToInt(value) < 0 || TextToInt(value) > 2)) {
        Error(c, line, "Elevate=" + value + " is none of 0 (setup decides), 1 (per machine) or 2 (per user)");
      }
      break;
    case kGuid:
      if (!IsGuid(value)) {
        Error(c, line, "GUID \"" + value + "\" is not of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (hex digits)");
      }
      break;
    case kLanguageList:
      CheckLanguageList(c, line, value);
      break;
    case kProgramFile:
      if (!value.empty()) {
        if (CountChar(value, '%') >= 2) {
          Error(c, line, key + " \"" + value + "\" is taken under the installation folder; folder variables are "
                             "not expanded here");
        } else {
          CheckProgramPath(c, line, key, value);
        }
      }
      break;
    case kInstallDir:
      break;  // checked whether given or not
    case kExtensionList:
      if (!value.empty() && value.back() != '|' && value.find('|') != std::string::npos) {
        Error(c, line, key + " \"" + value + "\": every item ends with \"|\"; the last one is not compared");
      }
      for (int i = 1; i <= std::max(1, CountChar(value, '|')); i++) {
        std::string item = Field(value, '|', i);
        if (!item.empty() && (item.find('.') != std::string::npos || item.find('*') != std::string::npos)) {
          Error(c, line, key + " item \"" + item + "\": write the extension alone, without \".\" or \"*\"");
        }
      }
      break;
    case kScript: {
      if (value.empty()) break;
      std::string lower = Lower(value);
      bool vbs = lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".vbs") == 0;
      bool js = lower.size() > 3 && lower.compare(lower.size() - 3, 3, ".js") == 0;
      if (!SetupHolds(*c, value)) Error(c, line, "ScriptFile \"" + value + "\" is not in the setup folder");
      else if (!vbs && !js) Error(c, line, "ScriptFile \"" + value + "\" is neither .vbs nor .js, so it never runs");
      break;
    }
    case kAddress:
      if (!value.empty() && value.find(':') == std::string::npos) {
        Warn(c, line, key + " \"" + value + "\" has no scheme; write https://" + value);
      }
      break;
    case kText:
      break;
  }
}

const TaskRule* FindTaskRule(int type) {
  for (const TaskRule& rule : kTaskRules) {
    if (rule.type == type) return &rule;
  }
  return nullptr;
}

void CheckTaskLine(Checker* c, const std::string& key, int line, const std::string& text) {
  const std::string where = key + " \"" + text + "\": ";
  int fields = CountChar(text, '|') + 1;
  if (fields == 1) {
    Error(c, line, where + "fields are separated by \"|\"" +
                       (text.find(',') != std::string::npos ? std::string(", not commas") : std::string()));
    return;
  }
  std::string typeField = TrimBlanks(Field(text, '|', 1));
  if (!IsDecimal(typeField)) {
    Error(c, line, where + "the type \"" + typeField + "\" is not a number (0-6, 8, 9 or 10)");
    return;
  }
  int type = static_cast<int8_t>(TextToInt(typeField));
  const TaskRule* rule = FindTaskRule(type);
  if (rule == nullptr) {
    Error(c, line, where + "type " + typeField + " is no task type (0-6, 8, 9 or 10); the line does nothing");
    return;
  }
  if (fields > rule->maxFields) {
    Error(c, line, where + "a " + rule->what + " (type " + std::to_string(type) + ") has at most " +
                       std::to_string(rule->maxFields) + " fields, this line has " + std::to_string(fields));
    return;
  }
  for (int required : rule->required) {
    if (TrimBlanks(Field(text, '|', required)).empty()) {
      Error(c, line, where + "field " + std::to_string(required) + " of a " + rule->what + " must not be empty");
      return;
    }
  }
  auto field = [&](int n) { return Field(text, '|', n); };
  switch (type) {
    case 0:
    case 1:
    case 4:
      CheckTaskPath(c, line, key + " target", field(3), true);
      if (!field(5).empty() && TextToInt(field(4)) != -1) CheckTaskPath(c, line, key + " icon file", field(5), false);
      break;
    case 2:
    case 3:
      if (field(3).find(':') == std::string::npos) {
        Warn(c, line, where + "the address \"" + field(3) + "\" has no scheme such as https://");
      }
      break;
    case 5:
      if (!SetupHolds(*c, field(3))) Error(c, line, where + "the source \"" + field(3) + "\" is not in the setup folder");
      if (field(4).empty() && !(field(2).size() > 2 && field(2)[1] == ':')) {
        Error(c, line, where + "without a target folder (field 4) the target must be a full path");
      } else if (!field(4).empty() && CountChar(field(4), '%') >= 2) {
        CheckVariables(c, line, key + " target folder",
                       ReplaceAll(ReplaceAll(field(4), "%InstallDir%", ""), "%ProgDir%", ""));
      }
      break;
    case 6: {
      static const std::set<std::string> kRoots = {"2147483648", "2147483649", "-2147483647", "2147483650",
                                                   "-2147483646"};
      if (!kRoots.count(TrimBlanks(field(2)))) {
        Error(c, line, where + "the root key \"" + field(2) + "\" is none of 2147483648 (HKEY_CLASSES_ROOT), "
                               "2147483649 (HKEY_CURRENT_USER), 2147483650 (HKEY_LOCAL_MACHINE)");
      }
      break;
    }
    case 8:
      if (field(2).find("..") != std::string::npos || (field(2).size() > 1 && field(2)[1] == ':')) {
        Error(c, line, where + "the INI file \"" + field(2) + "\" must lie in the installation folder");
      }
      break;
    case 9: {
      std::string folder = field(2);
      if (folder.find("%ProgDir%") != std::string::npos) {
        std::string inside = ReplaceAll(folder, "%ProgDir%", "");
        if (CountChar(inside, '%') == 0) CheckProgramPath(c, line, key + " component", inside + field(3));
      } else {
        if (folder.find("%InstallDir%") != std::string::npos) {
          Error(c, line, where + "%InstallDir% is not replaced in a component's folder; write %ProgDir%");
        } else {
          CheckVariables(c, line, key + " folder", folder);
        }
        if (!SetupHolds(*c, field(3))) {
          Error(c, line, where + "the component \"" + field(3) + "\" is not in the setup folder");
        }
      }
      break;
    }
    case 10: {
      std::string extension = field(3);
      bool bad = extension.empty() || extension.find_first_not_of(
                                          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-~") !=
                                          std::string::npos;
      if (bad) {
        Error(c, line, where + "the extension \"" + extension + "\" must be letters and digits alone, as rtf "
                               "(not .rtf or *.rtf)");
      }
      CheckProgramPath(c, line, key + " program", field(2));
      if (!field(6).empty() && TextToInt(field(5)) != -1) CheckTaskPath(c, line, key + " icon file", field(6), false);
      if (!field(7).empty() && field(7) != "1" && field(7) != "0") {
        Warn(c, line, where + "the ask field is \"" + field(7) + "\"; only 1 asks the user");
      }
      break;
    }
    default:
      break;
  }
}

// taskLines: task number -> line; texts: task number -> the line as read.
void CheckTasks(Checker* c, const std::map<int, int>& taskLines, int count, const std::string& numberText,
                const std::map<int, std::string>& texts) {
  int numberLine = KeyLine(*c, "UserTask", "Number");
  if (numberLine == 0 && !taskLines.empty()) {
    Error(c, taskLines.begin()->second, "[UserTask] has task lines but no Number, so none of them runs");
    return;
  }
  for (const auto& [number, line] : taskLines) {
    if (number > count && IsDecimal(numberText)) {
      Error(c, line, "Task" + std::to_string(number) + " is not run: Number is " + std::to_string(count));
    }
  }
  for (int number = 1; number <= count && number <= 999; number++) {
    std::string key = "Task" + std::to_string(number);
    auto found = taskLines.find(number);
    if (found == taskLines.end()) {
      Warn(c, numberLine, "Number is " + std::to_string(count) + " but there is no " + key + " (skipped)");
      continue;
    }
    const std::string& text = texts.at(number);
    if (!text.empty()) CheckTaskLine(c, key, found->second, text);
  }
}

// Walks setup.ini line by line: groups and keys the installer does not
// read, keys given twice, and every known value.
void CheckSetupIni(Checker* c) {
  fs::path path = SetupPath(*c, "setup.ini");
  std::string bytes;
  if (!ReadAll(path, &bytes) || !IniOpen(path.string())) {
    Error(c, 0, "cannot be read");
    IniClose();
    return;
  }
  c->lineNumbers = PhysicalLines(bytes);
  const std::vector<IniLine>& lines = IniLines();
  std::vector<std::string> groupNames(std::begin(kGroups), std::end(kGroups));
  std::string group;       // the current group as written; empty before the first
  bool knownGroup = false;
  std::map<int, int> taskLines;  // task number -> line
  std::vector<std::pair<const KeyRule*, int>> given;
  for (size_t i = 0; i < lines.size(); i++) {
    int line = i < c->lineNumbers.size() ? c->lineNumbers[i] : 0;
    const IniLine& entry = lines[i];
    std::string name(entry.name);
    if (entry.kind == kIniComment) continue;
    if (entry.kind == kIniGroup) {
      group = name;
      auto known = std::find_if(groupNames.begin(), groupNames.end(),
                                [&](const std::string& g) { return EqualNoCase(g, name); });
      knownGroup = known != groupNames.end();
      if (knownGroup) group = *known;
      if (!c->groupLines.emplace(Lower(name), line).second && knownGroup) {
        Error(c, line, "[" + name + "] appears a second time; only the first one (line " +
                           std::to_string(GroupLine(*c, name)) + ") is read");
      } else if (!knownGroup) {
        std::string near = NearestName(name, groupNames);
        Add(c, near.empty() ? kFindingWarning : kFindingError, "setup.ini", line,
            "unknown group [" + name + "], its keys are not read" +
                (near.empty() ? std::string() : "; did you mean [" + near + "]?"));
      }
      continue;
    }
    if (TrimBlanks(name).empty() && TrimBlanks(std::string(entry.value)).empty()) continue;
    if (group.empty()) {
      Warn(c, line, "\"" + name + "\" stands before the first group and is not read");
      continue;
    }
    if (!knownGroup) continue;
    int taskNumber = 0;
    const KeyRule* rule = FindRule(group, name);
    bool taskKey = EqualNoCase(group, "UserTask") && IsTaskKey(name, &taskNumber);
    if (rule == nullptr && !taskKey) {
      std::vector<std::string> candidates;
      for (const KeyRule& r : kKeys) {
        if (EqualNoCase(r.group, group)) candidates.push_back(r.key);
      }
      std::string near = NearestName(name, candidates);
      std::string elsewhere;
      for (const KeyRule& r : kKeys) {
        if (EqualNoCase(r.key, name)) elsewhere = r.group;
      }
      std::string text = "unknown key \"" + name + "\" in [" + group + "], it is not read";
      if (!near.empty()) text += "; did you mean " + near + "?";
      else if (!elsewhere.empty()) text += "; " + name + " belongs in [" + elsewhere + "]";
      else if (EqualNoCase(group, "Task")) text += "; extra tasks are task lines Task1, Task2... in [UserTask]";
      Add(c, near.empty() && elsewhere.empty() ? kFindingWarning : kFindingError, "setup.ini", line, text);
      continue;
    }
    std::string id = KeyId(group, name);
    if (!c->keyLines.emplace(id, line).second) {
      Error(c, line, name + " is given twice in [" + group + "]; only the first one (line " +
                         std::to_string(c->keyLines[id]) + ") is read");
      continue;
    }
    if (taskKey) taskLines[taskNumber] = line;
    else given.push_back({rule, line});
  }
  // Values, read as the installer reads them, all before the checks open
  // other files through the same store.
  std::vector<std::string> values;
  for (const auto& given_key : given) {
    IniSelectGroup(given_key.first->group);
    values.push_back(IniReadString(given_key.first->key));
  }
  IniSelectGroup("Settings");
  std::string defaultDir = IniReadString("DefaultDir");
  IniSelectGroup("UserTask");
  int taskCount = static_cast<int16_t>(IniReadNumber("Number", 0));
  std::string taskNumberText = IniReadString("Number");
  std::map<int, std::string> taskTexts;
  for (const auto& task : taskLines) taskTexts[task.first] = IniReadString("Task" + std::to_string(task.first));
  IniClose();
  for (size_t i = 0; i < given.size(); i++) CheckValue(c, *given[i].first, given[i].second, values[i]);
  CheckInstallDir(c, KeyLine(*c, "Settings", "DefaultDir"), defaultDir);
  bool titleMisspelt = std::any_of(c->findings.begin(), c->findings.end(),
                                  [](const SetupFinding& f) { return f.text.find("did you mean Titel?") != std::string::npos; });
  if (KeyLine(*c, "Info", "Titel") == 0 && !titleMisspelt) {
    Error(c, GroupLine(*c, "Info"), "no Titel in [Info]: the product is named \"--- unknown ---\"");
  }
  if (KeyLine(*c, "Info", "GUID") == 0) {
    Warn(c, GroupLine(*c, "Info"), "no GUID in [Info]: the choices of one install are not offered to the next, and "
                                    "the uninstall entry is named after ProgLink");
  }
  if (KeyLine(*c, "Settings", "ProgExe") == 0) {
    Warn(c, GroupLine(*c, "Settings"), "no ProgExe in [Settings]: the program links point at no program");
  }
  CheckTasks(c, taskLines, taskCount, taskNumberText, taskTexts);
}

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

void CheckPictures(Checker* c) {
  std::string bytes;
  if (SetupHolds(*c, "splash.bmp") && ReadAll(SetupPath(*c, "splash.bmp"), &bytes)) {
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M' || Le32(bytes, 14) < 12) {
      Add(c, kFindingError, "splash.bmp", 0, "is not a BMP picture, so the wizard shows no side picture");
    } else {
      // A bottom-up picture has a negative height; int64_t holds the size of INT32_MIN as well.
      int64_t width = static_cast<int32_t>(Le32(bytes, 18)), height = static_cast<int32_t>(Le32(bytes, 22));
      if (Le32(bytes, 14) == 12) width = Le32(bytes, 18) & 0xFFFF, height = Le32(bytes, 18) >> 16;
      if (height < 0) height = -height;
      if (width != 130 || height != 300) {
        Add(c, kFindingWarning, "splash.bmp", 0,
            "is " + std::to_string(width) + "x" + std::to_string(height) + "; the side picture is 130x300 pixels");
      }
    }
  }
  if (SetupHolds(*c, "header.ico") && ReadAll(SetupPath(*c, "header.ico"), &bytes)) {
    if (bytes.size() < 22 || Le32(bytes, 0) != 0x00010000) {
      Add(c, kFindingError, "header.ico", 0, "is not an icon file, so the wizard shows its built-in icon");
    } else {
      size_t count = static_cast<uint8_t>(bytes[4]) | static_cast<uint8_t>(bytes[5]) << 8;
      bool has32 = false;
      for (size_t i = 0; i < count && 6 + 16 * i + 16 <= bytes.size(); i++) {
        has32 = has32 || (bytes[6 + 16 * i] == 32 && bytes[7 + 16 * i] == 32);
      }
      if (!has32) Add(c, kFindingWarning, "header.ico", 0, "holds no 32x32 image; the header icon is 32x32 pixels");
    }
  }
}

// Files under names the installer never looks for.
void CheckFileNames(Checker* c) {
  bool licence = SetupHolds(*c, "licence.rtf") || SetupHolds(*c, "licence.txt");
  bool readme = SetupHolds(*c, "readme.rtf") || SetupHolds(*c, "readme.txt");
  for (const std::string& name : c->setupNames) {
    std::string lower = Lower(name);
    std::string stem = lower.substr(0, lower.find('.'));
    if (!licence && (stem == "license" || stem == "licence" || stem == "eula" || stem == "copying" ||
                     stem == "lizenz" || stem == "licence-agreement" || stem == "license-agreement")) {
      Add(c, kFindingError, name, 0,
          "the licence page shows only licence.rtf or licence.txt, so nobody is asked to accept this file; "
          "rename it");
    }
    if (!readme && (stem == "readme" || stem == "read_me" || stem == "read-me" || stem == "liesmich")) {
      Add(c, kFindingWarning, name, 0, "the information page shows only readme.rtf or readme.txt; rename it");
    }
    for (const char* hook : {"BeforeZD.exe", "WhileZD.exe", "AfterZD.exe"}) {
      std::string hookStem = Lower(hook).substr(0, Lower(hook).find('.'));
      if (stem == hookStem && !EqualNoCase(name, hook)) {
        Add(c, kFindingWarning, name, 0, std::string("only ") + hook + " runs as a hook program");
      }
    }
  }
  if (SetupHolds(*c, "licence.rtf") && SetupHolds(*c, "licence.txt")) {
    Add(c, kFindingWarning, "licence.txt", 0, "is not shown: licence.rtf comes first");
  }
}

bool CollectProgram(Checker* c, const std::string& programDir) {
  if (!programDir.empty()) {
    std::vector<SourceItem> items;
    std::string error;
    if (!CollectTree(programDir, &items, &error)) return false;
    for (const SourceItem& item : items) {
      if (!item.folder) c->programFiles.insert(NameKey(item.name));
    }
    return true;
  }
  if (!SetupHolds(*c, "setup.pck")) return false;
  fs::path pck = c->setupDir / "setup.pck";
  for (const auto& entry : fs::directory_iterator(c->setupDir)) {
    if (SameWindowsName(entry.path().filename().string(), "setup.pck")) pck = entry.path();
  }
  bool opened = OpenPackage(pck.string(), nullptr);
  if (opened) {
    for (const PackageEntry& entry : Package().entries) {
      if (entry.kind == kEntryKindFile) c->programFiles.insert(NameKey(entry.name));
    }
  }
  ClosePackage();
  return opened;
}

}  // namespace

std::string NearestName(const std::string& name, const std::vector<std::string>& candidates) {
  // Edit distance with swaps of neighbours, case ignored.
  auto distance = [](const std::string& a, const std::string& b) {
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); i++) d[i][0] = static_cast<int>(i);
    for (size_t j = 0; j <= b.size(); j++) d[0][j] = static_cast<int>(j);
    for (size_t i = 1; i <= a.size(); i++) {
      for (size_t j = 1; j <= b.size(); j++) {
        int cost = LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]) ? 0 : 1;
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
        if (i > 1 && j > 1 && LowerAscii(a[i - 1]) == LowerAscii(b[j - 2]) &&
            LowerAscii(a[i - 2]) == LowerAscii(b[j - 1])) {
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
      }
    }
    return d[a.size()][b.size()];
  };
  std::string best;
  int bestDistance = name.size() <= 4 ? 2 : 3;  // short names: one mistake
  for (const std::string& candidate : candidates) {
    int d = distance(name, candidate);
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate;
    }
  }
  return best;
}

std::vector<SetupFinding> CheckSetupFolder(const std::string& setupDir, const std::string& programDir) {
  Checker c;
  c.setupDir = setupDir;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(setupDir, error)) {
    if (!entry.is_regular_file(error)) continue;
    std::string name = entry.path().filename().string();
    c.setupNames.push_back(name);
    c.setupFiles.insert(NameKey(name));
  }
  std::sort(c.setupNames.begin(), c.setupNames.end());
  c.programKnown = CollectProgram(&c, programDir);
  c.programFiles.insert(NameKey("Uninstall.exe"));
  c.programFiles.insert(NameKey("uninstall.dat"));
  CheckSetupIni(&c);
  CheckPictures(&c);
  CheckFileNames(&c);
  std::stable_sort(c.findings.begin(), c.findings.end(), [](const SetupFinding& a, const SetupFinding& b) {
    if (a.file != b.file) return a.file == "setup.ini" || (b.file != "setup.ini" && a.file < b.file);
    return a.line < b.line;
  });
  return c.findings;
}

std::string FormatFinding(const SetupFinding& finding) {
  return finding.file + (finding.line > 0 ? ":" + std::to_string(finding.line) : std::string()) + ": " +
         (finding.level == kFindingError ? "error: " : "warning: ") + finding.text;
}

int CountFindings(const std::vector<SetupFinding>& findings, FindingLevel level) {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [&](const SetupFinding& f) { return f.level == level; }));
}

std::string WindowsProgramKind(const std::vector<unsigned char>& stub) {
  if (stub.size() < 0x40 || stub[0] != 'M' || stub[1] != 'Z') return "not a Windows program";
  uint32_t header = stub[0x3C] | stub[0x3D] << 8 | stub[0x3E] << 16 | static_cast<uint32_t>(stub[0x3F]) << 24;
  if (header > stub.size() - 6 || memcmp(stub.data() + header, "PE\0\0", 4) != 0) return "not a Windows program";
  uint32_t machine = stub[header + 4] | (stub[header + 5] << 8);
  if (machine == 0x014C) return "32-bit Windows";
  if (machine == 0x8664) return "64-bit Windows";
  return "unknown Windows machine";
}

bool IsInstallerStub(const std::vector<unsigned char>& bytes) {
  if (WindowsProgramKind(bytes) == "not a Windows program") return false;
  auto holds = [&](const char* text) {
    size_t length = strlen(text);
    return std::search(bytes.begin(), bytes.end(), text, text + length) != bytes.end();
  };
  return holds("name=\"Zandor.Install\"") && holds("setup.pck");
}
