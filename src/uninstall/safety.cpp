#include "uninstall/safety.h"

#include "runtime/text.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops dots and blanks at the end of a component, so "..", ". ."
// and "... " all name the parent, and "" or " " the folder itself.
bool IsDotsAndBlanks(const std::string& component) {
  for (char c : component) {
    if (c != '.' && c != ' ') return false;
  }
  return true;
}

// Every component between separators is a name: none empty (except after
// a final separator), none of dots and blanks alone, none with ":" (a drive
// or a stream).
bool SafeComponents(const std::string& rest) {
  if (rest.empty()) return false;
  size_t start = 0;
  for (;;) {
    size_t end = rest.find_first_of("\\/", start);
    bool last = end == std::string::npos;
    std::string component = rest.substr(start, last ? std::string::npos : end - start);
    if (component.empty()) {
      if (!last || start == 0) return false;
    } else if (IsDotsAndBlanks(component) || component.find(':') != std::string::npos) {
      return false;
    }
    if (last) return true;
    start = end + 1;
  }
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of the root: 3 for "X:\", the length through the share's "\" for
// "\\server\share\", 1 for a lone "\" (the root of the current drive on
// Windows, the file system's root natively); 0 when the path has no root.
size_t RootLength(const std::string& path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return 3;
  if (!path.empty() && IsSeparator(path[0]) && (path.size() == 1 || !IsSeparator(path[1]))) return 1;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
  size_t server = 2;
  while (server < path.size() && !IsSeparator(path[server])) ++server;
  if (server == 2 || server >= path.size()) return 0;
  size_t share = server + 1;
  while (share < path.size() && !IsSeparator(path[share])) ++share;
  // "\\server\share" alone names no folder below the share.
  if (share == server + 1 || share >= path.size()) return 0;
  std::string names = path.substr(2, share - 2);
  if (names.find(':') != std::string::npos || names.find('?') != std::string::npos) return 0;
  return share + 1;
}

// folder is equal to or above path (both normalised folders).
bool HoldsFolder(const std::string& folder, const std::string& path) {
  return path.size() >= folder.size() && EqualNoCase(path.substr(0, folder.size()), folder);
}

}  // namespace

bool IsFullPath(const std::string& path) {
  size_t root = RootLength(path);
  if (root == 0) return false;
  std::string rest = path.substr(root);
  return rest.empty() || SafeComponents(rest);
}

bool IsSafeRelativePath(const std::string& entry) {
  if (entry.empty() || IsSeparator(entry[0])) return false;
  return SafeComponents(entry);
}

bool IsLinkPath(const std::string& path) {
  if (!IsFullPath(path) || path.size() < 5 || IsSeparator(path.back())) return false;
  return EqualNoCase(path.substr(path.size() - 4), ".lnk");
}

std::string NormaliseFolder(const std::string& folder) {
  std::string out;
  for (size_t i = 0; i < folder.size(); ++i) {
    char c = IsSeparator(folder[i]) ? '\\' : folder[i];
    // Keep the two of a UNC start; fold any other run.
    if (c == '\\' && !out.empty() && out.back() == '\\' && i > 1) continue;
    out += c;
  }
  if (out.empty() || out.back() != '\\') out += '\\';
  return out;
}

bool SameFolder(const std::string& a, const std::string& b) {
  return EqualNoCase(NormaliseFolder(a), NormaliseFolder(b));
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  std::string base = NormaliseFolder(folder);
  std::string normal = NormaliseFolder(path);  // ends in "\" either way
  if (normal.size() <= base.size() || !EqualNoCase(normal.substr(0, base.size()), base)) return false;
  return IsSafeRelativePath(normal.substr(base.size()));
}

bool IsRootFolder(const std::string& folder) {
  std::string f = NormaliseFolder(folder);
  size_t root = RootLength(f);
  return root == 0 || f.size() <= root;
}

ProgDirCheck CheckProgDir(const std::string& progDir, const std::string& ownFolder,
                          const std::string& windowsFolder, const std::vector<std::string>& protectedFolders) {
  if (!IsFullPath(progDir)) return kProgDirNotFull;
  std::string dir = NormaliseFolder(progDir);
  if (!ownFolder.empty() && !SameFolder(dir, ownFolder)) return kProgDirNotOwnFolder;
  if (IsRootFolder(dir)) return kProgDirRoot;
  if (!windowsFolder.empty() && HoldsFolder(NormaliseFolder(windowsFolder), dir)) return kProgDirProtected;
  for (const std::string& folder : protectedFolders) {
    if (folder.empty()) continue;
    if (HoldsFolder(dir, NormaliseFolder(folder))) return kProgDirProtected;
  }
  return kProgDirGood;
}

bool IsTaskRegistryRoot(uint32_t root) {
  return root == 0x80000000u || root == 0x80000001u || root == 0x80000002u;
}

bool IsSafeSubkey(const std::string& subkey) {
  if (subkey.empty() || subkey[0] == '\\' || subkey.back() == '\\') return false;
  return subkey.find("\\\\") == std::string::npos;
}

bool IsSafeName(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/") != std::string::npos) return false;
  for (char c : name) {
    if (c != '.') return true;
  }
  return false;
}
