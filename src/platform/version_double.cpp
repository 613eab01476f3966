// The version resource double: a map from path to the values a test set.
#include <map>

#include "platform/version.h"
#include "platform/version_double.h"

namespace {

struct VersionDouble {
  std::map<std::string, OsFileVersion> files;
  int queries = 0;
};

VersionDouble& Double() {
  static VersionDouble d;
  return d;
}

}  // namespace

void ResetVersionDouble() { Double() = VersionDouble(); }
void VersionDoubleSet(const std::string& path, const OsFileVersion& version) { Double().files[path] = version; }
int VersionDoubleQueries() { return Double().queries; }

bool OsGetFileVersion(const std::string& path, OsFileVersion* out) {
  *out = OsFileVersion();
  ++Double().queries;
  auto found = Double().files.find(path);
  if (found == Double().files.end()) return false;
  *out = found->second;
  return true;
}
