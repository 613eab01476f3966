// The logon through the security services: LogonUserA, then the thread
// impersonates the token until RevertToSelf.
#include <windows.h>

#include "platform/logon.h"

OsLogon OsLogonUser(const std::string& user, const std::string& domain, const std::string& password) {
  HANDLE token = nullptr;
  const std::string where = domain.empty() ? std::string(".") : domain;
  if (!LogonUserA(user.c_str(), where.c_str(), password.c_str(), LOGON32_LOGON_INTERACTIVE,
                  LOGON32_PROVIDER_DEFAULT, &token) ||
      !token) {
    return 0;
  }
  // The token counts as the logon even when impersonating it fails: the
  // caller's retry then shows what the account could do.
  ImpersonateLoggedOnUser(token);
  return reinterpret_cast<OsLogon>(token);
}

void OsEndLogon(OsLogon logon) {
  RevertToSelf();
  if (logon) CloseHandle(reinterpret_cast<HANDLE>(logon));
}

void OsCloseLogon(OsLogon logon) {
  if (logon) CloseHandle(reinterpret_cast<HANDLE>(logon));
}
