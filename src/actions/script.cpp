#include "actions/script.h"

#include "platform/file.h"
#include "platform/script.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"

namespace {

const int32_t kScriptTimeoutMs = 20000;

// ASCII capitals and the Latin-1 capitals 0xC0 to 0xDE lowered.
std::string LowerLatin1(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) {
    unsigned char byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE)) c = static_cast<char>(byte + 32);
  }
  return lower;
}

// VBScript reads "" inside a string as one quote and nothing else in a
// string literal is special, so a value written this way reaches the script
// unchanged. Folder paths hold no quote, so their lines are exactly the
// plain quoted form; a GUID holding one would otherwise end its string early
// and make the whole script a syntax error.
std::string VbsString(const std::string& value) {
  std::string quoted = "\"";
  for (char c : value) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

// In a JScript string "\" starts an escape, so a folder's closing "\" would
// swallow the closing quote: "\" and the quote are escaped.
std::string JsString(const std::string& value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The VBScript lines are Const declarations; JScript's const is a syntax
// error to the script control's engine, which knows only var, and a script
// whose first line fails runs none of its lines.
std::string ConstantLines(ScriptLanguage language, const ScriptValues& values) {
  const std::string* value[] = {&values.installDir, &values.workFolder, &values.programMenuFolder, &values.guid};
  static const char* const kVbsOpening[] = {"Const zdProgDir = ", "Const zdSetupDir = ", "Const zdStartMenuDir = ",
                                            "Const zdGUID = "};
  static const char* const kJsOpening[] = {"var zdProgDir  = ", "var zdSetupDir = ", "var zdStartMenuDir = ",
                                           "var zdGUID = "};
  std::string lines;
  for (int i = 0; i < 4; ++i) {
    if (language == kScriptVbs) lines += kVbsOpening[i] + VbsString(*value[i]) + "\r\n";
    if (language == kScriptJs) lines += kJsOpening[i] + JsString(*value[i]) + ";\r\n";
  }
  return lines;
}

// The whole file; false when it cannot be opened or read.
bool ReadScriptFile(const std::string& path, std::string* bytes) {
  OsFile file = OsOpenFile(path, kOsOpenRead);
  if (!file) return false;
  char buffer[4096];
  uint32_t got = 0;
  bool ok = true;
  while ((ok = OsReadFile(file, buffer, sizeof buffer, &got)) && got > 0) bytes->append(buffer, got);
  OsCloseFile(file);
  return ok;
}

}  // namespace

ScriptLanguage ScriptLanguageOf(const std::string& path) {
  const std::string name = FileNamePart(path);
  const size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : LowerLatin1(name.substr(dot + 1));
  if (extension == "vbs") return kScriptVbs;
  if (extension == "js") return kScriptJs;
  return kScriptNone;
}

std::string ScriptCodeText(ScriptLanguage language, const ScriptValues& values, const std::string& fileBytes) {
  std::string code = ConstantLines(language, values);
  size_t start = 0;
  while (start < fileBytes.size()) {
    size_t end = fileBytes.find_first_of(std::string("\r\n\0", 3), start);
    if (end == std::string::npos) end = fileBytes.size();
    code.append(fileBytes, start, end - start);
    code += "\r\n";
    start = end + 1;
    if (end + 1 < fileBytes.size() && fileBytes[end] == '\r' && fileBytes[end + 1] == '\n') ++start;
  }
  return code;
}

void RunScript(const std::string& path, const ScriptValues& values) {
  std::string bytes;
  if (!ReadScriptFile(path, &bytes)) return AuditStep("script", "", false, path, "script file cannot be read");
  const ScriptLanguage language = ScriptLanguageOf(path);
  const std::string code = ScriptCodeText(language, values, bytes);
  if (language == kScriptNone || !OsScriptControlPresent()) return AuditLine("script  not run  " + path);
  const bool ran = OsRunScriptCode(language == kScriptVbs ? "VBScript" : "JScript", kScriptTimeoutMs, code);
  AuditStep("script", "run", ran, path, "the script host refused the script");
}
