// The confirmed copy: a file of the work folder copied to a place outside
// the installation, where an existing file is replaced only when the user
// says so after seeing both files' version information (ui/version_dialog.h).
#pragma once
#include <string>

#include "platform/window.h"

// Copies source over target, replacing it. When that fails and the process
// lacks administrator rights, the login is offered and the copy tried once
// more; a second failure shows the copy-error box (Requester RQ6_Titel /
// RQ6_Msg). A failure with the rights, or with no login to offer, says
// nothing. True when the copy succeeded.
bool CopyFileWithLogin(const std::string& source, const std::string& target);

// A file at target: the version dialog over owner (0: none) decides, and
// the answer is true for Yes (the copy then ran, whatever its outcome) and
// false for No or a dialog that cannot be opened. Nothing at target (or a
// folder): CopyFileWithLogin, and true whatever the copy gave.
bool CopyFileConfirmed(OsWindow owner, const std::string& source, const std::string& target);
