#include "uninstall/record.h"

#include <cstdint>
#include <string>

#include "runtime/ini.h"
#include "runtime/text.h"
#include "ui/language.h"

namespace {

// The uninstaller's texts by the record's key, in the order they are
// written. Mutex is the one key made of two texts; it stands between Error
// and Status.
struct RecordText {
  const char* key;
  TextId text;
};
constexpr RecordText kTextsBeforeMutex[] = {
    {"Titel", kTextUninstallerTitel}, {"Msg", kTextUninstallerMsg},
    {"Version", kTextUninstallerVersion}, {"UninstInfo", kTextUninstallerUninstInfo},
    {"DelAll", kTextUninstallerDelAll}, {"Error", kTextUninstallerError},
};
constexpr RecordText kTextsAfterMutex[] = {
    {"Status", kTextUninstallerStatus},   {"Logon", kTextLoginAdminWindow},
    {"User", kTextLoginAdminUser},        {"Password", kTextLoginAdminPassword},
    {"RQ_Titel", kTextRq7Titel},          {"RQ_Msg", kTextRq7Msg},
    {"OK", kTextUninstallerOk},           {"Cancel", kTextUninstallerCancel},
    {"Ready", kTextUninstallerReady},     {"Login", kTextButtonLogin},
};

// The text before the first ".", or all of it.
std::string BeforeFirstDot(const std::string& name) { return name.substr(0, name.find('.')); }

// The text after the last "\" or "/", or all of it.
std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteSettings(const UninstallRecord& record, const std::string& progLink) {
  IniSelectGroup("Settings");
  IniWriteString("ProgDir", record.installDir);
  IniWriteString("ProgExe", record.progExe);
  IniWriteString("GUID", record.guid);
  IniWriteString("ProgLink", progLink);
  IniWriteString("StartMenu", record.programMenuFolder);
  IniWriteString("DesktopIcon", record.desktopLinkPath);
  IniWriteNumber("LoginAdmin", record.loginAdmin ? 1 : 0);
  IniWriteNumber("MadeProgDir", record.installDirCreated ? 1 : 0);
  IniWriteNumber("MadeParents", record.installDirCreated ? record.parentsCreated : 0);
}

void WriteLanguage() {
  IniSelectGroup("Language");
  for (const RecordText& t : kTextsBeforeMutex) IniWriteString(t.key, Text(t.text));
  // RQ4_Msg goes as loaded: a "$Titel" from a language file stays for the
  // uninstaller to fill.
  IniWriteString("Mutex", Text(kTextRq4Msg) + "|" + Text(kTextRq4Msg2));
  for (const RecordText& t : kTextsAfterMutex) IniWriteString(t.key, Text(t.text));
}

// The names the start-menu links have, or would have had: written whether
// or not each link was made, so the uninstaller need not know which were.
void WriteStartMenu(const UninstallRecord& record, const std::string& progLink) {
  const std::string& folder = record.programMenuFolder;
  IniSelectGroup("StartMenu");
  IniWriteString("Program", folder + progLink + ".lnk");
  IniWriteString("AddExe", folder + BeforeFirstDot(FileNamePart(record.startMenuExe)) + ".lnk");
  IniWriteString("Help", folder + TrimBlanks(Text(kTextInstallHelp)) + ".lnk");
  IniWriteString("Homepage", folder + TrimBlanks(Text(kTextInstallHomepage)) + ".lnk");
  IniWriteString("Uninstall", folder + TrimBlanks(Text(kTextInstallUninstall)) + ".lnk");
}

void WriteUserTasks(const std::vector<std::string>& tasks) {
  IniSelectGroup("UserTask");
  IniWriteNumber("Number", static_cast<int32_t>(tasks.size()));
  for (size_t i = 0; i < tasks.size(); i++) IniWriteString("Task" + std::to_string(i + 1), tasks[i]);
}

}  // namespace

std::string UninstallRecordPath(const std::string& installDir) { return installDir + "uninstall.dat"; }

bool RecordSaysFolderMade(const std::string& installDir) {
  bool made = false;
  if (IniOpen(UninstallRecordPath(installDir)) && IniSelectGroup("Settings")) {
    made = IniReadNumber("MadeProgDir", 0) == 1 && EqualNoCase(IniReadString("ProgDir"), installDir);
  }
  IniClose();
  return made;
}

int RecordedParentsMade(const std::string& installDir) {
  int32_t made = 0;
  if (IniOpen(UninstallRecordPath(installDir)) && IniSelectGroup("Settings") &&
      EqualNoCase(IniReadString("ProgDir"), installDir)) {
    made = IniReadNumber("MadeParents", 0);
  }
  IniClose();
  return made < 0 ? 0 : made > kMaxMadeParents ? kMaxMadeParents : made;
}

bool WriteUninstallRecord(const UninstallRecord& record) {
  // An absent record is created when the store closes.
  IniOpen(UninstallRecordPath(record.installDir));
  std::string progLink = record.progLink.empty() ? BeforeFirstDot(record.progExe) : record.progLink;
  WriteSettings(record, progLink);
  WriteLanguage();
  WriteStartMenu(record, progLink);
  WriteUserTasks(record.taskRecords);
  return IniClose();
}
