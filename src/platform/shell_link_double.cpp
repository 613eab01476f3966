// The link double: each link is recorded, and a marker file written where
// the ".lnk" would be.
#include <cstdio>
#include <vector>

#include "platform/path_posix.h"
#include "platform/shell_link.h"
#include "platform/shell_link_double.h"

namespace {

std::vector<ShellLinkFields>& Links() {
  static std::vector<ShellLinkFields> links;
  return links;
}

}  // namespace

void ResetShellLinkDouble() { Links().clear(); }

const std::vector<ShellLinkFields>& ShellLinkDoubleLinks() { return Links(); }

bool OsCreateShellLink(const ShellLinkFields& link) {
  Links().push_back(link);
  // Like Save, this fails when the folder is missing and overwrites a file.
  FILE* file = fopen(ToPosixPath(link.linkFile).c_str(), "wb");
  if (!file) return false;
  bool written = fprintf(file, "%s%s\n", kShellLinkMarker, link.target.c_str()) > 0;
  return fclose(file) == 0 && written;
}
