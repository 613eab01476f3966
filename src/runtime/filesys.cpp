#include "runtime/filesys.h"

#include <map>
#include <vector>

#include "platform/file.h"
#include "platform/system.h"
#include "runtime/text.h"

namespace {

std::string Cut(const std::string& path) {
  return path.size() > kMaxPath ? path.substr(0, kMaxPath) : path;
}

struct Listing {
  OsFind find = nullptr;
  OsFindData first;
  OsFindData current;
  bool firstPending = false;
  bool empty = false;
};

struct Listings {
  std::map<int, Listing> open;
  int next = 1;
};

Listings& AllListings() {
  static Listings listings;
  return listings;
}

}  // namespace

int64_t FileSize(const std::string& rawPath) {
  if (rawPath.empty()) return -1;
  std::string path = Cut(rawPath);
  if ((path.size() == 2 || path.size() == 3) && path[1] == ':') {
    if (path.size() == 2) path += '\\';
    return OsDriveType(path) > 1 ? -2 : -1;
  }
  if (path.back() == '\\' || path.back() == '/') path.pop_back();
  if (path.empty()) return -1;
  OsFindData data;
  OsFind find = OsFindFirst(path, &data, nullptr);
  if (!find) return -1;
  OsFindClose(find);
  return data.isFolder ? -2 : data.size;
}

bool FileExists(const std::string& path) { return FileSize(path) >= 0; }
bool FolderExists(const std::string& path) { return FileSize(path) == -2; }

bool CreateFolder(const std::string& rawPath) {
  std::string path = Cut(rawPath);
  while (!path.empty() && (path.back() == ' ' || path.back() == '\\' || path.back() == '/')) {
    path.pop_back();
  }
  if (path.empty()) return false;
  return OsCreateDirectory(path);
}

bool CreateFolderPath(const std::string& path, FolderPathMode mode) {
  if (FolderExists(path)) return true;
  bool ok = true;
  for (size_t i = 0; i < path.size(); i++) {
    if (path[i] != '\\' && path[i] != '/') continue;
    if (i == 0 || path[i - 1] == ':' || (i == 1 && path[0] == '\\')) continue;
    std::string prefix = path.substr(0, i + 1);
    int64_t size = FileSize(prefix);
    if (size == -2) continue;
    // A folder that another process made in the meantime counts as made.
    if (size == -1 && (CreateFolder(prefix) || FolderExists(prefix))) continue;
    ok = false;
    if (mode == kStopAtFailure) break;
  }
  return ok;
}

bool DeleteFolder(const std::string& rawPath, const std::string& pattern, int mode) {
  if (rawPath.empty()) return false;
  std::string path = AddBackslash(rawPath);
  std::string search = pattern.empty() ? "*.*" : pattern;
  OsFindData data;
  OsFind find = OsFindFirst(path + search, &data, nullptr);
  if (find) {
    do {
      if (data.name == "." || data.name == "..") continue;
      std::string entry = path + data.name;
      if (data.isFolder) {
        if (mode & kDeleteSubfolders) DeleteFolder(entry, pattern, mode);
      } else {
        if (mode & kDeleteForce) OsSetNormalAttributes(entry);
        OsDeleteFile(entry);
      }
    } while (OsFindNext(find, &data));
    OsFindClose(find);
  }
  std::string folder = path.substr(0, path.size() - 1);
  if (mode & kDeleteForce) OsSetNormalAttributes(folder);
  return OsRemoveDirectory(folder);
}

bool CopyFileReplace(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty()) return false;
  return OsCopyFile(source, target, true);
}

int64_t GetFileDate(const std::string& path, int kind) {
  if (path.empty()) return 0;
  OsFindData data;
  OsFind find = OsFindFirst(Cut(path), &data, nullptr);
  if (!find) return 0;
  OsFindClose(find);
  uint64_t ft = kind == kDateAccessed ? data.accessTime
              : kind == kDateWritten  ? data.writeTime
                                      : data.creationTime;
  int64_t seconds = 0;
  if (!OsFileTimeToLocalSeconds(ft, &seconds)) return 0;
  return seconds;
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int64_t* year, int* month, int* day) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = y + (m <= 2);
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

