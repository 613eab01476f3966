// The logon of the native build: accounts that a test lets in, a record of
// every attempt, and the token the thread acts as.
#pragma once
#include <string>
#include <vector>

#include "platform/logon.h"

struct LogonDoubleAttempt {
  std::string user;
  std::string domain;
  std::string password;
};

// No account lets in, nothing attempted, acting as itself.
void ResetLogonDouble();
// The user name and password let in from now on (a user may be let in with
// several passwords).
void LogonDoubleAccept(const std::string& user, const std::string& password);
// Called after each successful logon: what the account's rights change for
// the test (a folder that can now be made, say).
void LogonDoubleOnLogon(void (*granted)());
const std::vector<LogonDoubleAttempt>& LogonDoubleAttempts();
// The token the thread acts as, 0 when itself; the tokens still open.
OsLogon LogonDoubleActingAs();
int LogonDoubleOpenTokens();
