// Command line, as the system hands it over:
//   program-path argument argument ...
// An argument runs to the next blank; one that begins with a double quote
// runs to the next double quote, without the quotes. Reading stops at the
// first empty argument (end of line or ""). A switch is recognised by its
// first two characters, upper-cased; its value starts at the fourth
// character, the third being a separator of the user's choice.
#include "app/command_line.h"

#include "runtime/text.h"

namespace {

// Takes the argument at *pos; false at the end of the line.
bool TakeArgument(const std::string& line, size_t* pos, std::string* arg) {
  size_t i = *pos;
  while (i < line.size() && line[i] == ' ') ++i;
  arg->clear();
  if (i >= line.size()) {
    *pos = i;
    return false;
  }
  if (line[i] == '"') {
    size_t end = line.find('"', i + 1);
    if (end == std::string::npos) end = line.size();
    *arg = line.substr(i + 1, end - i - 1);
    *pos = end < line.size() ? end + 1 : end;
  } else {
    size_t end = line.find(' ', i);
    if (end == std::string::npos) end = line.size();
    *arg = line.substr(i, end - i);
    *pos = end;
  }
  return true;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "/SILENT" and the like, habits of other installers: a switch letter that a
// bare word follows, with no separator and no value of a path's or a
// number's form. Taken as a switch, "/SILENT" would set the start-menu
// folder "LENT", so it is no switch at all.
bool IsWordAfterLetter(const std::string& arg) {
  if (arg.size() < 3) return false;
  for (size_t i = 2; i < arg.size(); ++i) {
    if (!IsLetter(arg[i])) return false;
  }
  return true;
}

}  // namespace

const char kCommandLineHelp[] =
    "Install.exe [/Q] [/P:folder] [/S:menu] [/R:n] [/L:file] [/E]\n\n"
    "/Q\tinstall quietly, without the wizard\n"
    "/P:folder\tinstall into this folder\n"
    "/S:menu\tput the start-menu links into this folder\n"
    "/R:n\thook programs: 1 both, 2 only before, 3 only after, 0 none\n"
    "/L:file\twrite an audit log of every step\n"
    "/E\texit code: 0 installed, 1 cancelled, 2 stopped by the before-hook,\n"
    "\t3 a file or step failed, 4 nothing installed\n\n"
    "Quote a switch whose value holds blanks: \"/P:C:\\My Tools\".";

void ReadCommandLine(const std::string& line, RunOptions* options) {
  size_t pos = 0;
  std::string arg;
  if (!TakeArgument(line, &pos, &arg)) return;  // the program path
  while (TakeArgument(line, &pos, &arg) && !arg.empty()) {
    if (arg.size() < 2 || arg[0] != '/') {
      options->ignored.push_back(arg);
      continue;
    }
    char letter = arg[1];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    std::string value = arg.size() > 3 ? arg.substr(3) : std::string();
    const bool takesValue = letter == 'P' || letter == 'S' || letter == 'R' || letter == 'L';
    if (takesValue && IsWordAfterLetter(arg)) {
      options->ignored.push_back(arg);
      continue;
    }
    if (arg == "/?" || ((letter == 'H') && (arg.size() == 2 || EqualNoCase(arg, "/HELP")))) {
      options->help = true;
      continue;
    }
    switch (letter) {
      case 'Q': options->quiet = true; break;
      case 'P': options->installDirOverride = value; break;
      case 'S': options->startMenuOverride = value; break;
      case 'R': options->hookMode = static_cast<int8_t>(static_cast<uint8_t>(TextToInt(value) & 0xFF)); break;
      case 'L': options->auditLogPath = value; break;
      case 'E': options->honestExitCode = true; break;
      case 'Z': options->handoverPath = value; break;
      default: options->ignored.push_back(arg); break;
    }
  }
}

std::string CommandLineArguments(const std::string& line) {
  size_t pos = 0;
  std::string program;
  if (!TakeArgument(line, &pos, &program)) return std::string();
  while (pos < line.size() && line[pos] == ' ') ++pos;
  return line.substr(pos);
}
