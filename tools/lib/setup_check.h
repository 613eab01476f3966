// The checks that zandor build and zandor check make of a setup folder
// before anything is written: setup.ini's groups, keys and values, the
// task lines, the files they name in the program folder, the language
// files, the licence and readme names, the pictures and the script.
//
// Each finding names the file and, within setup.ini, the line. Errors are
// mistakes that make a broken installer (a product named "--- unknown ---",
// links to nothing, a licence nobody sees, a task that writes HKCR\.); a
// warning is doubtful and builds unless the author asks for --strict.
#pragma once
#include <string>
#include <vector>

enum FindingLevel { kFindingWarning, kFindingError };

struct SetupFinding {
  FindingLevel level = kFindingError;
  std::string file;  // "setup.ini", "splash.bmp", ... in the setup folder
  int line = 0;      // 1-based line in file; 0: the file as a whole
  std::string text;
};

// What the installation folder will hold: the program folder, or with an
// empty programDir the setup.pck of the setup folder. Uninstall.exe and
// uninstall.dat count as held, since the build adds them.
std::vector<SetupFinding> CheckSetupFolder(const std::string& setupDir, const std::string& programDir);

// "setup.ini:12: error: text" (no ":12" for line 0).
std::string FormatFinding(const SetupFinding& finding);
int CountFindings(const std::vector<SetupFinding>& findings, FindingLevel level);

// The name among candidates that a misspelt name most likely meant (at most
// two letters added, dropped, changed or swapped, case ignored), or empty.
std::string NearestName(const std::string& name, const std::vector<std::string>& candidates);

// What the bytes of a Windows program say about it, for the stub check and
// zandor verify: "not a Windows program", "a 32-bit Windows program", ...
// IsInstallerStub is true only for our installer stub: a Windows program
// whose manifest names the assembly Zandor.Install and whose code carries
// the setup driver's name of the inner package, "setup.pck" (the
// uninstaller shares the manifest, not that name).
std::string WindowsProgramKind(const std::vector<unsigned char>& bytes);
bool IsInstallerStub(const std::vector<unsigned char>& bytes);
