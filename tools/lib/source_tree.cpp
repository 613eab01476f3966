#include "lib/source_tree.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <system_error>

#include "lib/names.h"
#include "lib/package_writer.h"
#include "platform/file.h"
#include "platform/filetime.h"

namespace fs = std::filesystem;

namespace {

uint64_t SourceDateEpochLimit() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == 0) return UINT64_MAX;
  char* end = nullptr;
  long long seconds = std::strtoll(text, &end, 10);
  if (*end != 0 || seconds < 0) return UINT64_MAX;
  return UnixToFileTime(seconds, 0);
}

bool StatItem(SourceItem* item, std::string* error) {
  OsFindData data;
  OsFind find = OsFindFirst(item->path.string(), &data, nullptr);
  if (find == nullptr) {
    *error = "cannot read the times of " + item->path.string();
    return false;
  }
  OsFindClose(find);
  uint64_t limit = SourceDateEpochLimit();
  item->lastWriteTime = std::min(data.writeTime, limit);
  item->creationTime = std::min(data.creationTime != 0 ? data.creationTime : data.writeTime, limit);
  return true;
}

// Fills in one item of the walk: its stored name, kind and size.
bool DescribeItem(const fs::path& root, const fs::directory_entry& found, SourceItem* item, std::string* error) {
  const fs::path& path = found.path();
  item->path = path;
  for (const fs::path& part : path.lexically_relative(root)) {
    std::string ansi, why;
    if (!ToPackageComponent(part.u8string(), &ansi, &why)) {
      *error = path.string() + ": the name cannot be stored: " + why;
      return false;
    }
    if (!item->name.empty()) item->name += "\\";
    item->name += ansi;
  }
  std::error_code code;
  fs::file_status status = fs::status(path, code);
  if (code) {
    *error = path.string() + ": " + code.message();
    return false;
  }
  if (fs::is_directory(status)) {
    if (fs::is_symlink(found.symlink_status(code))) {
      *error = path.string() + ": links to folders are not packed";
      return false;
    }
    item->folder = true;
    item->name += "\\";
  } else if (fs::is_regular_file(status)) {
    uintmax_t size = fs::file_size(path, code);
    if (code) {
      *error = path.string() + ": " + code.message();
      return false;
    }
    if (size >= uintmax_t(kMaxPackageBytes)) {
      *error = path.string() + ": files of 2 GiB or more cannot be packed";
      return false;
    }
    item->size = static_cast<int64_t>(size);
  } else {
    *error = path.string() + ": not a regular file or folder";
    return false;
  }
  return StatItem(item, error);
}

}  // namespace

bool CollectTree(const fs::path& root, std::vector<SourceItem>* items, std::string* error) {
  std::error_code code;
  if (!fs::is_directory(root, code)) {
    *error = root.string() + ": no such folder";
    return false;
  }
  fs::recursive_directory_iterator it(root, code), end;
  for (; !code && it != end; it.increment(code)) {
    SourceItem item;
    if (!DescribeItem(root, *it, &item, error)) return false;
    items->push_back(item);
  }
  if (code) {
    *error = "cannot read " + root.string() + ": " + code.message();
    return false;
  }
  SortByName(items);
  return true;
}

bool CheckDuplicates(const std::vector<SourceItem>& items, std::string* error) {
  std::map<std::string, std::string> seen;
  for (const SourceItem& item : items) {
    auto found = seen.emplace(NameKey(item.name), item.name);
    if (!found.second) {
      *error = "\"" + PackageNameToUtf8(found.first->second) + "\" and \"" + PackageNameToUtf8(item.name) +
               "\" would be one file on Windows";
      return false;
    }
  }
  return true;
}

void SortByName(std::vector<SourceItem>* items) {
  std::sort(items->begin(), items->end(), [](const SourceItem& a, const SourceItem& b) { return a.name < b.name; });
}

namespace {

std::string SolidKey(const std::string& name) {
  size_t slash = name.rfind('\\');
  size_t dot = name.rfind('.');
  std::string extension;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) extension = name.substr(dot + 1);
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace

void SortForSolid(std::vector<SourceItem>* items) {
  std::vector<std::string> keys(items->size());
  std::vector<size_t> order(items->size());
  for (size_t i = 0; i < items->size(); i++) {
    keys[i] = SolidKey((*items)[i].name);
    order[i] = i;
  }
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const SourceItem& x = (*items)[a];
    const SourceItem& y = (*items)[b];
    if (x.folder != y.folder) return x.folder;
    if (!x.folder && keys[a] != keys[b]) return keys[a] < keys[b];
    return x.name < y.name;
  });
  std::vector<SourceItem> sorted;
  sorted.reserve(items->size());
  for (size_t i : order) sorted.push_back((*items)[i]);
  items->swap(sorted);
}

int64_t TotalBytes(const std::vector<SourceItem>& items) {
  int64_t total = 0;
  for (const SourceItem& item : items) total += item.size;
  return total;
}

bool ReadFileBytes(const fs::path& path, int64_t expected, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->resize(static_cast<size_t>(expected));
  if (expected > 0) in.read(reinterpret_cast<char*>(bytes->data()), expected);
  if (in.gcount() != expected && expected > 0) return false;
  // A file that grew while we read it would be stored cut off.
  return in.peek() == std::char_traits<char>::eof();
}

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
  return uint64_t(seconds) * kFileTimeTicksPerSecond + kFileTimeUnixEpoch + nanoseconds / 100;
}
