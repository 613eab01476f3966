#include "uninstall/uninstall_data.h"

#include <cstdint>

#include "runtime/ini.h"
#include "runtime/text.h"
#include "ui/language.h"

namespace {

// The record's Language keys and the language table's texts that give
// their built-in defaults. Mutex is built from two texts; DelFiles has no
// text in the table.
struct TextKey {
  UninstallText text;
  const char* key;
  TextId id;
};
constexpr TextKey kTextKeys[] = {
    {kUnTitel, "Titel", kTextUninstallerTitel},
    {kUnMsg, "Msg", kTextUninstallerMsg},
    {kUnVersion, "Version", kTextUninstallerVersion},
    {kUnUninstInfo, "UninstInfo", kTextUninstallerUninstInfo},
    {kUnDelAll, "DelAll", kTextUninstallerDelAll},
    {kUnError, "Error", kTextUninstallerError},
    {kUnStatus, "Status", kTextUninstallerStatus},
    {kUnLogon, "Logon", kTextLoginAdminWindow},
    {kUnUser, "User", kTextLoginAdminUser},
    {kUnPassword, "Password", kTextLoginAdminPassword},
    {kUnRqTitel, "RQ_Titel", kTextRq7Titel},
    {kUnRqMsg, "RQ_Msg", kTextRq7Msg},
    {kUnOk, "OK", kTextUninstallerOk},
    {kUnCancel, "Cancel", kTextUninstallerCancel},
    {kUnReady, "Ready", kTextUninstallerReady},
    {kUnLogin, "Login", kTextButtonLogin},
};
constexpr char kDefaultDelFiles[] = "Delete these files that the setup copied?";

constexpr const char* kLinkKeys[kLinkKeyCount] = {"Program", "AddExe", "Help", "Homepage", "Uninstall"};

// prefix + number with at least four digits: F0001, D0012, F12345.
std::string NumberedKey(char prefix, size_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return std::string(1, prefix) + digits;
}

// The number of a key of the form NumberedKey gives (letter in any case),
// or 0.
size_t KeyNumber(const std::string& key, char prefix) {
  if (key.size() < 5 || key.size() > 12 || (key[0] | 0x20) != (prefix | 0x20)) return 0;
  size_t number = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    number = number * 10 + static_cast<size_t>(key[i] - '0');
  }
  return number != 0 && NumberedKey(prefix, number).substr(1) == key.substr(1) ? number : 0;
}

// Entries 1, 2, ... up to the first number without a key; an empty value
// is skipped. One walk over the group, as a record of many thousands of
// entries would make a search per key quadratic. As a lookup by key, the
// first line of a number counts.
void ReadNumbered(const char* group, char prefix, std::vector<std::string>* out) {
  std::vector<IniKeyValue> lines = IniReadGroup(group);
  std::vector<const std::string*> byNumber(lines.size() + 1, nullptr);
  for (const IniKeyValue& line : lines) {
    size_t number = KeyNumber(line.key, prefix);
    if (number > 0 && number < byNumber.size() && !byNumber[number]) byNumber[number] = &line.value;
  }
  for (size_t i = 1; i < byNumber.size() && byNumber[i]; ++i) {
    if (!byNumber[i]->empty()) out->push_back(*byNumber[i]);
  }
}

void ReadTexts(UninstallData* data, bool haveFile) {
  LoadDefaultTexts(data->progName, data->version);
  bool group = haveFile && IniSelectGroup("Language");
  auto read = [&](const std::string& key, const std::string& fallback) {
    return group ? IniReadString(key, fallback) : fallback;
  };
  for (const TextKey& t : kTextKeys) data->texts[t.text] = read(t.key, Text(t.id));
  data->texts[kUnMutex] = read("Mutex", Text(kTextRq4Msg) + "|" + Text(kTextRq4Msg2));
  data->texts[kUnDelFiles] = read("DelFiles", kDefaultDelFiles);
}

}  // namespace

UninstallDataResult ReadUninstallData(const std::string& path, UninstallData* data) {
  *data = UninstallData();
  if (!IniOpen(path)) {
    IniClose();
    ReadTexts(data, false);
    return kDataMissing;
  }
  bool settings = IniSelectGroup("Settings");
  if (settings) {
    data->progDir = IniReadString("ProgDir");
    data->progExe = IniReadString("ProgExe");
    data->guid = IniReadString("GUID");
    data->progLink = IniReadString("ProgLink");
    data->startMenu = IniReadString("StartMenu");
    data->desktopIcon = IniReadString("DesktopIcon");
    data->loginAdmin = IniReadNumber("LoginAdmin", 0) == 1;
    data->progName = IniReadString("ProgName");
    data->version = IniReadString("Version");
    data->mutexString = IniReadString("MutexString");
    data->noDelAll = IniReadNumber("NoDelAll", 0) != 0;
    data->madeProgDir = IniReadNumber("MadeProgDir", 0) == 1;
    const int32_t parents = IniReadNumber("MadeParents", 0);
    data->madeParents = parents < 0 ? 0 : parents > kMaxMadeParents ? kMaxMadeParents : parents;
  }
  ReadNumbered("Files", 'F', &data->files);
  ReadNumbered("Dirs", 'D', &data->dirs);
  if (IniSelectGroup("StartMenu")) {
    for (int i = 0; i < kLinkKeyCount; ++i) data->startMenuLinks[i] = IniReadString(kLinkKeys[i]);
  }
  if (IniSelectGroup("UserTask")) {
    int32_t number = IniReadNumber("Number", 0);
    if (number > kMaxTaskRecords) number = kMaxTaskRecords;
    for (int32_t i = 1; i <= number; ++i) {
      std::string task = IniReadString("Task" + std::to_string(i));
      if (!task.empty()) data->tasks.push_back(task);
    }
  }
  ReadTexts(data, true);
  IniClose();
  if (!settings || data->progDir.empty()) return kDataDamaged;
  return kDataRead;
}

std::string MutexMessage(const UninstallData& data) {
  std::string text = ReplaceAll(data.texts[kUnMutex], "$Titel", data.progName);
  return ReplaceAll(text, "|", "\n");
}
