// The audit log of "/L": one plain text line per step of the run, written
// as the run goes. Every layer reports through these functions; while no
// log is open they do nothing, and a log that cannot be opened or written
// never changes the run (writing stops at the first failed line).
//
// A line is fields separated by two blanks, the area first, then what
// happened, then details, with a path or value last:
//   file  installed  C:\Program Files\App\app.exe
//   file  skipped  NoCopyExt  C:\Program Files\App\settings.ini
//   file  failed  damaged data block  C:\Program Files\App\app.exe
//   registry  failed  error 5  HKLM\Software\...\Uninstall\{GUID}  DisplayName
// A failure of a system call carries "error N", the system's error code.
// Lines end in CR LF; the file holds no timestamps, so two runs of the same
// install give the same log.
#pragma once
#include <string>

// Opens (replacing) the log file at path; false when it cannot be made, in
// which case the run goes on without a log. An open log is closed first.
bool OpenAuditLog(const std::string& path);
// Writes one line and hands it to the system at once, so a run that dies
// leaves every line before it. The system's last error is kept as it was.
void AuditLine(const std::string& line);
// "area  what  detail" when ok; otherwise "area  failed  error N  detail"
// with the system's error code as the failed call left it, or, when the
// failure left no system error (a refusal of the code's own, a missing
// file asked for by name), "area  failed  REASON  detail".
void AuditStep(const char* area, const char* what, bool ok, const std::string& detail,
               const char* reason = "refused, no system error");
// Opens the log at path to write on at its end, as a second process of the
// same run does (the elevated run); false when it cannot be opened.
bool AppendAuditLog(const std::string& path);
// The path of the open log, empty while none is open.
std::string AuditLogPath();
void CloseAuditLog();
bool AuditLogOpen();
