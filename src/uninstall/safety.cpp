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

namespace {

// Below HKLM or HKCU, as lower-case "software\..." text; class keys as
// "software\classes\...".
const char* const kSystemKeys[] = {
    "software\\microsoft\\windows\\currentversion\\run",
    "software\\microsoft\\windows\\currentversion\\runonce",
    "software\\microsoft\\windows\\currentversion\\runonceex",
    "software\\microsoft\\windows\\currentversion\\runservices",
    "software\\microsoft\\windows\\currentversion\\runservicesonce",
    "software\\microsoft\\windows\\currentversion\\policies",
    "software\\microsoft\\windows\\currentversion\\app paths",
    "software\\microsoft\\windows\\currentversion\\explorer\\shell folders",
    "software\\microsoft\\windows\\currentversion\\explorer\\user shell folders",
    "software\\microsoft\\windows nt\\currentversion\\winlogon",
    "software\\microsoft\\windows nt\\currentversion\\windows",
    "software\\microsoft\\windows nt\\currentversion\\image file execution options",
    "software\\policies",
    "system",
    "software\\classes\\exefile", "software\\classes\\comfile", "software\\classes\\batfile",
    "software\\classes\\cmdfile", "software\\classes\\lnkfile", "software\\classes\\piffile",
    "software\\classes\\scrfile", "software\\classes\\dllfile", "software\\classes\\*",
    "software\\classes\\directory", "software\\classes\\folder", "software\\classes\\drive",
    "software\\classes\\allfilesystemobjects", "software\\classes\\clsid",
    "software\\classes\\.exe", "software\\classes\\.com", "software\\classes\\.bat",
    "software\\classes\\.cmd", "software\\classes\\.lnk", "software\\classes\\.dll",
    "software\\classes\\http", "software\\classes\\https",
};

// a is b, or one of them lies below the other.
bool OnOnePath(const std::string& a, const std::string& b) {
  const std::string& shorter = a.size() < b.size() ? a : b;
  const std::string& longer = a.size() < b.size() ? b : a;
  return longer.compare(0, shorter.size(), shorter) == 0 &&
         (longer.size() == shorter.size() || longer[shorter.size()] == '\\');
}

}  // namespace

bool IsSystemRegistryKey(uint32_t root, const std::string& subkey) {
  std::string key;
  for (char c : subkey) key += c == '/' ? '\\' : LowerAscii(c);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  // The 32-bit view names the same keys.
  const std::string wow = "software\\wow6432node";
  if (OnOnePath(key, wow) && key.size() > wow.size()) key = "software" + key.substr(wow.size());
  const std::string wowClasses = "software\\classes\\wow6432node";
  if (OnOnePath(key, wowClasses) && key.size() > wowClasses.size()) key = "software\\classes" + key.substr(wowClasses.size());
  if (root == 0x80000000u) key = key.empty() ? "software\\classes" : "software\\classes\\" + key;
  if (key.empty()) return true;
  for (const char* system : kSystemKeys) {
    if (OnOnePath(key, system)) return true;
  }
  return false;
}

bool IsSafeName(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/") != std::string::npos) return false;
  for (char c : name) {
    if (c != '.') return true;
  }
  return false;
}