bool TokenAt(const std::string& mask, size_t pos, const char* token) {
  for (size_t i = 0; token[i]; ++i) {
    if (pos + i >= mask.size()) return false;
    char c = mask[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != token[i]) return false;
  }
  return true;
}

// The low `width` decimal digits of a number's magnitude, zero-padded: a
// date far outside the calendar still formats as digits.
void AppendDigits(std::string* out, int64_t value, int width) {
  if (value < 0) value = -value;  // years and fields are far from INT64_MIN
  char digits[8];
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out->append(digits, static_cast<size_t>(width));
}

}  // namespace

std::string FormatDate(const std::string& mask, int64_t date) {
  // Floor division without negating: every 64-bit date is a valid input.
  int64_t days = date / 86400;
  int64_t rest = date % 86400;
  if (rest < 0) {
    days -= 1;
    rest += 86400;
  }
  int64_t year;
  int month, day;
  CivilFromDays(days, &year, &month, &day);
  int64_t fields[6] = {year % 100, month, day, rest / 3600, rest / 60 % 60, rest % 60};
  static const char* tokens[6] = {"yy", "mm", "dd", "hh", "ii", "ss"};
  std::string out;
  for (size_t i = 0; i < mask.size();) {
    if (mask[i] == '%') {
      if (TokenAt(mask, i + 1, "yyyy")) {
        AppendDigits(&out, year, 4);
        i += 5;
        continue;
      }
      bool matched = false;
      for (int t = 0; t < 6; ++t) {
        if (TokenAt(mask, i + 1, tokens[t])) {
          AppendDigits(&out, fields[t], 2);
          i += 3;
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    out += mask[i++];
  }
  return out;
}

// The system's answer already ends in its separator: GetTempPathA promises
// the "\", and the long form keeps it.
std::string GetTemporaryFolder() { return OsGetTempPath(); }

int ListFolder(const std::string& folder, const std::string& pattern) {
  std::string search = AddBackslash(folder) + (pattern.empty() ? "*.*" : pattern);
  Listing listing;
  bool noMatch = false;
  listing.find = OsFindFirst(search, &listing.first, &noMatch);
  if (!listing.find) {
    if (!noMatch) return 0;
    listing.empty = true;
  } else {
    listing.firstPending = true;
  }
  Listings& all = AllListings();
  int id = all.next++;
  all.open[id] = listing;
  return id;
}

bool NextEntry(int id) {
  auto it = AllListings().open.find(id);
  if (it == AllListings().open.end()) return false;
  Listing& l = it->second;
  if (l.empty || !l.find) return false;
  if (l.firstPending) {
    l.firstPending = false;
    l.current = l.first;
    return true;
  }
  return OsFindNext(l.find, &l.current);
}

std::string EntryName(int id) {
  auto it = AllListings().open.find(id);
  return it == AllListings().open.end() ? std::string() : it->second.current.name;
}

int EntryType(int id) {
  auto it = AllListings().open.find(id);
  if (it == AllListings().open.end()) return 0;
  return it->second.current.isFolder ? kEntryFolder : kEntryFile;
}

void FinishListing(int id) {
  auto it = AllListings().open.find(id);
  if (it == AllListings().open.end()) return;
  if (it->second.find) OsFindClose(it->second.find);
  AllListings().open.erase(it);
}

void ResetListings() {
  for (auto& entry : AllListings().open) {
    if (entry.second.find) OsFindClose(entry.second.find);
  }
  AllListings().open.clear();
}

namespace {

// Names tried before giving up, when earlier ones are taken.
const int kNameAttempts = 16;

// Whether anything is at the path, and in *readOnlyFile whether it is a
// read-only file. Every file written asks this for its path and its backup
// name: it asks for the one path, as a folder search costs time in
// proportion to the folder's size on some systems, which made a large
// install quadratic.
bool LookAtPath(const std::string& path, bool* readOnlyFile) {
  bool isFolder = false;
  bool readOnly = false;
  const bool present = OsPathAttributes(path, &isFolder, &readOnly);
  *readOnlyFile = present && !isFolder && readOnly;
  return present;
}

bool IsReadOnlyFile(const std::string& path) {
  bool readOnly = false;
  LookAtPath(path, &readOnly);
  return readOnly;
}

bool PathIsTaken(const std::string& path) {
  bool readOnly = false;
  return LookAtPath(path, &readOnly);
}

bool BeginWriting(const std::string& path, bool createOnly, bool knownAbsent, ReplacingFile* out) {
  *out = ReplacingFile();
  if (path.empty()) return false;
  bool present = false;
  if (createOnly) {
    if (PathIsTaken(path)) return false;
  } else if (!knownAbsent) {
    // One question tells both: a read-only file is never written, and a name
    // that nothing holds needs no replace at the end.
    bool readOnly = false;
    present = LookAtPath(path, &readOnly);
    if (readOnly) return false;
  }
  out->path = path;
  out->createOnly = createOnly;
  out->fresh = !present;
  // The temporary file sits in the same folder so that the final move is a
  // rename on one volume; the platform takes paths of any length, so there
  // is always room for its name. The exclusive create settles which writer
  // owns a name; the GUID (or, without one, the seed) only makes clashes
  // rare. A fresh file is opened so that it can be moved while open: its
  // times are then set once more on the handle after the move, with no
  // second open.
  const std::string folder = FolderPart(path);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string temp = folder + TemporaryFileName(OsCreateGuidText(), OsNameSeed());
    OsFile file = OsOpenFile(temp, out->fresh ? kOsOpenCreateNewMovable : kOsOpenCreateNew);
    if (file) {
      out->file = file;
      out->tempPath = temp;
      return true;
    }
    if (!PathIsTaken(temp)) break;  // not a clash: the folder is missing or refuses
  }
  *out = ReplacingFile();
  return false;
}

// The move of a fresh file, still open: a plain move that never replaces.
// Its times go down once more on the open handle afterwards, as a file
// system that tunnels names may hand a deleted file's creation time to the
// new name. False with the file still open when the name was taken
// meanwhile or the move was refused.
bool PlaceFreshFile(ReplacingFile* f, uint64_t creationTime, uint64_t writeTime) {
  if (!OsMoveOpenFile(f->file, f->tempPath, f->path)) return false;
  if (creationTime) OsSetFileTimes(f->file, creationTime, writeTime);
  OsCloseFile(f->file);
  f->file = nullptr;
  return true;
}

}  // namespace

bool BeginReplacingFile(const std::string& path, ReplacingFile* out) {
  return BeginWriting(path, false, false, out);
}
bool BeginWritingNewFile(const std::string& path, ReplacingFile* out) { return BeginWriting(path, false, true, out); }
bool BeginCreatingFile(const std::string& path, ReplacingFile* out) { return BeginWriting(path, true, false, out); }

bool FinishReplacingFile(ReplacingFile* f, uint64_t creationTime, uint64_t writeTime) {
  f->placeRefused = false;
  if (!f->file) return false;
  bool ok = true;
  if (creationTime || writeTime) ok = OsSetFileTimes(f->file, creationTime, writeTime);
  if (ok && f->fresh && PlaceFreshFile(f, creationTime, writeTime)) return true;
  OsCloseFile(f->file);
  f->file = nullptr;
  if (ok) {
    // A create never replaces: its one move was the fresh file's. A fresh
    // file whose name was taken meanwhile replaces what came, as any
    // existing file is replaced, unless that is read-only.
    ok = !f->createOnly && !(f->fresh && IsReadOnlyFile(f->path)) && OsReplaceFile(f->tempPath, f->path);
    f->placeRefused = !ok;
  }
  if (!ok) {
    const uint32_t error = OsLastError();
    OsDeleteFile(f->tempPath);
    OsSetLastError(error);
    return false;
  }
  if (creationTime) {
    // The replace hands over the replaced file's creation time, and a file
    // system that tunnels names hands it on even to a moved file: set it
    // once more.
    OsFile placed = OsOpenFile(f->path, kOsOpenReadWrite);
    if (placed) {
      OsSetFileTimes(placed, creationTime, writeTime);
      OsCloseFile(placed);
    }
  }
  return true;
}

void AbandonReplacingFile(ReplacingFile* f) {
  // The failure's code outlives the clean-up: the caller tells a full disk by it.
  const uint32_t error = OsLastError();
  if (f->file) OsCloseFile(f->file);
  f->file = nullptr;
  if (!f->tempPath.empty()) OsDeleteFile(f->tempPath);
  OsSetLastError(error);
}

namespace {

bool IsTemporaryName(const std::string& name) {
  if (name.size() != kTemporaryNameLength || name.compare(0, 3, "~zd") != 0) return false;
  for (size_t i = 3; i < 7; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
  }
  const std::string kind = name.substr(7);
  return EqualNoCase(kind, ".tmp") || EqualNoCase(kind, ".old");
}

}  // namespace

int RemoveStaleTemporaries(const std::string& folder) {
  const std::string base = AddBackslash(folder);
  int removed = 0;
  OsFindData data;
  OsFind find = OsFindFirst(base + "~zd*.*", &data, nullptr);
  if (!find) return 0;
  do {
    if (!data.isFolder && !data.isLink && IsTemporaryName(data.name) && OsDeleteFile(base + data.name)) removed++;
  } while (OsFindNext(find, &data));
  OsFindClose(find);
  return removed;
}

std::string TemporaryFileName(const std::string& guidText, uint32_t seed) {
  // FNV-1a over the text, the seed mixed in, then a finalising mix so that
  // every bit of both reaches the 16 bits that the name shows.
  uint32_t hash = 2166136261u;
  for (char c : guidText) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  hash ^= seed;
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  hash *= 0xC2B2AE35u;
  hash ^= hash >> 16;
  static const char kHex[] = "0123456789ABCDEF";
  std::string name = "~zd";
  for (int shift = 12; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 15];
  return name + ".tmp";
}

bool NormalizeFolderPath(const std::string& path, std::string* out) {
  out->clear();
  std::string p = path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  const bool unc = p.size() > 2 && p[0] == '\\' && p[1] == '\\' && p[2] != '\\';
  const bool drive = p.size() >= 3 && p[1] == ':' && p[2] == '\\' &&
                     ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (!unc && !drive) {
    *out = path;
    return true;
  }
  const std::string root = unc ? "\\\\" : p.substr(0, 3);
  const bool closing = p.back() == '\\';
  std::vector<std::string> parts;
  size_t start = root.size();
  while (start <= p.size()) {
    size_t end = p.find('\\', start);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      // Server and share are the root of a UNC path: nothing climbs past them.
      if (parts.empty() || (unc && parts.size() <= 2)) return false;
      parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) return false;
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
          c == '>' || c == '|') {
        return false;
      }
    }
    parts.push_back(part);
  }
  if (unc && parts.size() < 2) return false;
  std::string result = root;
  for (size_t i = 0; i < parts.size(); ++i) result += (i ? "\\" : "") + parts[i];
  if (closing && !parts.empty()) result += '\\';
  *out = result;
  return true;
}

std::string AddBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path;
  return path + '\\';
}

std::string FolderPart(const std::string& path, const char* separators) {
  size_t pos = path.find_last_of(separators);
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string FileNamePart(const std::string& path) {
  size_t pos = path.find_last_of("\\/");
  return pos == std::string::npos ? path : path.substr(pos + 1);
}
