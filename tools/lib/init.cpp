#include "lib/init.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "runtime/text.h"

namespace fs = std::filesystem;

namespace {

// $TITLE, $VERSION, $PROGEXE, $FOLDER and $GUID are filled in.
const char kSetupIni[] =
    "; setup.ini: what the installer does. Every group and key is described in\r\n"
    "; docs/setup-ini.md; check this folder with: zandor check SETUPDIR --program DIR\r\n"
    "; Spellings such as Titel, [StartMenue] and Unistall are the installer's own.\r\n"
    "\r\n"
    "[Settings]\r\n"
    "; The language files: FILE#NUMBER| for each, NUMBER being the Windows primary\r\n"
    "; language (9 English, 7 German, 12 French); every entry ends with \"|\".\r\n"
    "Language=english.lng#9|\r\n"
    "; The program's executable, relative to the installation folder.\r\n"
    "ProgExe=$PROGEXE\r\n"
    "; The default installation folder: a folder variable directly followed by\r\n"
    "; the product's folder (the variable ends in \"\\\").\r\n"
    "DefaultDir=%ProgramFiles%$FOLDER\r\n"
    "; Extensions of files that a second install does not overwrite, as ini|cfg|\r\n"
    "NoCopyExt=\r\n"
    "; 0: setup decides from the folder whether it needs administrator rights;\r\n"
    "; 1: always per machine, asking for them; 2: never ask, per user.\r\n"
    "Elevate=0\r\n"
    "\r\n"
    "[Info]\r\n"
    "; The product's name and version, shown in the wizard and in Apps.\r\n"
    "Titel=$TITLE\r\n"
    "Version=$VERSION\r\n"
    "; The product's own GUID, kept the same in every version of the product.\r\n"
    "GUID=$GUID\r\n"
    "; Free text shown as the required disk space.\r\n"
    "PrgSize=1 MB\r\n"
    "Author=\r\n"
    "EMail=\r\n"
    "Date=\r\n"
    "; The product's web page: a link in the wizard and in the uninstall entry.\r\n"
    "Web=\r\n"
    "\r\n"
    "[StartMenue]\r\n"
    "; The start-menu folder below Programs, and the name of the program links.\r\n"
    "DefaultDir=$FOLDER\r\n"
    "ProgLink=$TITLE\r\n"
    "; Further links in the start-menu folder: a help file and a second program\r\n"
    "; (both relative to the installation folder), a web address, the uninstaller.\r\n"
    "Help=\r\n"
    "Exe=\r\n"
    "URL=\r\n"
    "Unistall=1\r\n"
    "\r\n"
    "[Task]\r\n"
    "; 1: the box is ticked at first / the step is done; 0: not.\r\n"
    "Desktop=1\r\n"
    "StartMenu=1\r\n"
    "StartProg=0\r\n"
    "Reboot=0\r\n"
    "NoUninstall=0\r\n"
    "; Arguments of the program links.\r\n"
    "ProgParameter=\r\n"
    "; A mutex the running program holds; empty: setup looks for ProgExe running.\r\n"
    "MutexString=\r\n"
    "; A .vbs or .js file of this folder, run at the end of the install.\r\n"
    "ScriptFile=\r\n"
    "\r\n"
    "[UserTask]\r\n"
    "; Extra tasks, one line each: TYPE|FIELD|FIELD..., see docs/tasks.md.\r\n"
    "; For example a file association: 10|$PROGEXE|myext|My document|0||1\r\n"
    "Number=0\r\n";

// Every text of the wizard with its built-in English; $TITLE and $VERSION
// are filled in.
const char kEnglish[] =
    "; English texts of the wizard and the uninstaller, see docs/language-files.md.\r\n"
    "[Install]\r\n"
    "Msg0=Required disk space:\r\n"
    "Msg1=Copy Program Files\r\n"
    "Msg2=Create Desktop Icon\r\n"
    "Msg3=Create Startmenu Shortcuts\r\n"
    "Msg5=Create Uninstaller Entry\r\n"
    "Msg6=Create additional Links\r\n"
    "Ready=Completed\r\n"
    "Help=Help\r\n"
    "Homepage=Homepage\r\n"
    "Uninstall=Uninstall\r\n"
    "[Page01]\r\n"
    "Titel=Welcome to the installation of|'$TITLE'\r\n"
    "Msg1=Zandor will now install '$TITLE' version $VERSION on your computer.\r\n"
    "Msg2=Click 'Next' to continue installation.\r\n"
    "Msg3=Please close all other applications before continuing.\r\n"
    "[Page02]\r\n"
    "Titel=Licence Agreement\r\n"
    "Msg=Please read the following information before continuing.\r\n"
    "AcceptYes=I accept the agreement\r\n"
    "AcceptNo=I do not accept the agreement\r\n"
    "[Page03]\r\n"
    "Titel=Setup Settings\r\n"
    "Msg=Installation Directory, StartMenu Folder and Desktop Icon\r\n"
    "ProgDir=Install program in this directory:\r\n"
    "MenuDir=StartMenu folder for Program Shortcuts:\r\n"
    "NoStartMenu=Create no startmenu entry.\r\n"
    "DesktopIcon=Create a desktop icon\r\n"
    "[Page04]\r\n"
    "Titel=Information\r\n"
    "Msg=A short description of the program\r\n"
    "[Page05]\r\n"
    "Titel1=Installation of|'$TITLE'\r\n"
    "Msg=Click 'Install' to start installation!\r\n"
    "Install=Install Program '$TITLE'\r\n"
    "RunProg=Start program after closing Zandor.\r\n"
    "Ready=Installation completed\r\n"
    "[Requester]\r\n"
    "RQ1_Titel=Select Start Menu Folder\r\n"
    "RQ1_Msg=No valid start menu folder.\r\n"
    "RQ2_Titel=Please select a directory\r\n"
    "RQ3_Titel=Select Directory\r\n"
    "RQ4_Titel=Zandor - Warning\r\n"
    "RQ4_Msg=Close Program '$TITLE' first!\r\n"
    "RQ4_Msg2=Then press OK!\r\n"
    "RQ5_Titel=Associate File Extension\r\n"
    "RQ5_Msg=Associate File Extension '$Extension' with the program?\r\n"
    "RQ6_Titel=Error - Copy File\r\n"
    "RQ6_Msg=Copying file(s) failed.\r\n"
    "RQ7_Titel=Error - Login\r\n"
    "RQ7_Msg=Login failed.\r\n"
    "[FileVersion]\r\n"
    "Window=Copy File\r\n"
    "FrameOld=Current File Version\r\n"
    "FrameNew=New File Version\r\n"
    "Msg=Replace the current file with this file version?\r\n"
    "Version=Version:\r\n"
    "Lang=Language:\r\n"
    "Desc=Description:\r\n"
    "NotAvailable=--- not available ---\r\n"
    "[LoginAdmin]\r\n"
    "Window=Login as administrator\r\n"
    "User=Username:\r\n"
    "Password=Password:\r\n"
    "[Buttons]\r\n"
    "Login=Login\r\n"
    "Next=Next\r\n"
    "Back=Back\r\n"
    "Apply=Apply\r\n"
    "Cancel=Cancel\r\n"
    "Change=Change\r\n"
    "Install=Install\r\n"
    "Finish=Exit\r\n"
    "Yes=Yes\r\n"
    "No=No\r\n"
    "[Uninstaller]\r\n"
    "Titel=uninstall Program\r\n"
    "Msg=Program files And registry entries will be removed.\r\n"
    "Version=Version\r\n"
    "UninstInfo=Remove the following Program from your computer:\r\n"
    "DelAll=Delete all(!) files in the directory (including user files).\r\n"
    "Error=Uninstalling Program Not possible.\r\n"
    "Status=Uninstalling completed.\r\n"
    "OK=OK\r\n"
    "Cancel=Cancel\r\n"
    "Ready=Ready\r\n";

const char kLicence[] =
    "Replace this text with the licence of $TITLE.\r\n"
    "\r\n"
    "The wizard shows licence.txt (or licence.rtf) and asks the user to accept it\r\n"
    "before the install; delete the file to leave out the licence page.\r\n";

std::string Fill(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values) text = ReplaceAll(text, name, value);
  return text;
}

