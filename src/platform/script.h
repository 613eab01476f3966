// The platform's script engine: the Microsoft Script Control, one COM object
// for the whole run. Start-up creates it, the exit path releases it, and in
// between the install hands it at most one script (actions/script.h).
//
// The native build has no script engine: its double (script_double.h)
// records what it was given instead of running it.
#pragma once
#include <cstdint>
#include <string>

// CoInitialize, then the control as an in-process server, Reset and the
// language "VBScript". False when the control cannot be made; it is then
// absent for the rest of the run.
bool OsCreateScriptControl();
// Releases the control and ends COM for the thread. Nothing to do when
// nothing was created.
void OsReleaseScriptControl();
bool OsScriptControlPresent();
// Sets the language ("VBScript" or "JScript") and the timeout, then adds the
// code, which the control runs at once: the call returns when the script's
// top-level statements have ended. True when the control took the code
// without an error; false too when the control is absent.
bool OsRunScriptCode(const std::string& language, int32_t timeoutMs, const std::string& code);
