// The setup author's script, run at the end of the install by the script
// control (platform/script.h) with four constants in front of its lines
// that tell it where the installation went.
#pragma once
#include <string>

// The four constants' values, in the order of their lines.
struct ScriptValues {
  std::string installDir;         // zdProgDir, with its "\"
  std::string workFolder;         // zdSetupDir, with its "\"
  std::string programMenuFolder;  // zdStartMenuDir, with its "\"; empty without start-menu links
  std::string guid;               // zdGUID: Info GUID of setup.ini
};

enum ScriptLanguage { kScriptNone, kScriptVbs, kScriptJs };

// The language by the extension of the file name (after its last "."; none
// without one), in any letter case: "vbs" or "js", else none.
ScriptLanguage ScriptLanguageOf(const std::string& path);
// The code the control is given: the four constant lines of the language
// (none for kScriptNone), then every line of the file followed by CR LF. A
// line of the file ends at CR LF, a single CR, a single LF or a zero byte.
std::string ScriptCodeText(ScriptLanguage language, const ScriptValues& values, const std::string& fileBytes);
// Reads the script at path and, when its language is one of the two and the
// script control is there, runs it with a timeout of 20 seconds. Nothing is
// reported: a missing file, another extension, an absent control and errors
// inside the script all end the step silently.
void RunScript(const std::string& path, const ScriptValues& values);