std::string NewGuid() {
  std::random_device random;
  std::string digits;
  for (int i = 0; i < 4; i++) digits += HexDigits(random(), 8);
  return "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-4" + digits.substr(13, 3) + "-" +
         digits.substr(16, 4) + "-" + digits.substr(20, 12) + "}";
}

// The first .exe at the top of the program folder, in name order.
std::string FirstProgram(const std::string& programDir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(programDir, error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), ".exe") &&
        !EqualNoCase(name, "Uninstall.exe")) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names.empty() ? std::string() : names[0];
}

bool WriteNew(const fs::path& path, const std::string& text, std::string* message) {
  std::error_code error;
  if (fs::exists(path, error)) {
    *message = path.string() + " is there already; init writes only into a new or empty setup folder";
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    *message = "cannot write " + path.string() + ": " + strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool WriteStartingSetup(const std::string& setupDir, const std::string& programDir, std::string* message) {
  std::error_code error;
  std::string title = "My Product", exe = "MyProduct.exe";
  if (!programDir.empty()) {
    if (!fs::is_directory(programDir, error)) {
      *message = programDir + ": no such program folder";
      return false;
    }
    fs::path folder = fs::absolute(programDir, error).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    if (!folder.filename().empty()) title = folder.filename().string();
    std::string found = FirstProgram(programDir);
    if (found.empty()) {
      *message = programDir + " holds no .exe at its top to name as ProgExe";
      return false;
    }
    exe = found;
  }
  std::string folder;
  for (char c : title) folder += (c == '\\' || c == '/' || c == ':' || c == '%') ? '_' : c;
  fs::create_directories(setupDir, error);
  if (error) {
    *message = "cannot create " + setupDir + ": " + error.message();
    return false;
  }
  const std::vector<std::pair<std::string, std::string>> values = {
      {"$TITLE", title}, {"$VERSION", "1.0"}, {"$PROGEXE", exe}, {"$FOLDER", folder}, {"$GUID", NewGuid()}};
  fs::path dir(setupDir);
  if (!WriteNew(dir / "setup.ini", Fill(kSetupIni, values), message) ||
      !WriteNew(dir / "english.lng", Fill(kEnglish, values), message) ||
      !WriteNew(dir / "licence.txt", Fill(kLicence, values), message)) {
    return false;
  }
  *message = "zandor: wrote " + (dir / "setup.ini").string() + ", english.lng and licence.txt\n"
             "zandor: next: zandor build " + setupDir + " --program " +
             (programDir.empty() ? std::string("PROGRAMDIR") : programDir) + " -o Install.exe\n";
  if (programDir.empty()) {
    *message += "zandor: ProgExe is " + exe + "; change it to your program's file name\n";
  }
  return true;
}
