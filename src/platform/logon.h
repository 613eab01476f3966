// Logging on as another account and acting as it: the administrator login.
//
// The native build answers from accounts the tests set (logon_double.h).
#pragma once
#include <cstdint>
#include <string>

typedef uintptr_t OsLogon;  // the logon's token; 0: none

// An interactive logon with the default provider (an empty domain is the
// local computer, "."). On success the thread acts as that account from now
// on and the token is answered; 0 when the logon failed.
OsLogon OsLogonUser(const std::string& user, const std::string& domain, const std::string& password);
// Returns to the program's own identity and closes the token.
void OsEndLogon(OsLogon logon);
// Closes a token that a later logon has replaced; the thread goes on acting
// as the later one.
void OsCloseLogon(OsLogon logon);
