#include "runtime/audit_log.h"

#include "platform/file.h"
#include "platform/system.h"

namespace {

struct AuditLog {
  OsFile file = nullptr;
  std::string path;
};
AuditLog g_log;

}  // namespace

bool OpenAuditLog(const std::string& path) {
  CloseAuditLog();
  if (path.empty()) return false;
  g_log.file = OsOpenFile(path, kOsOpenCreateAlways);
  if (g_log.file) g_log.path = path;
  return g_log.file != nullptr;
}

bool AppendAuditLog(const std::string& path) {
  CloseAuditLog();
  if (path.empty()) return false;
  OsFile file = OsOpenFile(path, kOsOpenAlways);
  if (!file) return false;
  const int64_t length = OsFileLength(file);
  if (length < 0 || !OsSeekFile(file, length)) {
    OsCloseFile(file);
    return false;
  }
  g_log.file = file;
  g_log.path = path;
  return true;
}

std::string AuditLogPath() { return g_log.path; }

// Each line goes to the system in one write, without a buffer of ours: a
// line written is in the system's hands even when the process dies after
// it. The file is not forced to the disk per line; that would cost a disk
// round trip for every installed file.
void AuditLine(const std::string& line) {
  if (g_log.file == nullptr) return;
  const uint32_t error = OsLastError();
  const std::string text = line + "\r\n";
  if (!OsWriteFile(g_log.file, text.data(), static_cast<uint32_t>(text.size()))) CloseAuditLog();
  OsSetLastError(error);
}

void AuditStep(const char* area, const char* what, bool ok, const std::string& detail, const char* reason) {
  if (g_log.file == nullptr) return;
  std::string line = std::string(area) + "  ";
  const uint32_t error = OsLastError();
  if (ok) {
    line += what;
  } else if (error == 0) {
    line += std::string("failed  ") + reason;
  } else {
    line += "failed  error " + std::to_string(error);
  }
  if (!detail.empty()) line += "  " + detail;
  AuditLine(line);
}

void CloseAuditLog() {
  if (g_log.file == nullptr) return;
  OsCloseFile(g_log.file);
  g_log = AuditLog();
}

bool AuditLogOpen() { return g_log.file != nullptr; }
