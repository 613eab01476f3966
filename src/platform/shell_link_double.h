// Inspection of the link double (tests and the native test program).
#pragma once
#include <string>
#include <vector>

#include "platform/shell_link.h"

void ResetShellLinkDouble();
// Every link asked for since the reset, in order, saved or not. A saved
// link also leaves a small text file at its path (kShellLinkMarker, the
// target, a line end); a link whose folder is missing leaves none.
const std::vector<ShellLinkFields>& ShellLinkDoubleLinks();
inline constexpr char kShellLinkMarker[] = "link to ";
