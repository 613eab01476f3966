// Settings of the version resource double (tests and the native test
// program): files have no version block until a test gives them one.
#pragma once
#include <string>

#include "platform/version.h"

void ResetVersionDouble();
// The file at path (as the code under test names it) answers these values.
void VersionDoubleSet(const std::string& path, const OsFileVersion& version);
// How often OsGetFileVersion was asked since the reset.
int VersionDoubleQueries();
