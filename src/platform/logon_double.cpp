#include <set>
#include <utility>

#include "platform/logon.h"
#include "platform/logon_double.h"

namespace {

struct LogonDouble {
  std::set<std::pair<std::string, std::string>> accepted;
  void (*granted)() = nullptr;
  std::vector<LogonDoubleAttempt> attempts;
  OsLogon actingAs = 0;
  std::set<OsLogon> open;
  OsLogon lastToken = 0x100;
};

LogonDouble& Double() {
  static LogonDouble d;
  return d;
}

}  // namespace

void ResetLogonDouble() { Double() = LogonDouble(); }
void LogonDoubleAccept(const std::string& user, const std::string& password) {
  Double().accepted.insert(std::make_pair(user, password));
}
void LogonDoubleOnLogon(void (*granted)()) { Double().granted = granted; }
const std::vector<LogonDoubleAttempt>& LogonDoubleAttempts() { return Double().attempts; }
OsLogon LogonDoubleActingAs() { return Double().actingAs; }
int LogonDoubleOpenTokens() { return static_cast<int>(Double().open.size()); }

OsLogon OsLogonUser(const std::string& user, const std::string& domain, const std::string& password) {
  LogonDouble& d = Double();
  d.attempts.push_back(LogonDoubleAttempt{user, domain.empty() ? std::string(".") : domain, password});
  if (!d.accepted.count(std::make_pair(user, password))) return 0;
  d.lastToken += 4;
  d.open.insert(d.lastToken);
  d.actingAs = d.lastToken;
  if (d.granted) d.granted();
  return d.lastToken;
}

void OsEndLogon(OsLogon logon) {
  Double().actingAs = 0;
  Double().open.erase(logon);
}

void OsCloseLogon(OsLogon logon) { Double().open.erase(logon); }
