#include "lib/zandor_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "lib/package_writer.h"
#include "package/block.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/file.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

const char kHelp[] =
    "zandor - builds Zandor installers and packages\n"
    "\n"
    "Usage:\n"
    "  zandor pack DIR -o FILE.pck [--level fast|default|best]\n"
    "      Packs the folder DIR into a stand-alone package.\n"
    "  zandor build SETUPDIR -o Install.exe [--program DIR] [--stub STUB.exe] [--level ...]\n"
    "      Packs DIR into setup.pck, adds it to the files of SETUPDIR (setup.ini,\n"
    "      language files, licence, readme, pictures, hooks, script) and appends\n"
    "      that package to the installer stub. Without --program, a setup.pck in\n"
    "      SETUPDIR is taken as it is. The default stub is Install.exe beside zandor.\n"
    "  zandor list FILE          Lists the entries of a package or installer.\n"
    "  zandor extract FILE DIR   Extracts a package with the installer's own code.\n"
    "  zandor verify FILE        Checks the layout, every block and every checksum.\n"
    "  zandor --help             Shows this text.\n"
    "\n"
    "Entries are stored in byte-wise order of their names, folders before their\n"
    "contents, with \"\\\" separators and names in the Windows-1252 code page.\n"
    "Identical input gives identical output. When SOURCE_DATE_EPOCH is set (unix\n"
    "seconds), no stored file time is later than it.\n"
    "Exit codes: 0 success, 1 failure (message on stderr), 2 usage error.\n";

// Windows-1252 bytes 80..9F; 0 where the code page has no character.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::string output;
  std::string program;
  std::string stub;
  CompressLevel level = kLevelDefault;
};

// One file or folder found under a source folder.
struct SourceItem {
  std::string name;  // stored name: "\" separators, folders end in "\"
  fs::path path;
  bool folder = false;
  int64_t size = 0;
  uint64_t creationTime = 0;
  uint64_t lastWriteTime = 0;
};

struct Progress {
  const ZandorContext* context = nullptr;
  const char* what = "";
  int64_t total = 0;
  int64_t done = 0;
  int lastPercent = -1;
};

std::ostream& Err(const ZandorContext& context) { return *context.err; }

void ShowProgress(Progress* progress, int64_t add) {
  progress->done += add;
  if (!progress->context->progress || progress->total <= 0) return;
  int percent = static_cast<int>(progress->done * 100 / progress->total);
  if (percent == progress->lastPercent) return;
  progress->lastPercent = percent;
  Err(*progress->context) << "\rzandor: " << progress->what << " " << percent << "%" << std::flush;
}

void EndProgress(Progress* progress) {
  if (progress->context->progress && progress->lastPercent >= 0) Err(*progress->context) << "\r\033[K" << std::flush;
  progress->lastPercent = -1;
}

bool DecodeUtf8(const std::string& text, size_t* index, uint32_t* code) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = *index, n = text.size();
  unsigned char c = s[i];
  int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + extra >= n) return false;
  uint32_t value = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
  for (int k = 1; k <= extra; k++) {
    if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return false;
    value = value << 6 | (s[i + k] & 0x3F);
  }
  static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *code = value;
  *index = i + extra + 1;
  return true;
}

bool IsReservedDeviceName(const std::string& ansi) {
  std::string base = ansi.substr(0, ansi.find('.'));
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* name : kNames) {
    if (base == name) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Windows compares names without regard to case, so two names that differ
// only in case would land on one file.
std::string FoldCase(const std::string& ansi) {
  std::string out = ansi;
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = static_cast<char>(u - 0x20);
  }
  return out;
}

uint64_t SourceDateEpochLimit() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == 0) return UINT64_MAX;
  char* end = nullptr;
  long long seconds = std::strtoll(text, &end, 10);
  if (*end != 0 || seconds < 0) return UINT64_MAX;
  return UnixToFileTime(seconds, 0);
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

bool StatItem(const ZandorContext& context, SourceItem* item) {
  OsFindData data;
  OsFind find = OsFindFirst(item->path.string(), &data, nullptr);
  if (find == nullptr) {
    Err(context) << "zandor: cannot read the times of " << item->path.string() << "\n";
    return false;
  }
  OsFindClose(find);
  uint64_t limit = SourceDateEpochLimit();
  item->lastWriteTime = std::min(data.writeTime, limit);
  item->creationTime = std::min(data.creationTime != 0 ? data.creationTime : data.writeTime, limit);
  return true;
}

// Walks root and lists every folder and regular file below it with its
// stored name, sorted byte-wise (a folder's "\" name sorts before its
// contents because it is their prefix).
bool CollectTree(const ZandorContext& context, const fs::path& root, std::vector<SourceItem>* items) {
  std::error_code error;
  if (!fs::is_directory(root, error)) {
    Err(context) << "zandor: " << root.string() << ": no such folder\n";
    return false;
  }
  fs::recursive_directory_iterator it(root, error), end;
  if (error) {
    Err(context) << "zandor: cannot read " << root.string() << ": " << error.message() << "\n";
    return false;
  }
  for (; it != end; it.increment(error)) {
    if (error) break;
    const fs::path& path = it->path();
    fs::path relative = path.lexically_relative(root);
    SourceItem item;
    item.path = path;
    for (const fs::path& part : relative) {
      std::string ansi, why;
      if (!ToPackageComponent(part.u8string(), &ansi, &why)) {
        Err(context) << "zandor: " << path.string() << ": the name cannot be stored: " << why << "\n";
        return false;
      }
      if (!item.name.empty()) item.name += "\\";
      item.name += ansi;
    }
    fs::file_status status = fs::status(path, error);
    if (error) {
      Err(context) << "zandor: " << path.string() << ": " << error.message() << "\n";
      return false;
    }
    if (fs::is_directory(status)) {
      if (fs::is_symlink(it->symlink_status(error))) {
        Err(context) << "zandor: " << path.string() << ": links to folders are not packed\n";
        return false;
      }
      item.folder = true;
      item.name += "\\";
    } else if (fs::is_regular_file(status)) {
      uintmax_t size = fs::file_size(path, error);
      if (error) {
        Err(context) << "zandor: " << path.string() << ": " << error.message() << "\n";
        return false;
      }
      if (size >= uintmax_t(kMaxPackageBytes)) {
        Err(context) << "zandor: " << path.string() << ": files of 2 GiB or more cannot be packed\n";
        return false;
      }
      item.size = static_cast<int64_t>(size);
    } else {
      Err(context) << "zandor: " << path.string() << ": not a regular file or folder\n";
      return false;
    }
    if (!StatItem(context, &item)) return false;
    items->push_back(item);
  }
  if (error) {
    Err(context) << "zandor: cannot read " << root.string() << ": " << error.message() << "\n";
    return false;
  }
  std::sort(items->begin(), items->end(),
            [](const SourceItem& a, const SourceItem& b) { return a.name < b.name; });
  return true;
}

bool CheckDuplicates(const ZandorContext& context, const std::vector<SourceItem>& items) {
  std::map<std::string, std::string> seen;
  for (const SourceItem& item : items) {
    std::string key = FoldCase(item.name);
    if (!key.empty() && key.back() == '\\') key.pop_back();
    auto found = seen.find(key);
    if (found != seen.end()) {
      Err(context) << "zandor: \"" << PackageNameToUtf8(found->second) << "\" and \""
                   << PackageNameToUtf8(item.name) << "\" would be one file on Windows\n";
      return false;
    }
    seen[key] = item.name;
  }
  return true;
}

int64_t TotalBytes(const std::vector<SourceItem>& items) {
  int64_t total = 0;
  for (const SourceItem& item : items) total += item.size;
  return total;
}

// Writes items into a package at output after prefix. extraName/extraBytes
// add one more file that does not come from disk (setup.pck of a build).
bool WritePackage(const ZandorContext& context, const std::vector<SourceItem>& items,
                  const std::vector<uint8_t>& prefix, const std::string& output, CompressLevel level,
                  Progress* progress, const std::map<std::string, const std::vector<uint8_t>*>& memoryFiles) {
  PackageWriter writer;
  if (!BeginPackage(&writer, output, prefix, level)) {
    Err(context) << "zandor: " << writer.error << "\n";
    return false;
  }
  std::vector<uint8_t> bytes;
  for (const SourceItem& item : items) {
    bool ok;
    if (item.folder) {
      ok = AddFolderEntry(&writer, item.name, item.creationTime, item.lastWriteTime);
    } else {
      auto memory = memoryFiles.find(item.name);
      const std::vector<uint8_t>* data = &bytes;
      if (memory != memoryFiles.end()) {
        data = memory->second;
      } else if (!ReadFileBytes(item.path, item.size, &bytes)) {
        Err(context) << "zandor: cannot read " << item.path.string() << "\n";
        AbandonPackage(&writer);
        return false;
      }
      ok = AddFileEntry(&writer, item.name, data->data(), data->size(), item.creationTime, item.lastWriteTime);
      ShowProgress(progress, static_cast<int64_t>(data->size()));
    }
    if (!ok) {
      EndProgress(progress);
      Err(context) << "zandor: " << writer.error << "\n";
      AbandonPackage(&writer);
      return false;
    }
  }
  bool finished = FinishPackage(&writer);
  EndProgress(progress);
  if (!finished) {
    Err(context) << "zandor: " << writer.error << "\n";
    return false;
  }
  return true;
}

bool PackFolderTo(const ZandorContext& context, const std::string& folder, const std::string& output,
                  CompressLevel level, const char* what) {
  std::vector<SourceItem> items;
  if (!CollectTree(context, folder, &items) || !CheckDuplicates(context, items)) return false;
  Progress progress;
  progress.context = &context;
  progress.what = what;
  progress.total = TotalBytes(items);
  return WritePackage(context, items, {}, output, level, &progress, {});
}

int Usage(const ZandorContext& context, const std::string& message) {
  Err(context) << "zandor: " << message << "\nRun \"zandor --help\" for usage.\n";
  return kZandorUsage;
}

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* message) {
  for (size_t i = 1; i < args.size(); i++) {
    const std::string& arg = args[i];
    bool takesValue = arg == "-o" || arg == "--output" || arg == "--level" || arg == "--program" || arg == "--stub";
    if (takesValue) {
      if (i + 1 >= args.size()) {
        *message = arg + " needs a value";
        return false;
      }
      const std::string& value = args[++i];
      if (arg == "-o" || arg == "--output") {
        options->output = value;
      } else if (arg == "--program") {
        options->program = value;
      } else if (arg == "--stub") {
        options->stub = value;
      } else if (!ParseLevel(value, &options->level)) {
        *message = "unknown level \"" + value + "\" (fast, default or best)";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *message = "unknown option " + arg;
      return false;
    } else {
      options->operands.push_back(arg);
    }
  }
  return true;
}

int CommandPack(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "pack takes one folder");
  if (options.output.empty()) return Usage(context, "pack needs -o FILE.pck");
  if (!options.program.empty() || !options.stub.empty()) return Usage(context, "--program and --stub belong to build");
  return PackFolderTo(context, options.operands[0], options.output, options.level, "packing") ? kZandorOk
                                                                                              : kZandorFailed;
}

bool EqualsNoCase(const std::string& a, const std::string& b) { return FoldCase(a) == FoldCase(b); }

int CommandBuild(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "build takes one setup folder");
  if (options.output.empty()) return Usage(context, "build needs -o Install.exe");
  const std::string& setupDir = options.operands[0];
  std::error_code error;

  std::string stubPath = options.stub;
  if (stubPath.empty()) {
    stubPath = (fs::path(context.selfPath).parent_path() / "Install.exe").string();
    if (context.selfPath.empty() || !fs::is_regular_file(stubPath, error)) {
      Err(context) << "zandor: no installer stub Install.exe beside zandor; pass --stub STUB.exe\n";
      return kZandorFailed;
    }
  }
  if (!fs::is_regular_file(stubPath, error)) {
    Err(context) << "zandor: " << stubPath << ": no such stub file\n";
    return kZandorFailed;
  }
  uintmax_t stubSize = fs::file_size(stubPath, error);
  std::vector<uint8_t> stub;
  if (error || stubSize == 0 || stubSize >= uintmax_t(kMaxPackageBytes) ||
      !ReadFileBytes(stubPath, static_cast<int64_t>(stubSize), &stub)) {
    Err(context) << "zandor: " << stubPath << ": cannot read the stub, or it is empty\n";
    return kZandorFailed;
  }
  if (stub.size() >= 4 && std::memcmp(stub.data() + stub.size() - 4, "Pack", 4) == 0) {
    Err(context) << "zandor: " << stubPath << " already carries a package; use the bare installer stub\n";
    return kZandorFailed;
  }

  std::vector<SourceItem> items;
  if (!CollectTree(context, setupDir, &items)) return kZandorFailed;
  bool hasIni = false;
  for (const SourceItem& item : items) hasIni = hasIni || (!item.folder && EqualsNoCase(item.name, "setup.ini"));
  if (!hasIni) {
    Err(context) << "zandor: " << setupDir << " has no setup.ini\n";
    return kZandorFailed;
  }

  std::vector<uint8_t> inner;
  std::map<std::string, const std::vector<uint8_t>*> memoryFiles;
  if (!options.program.empty()) {
    std::vector<SourceItem> programItems;
    if (!CollectTree(context, options.program, &programItems) || !CheckDuplicates(context, programItems)) {
      return kZandorFailed;
    }
    std::string innerPath = options.output + ".setup-pck.tmp";
    Progress progress;
    progress.context = &context;
    progress.what = "packing program files";
    progress.total = TotalBytes(programItems);
    bool packed = WritePackage(context, programItems, {}, innerPath, options.level, &progress, {});
    uintmax_t innerSize = packed ? fs::file_size(innerPath, error) : 0;
    bool read = packed && !error && ReadFileBytes(innerPath, static_cast<int64_t>(innerSize), &inner);
    fs::remove(innerPath, error);
    if (!packed) return kZandorFailed;
    if (!read) {
      Err(context) << "zandor: cannot read back the program package\n";
      return kZandorFailed;
    }
    SourceItem pck;
    pck.name = "setup.pck";
    pck.size = static_cast<int64_t>(inner.size());
    // The newest program file dates the package, so equal input gives
    // equal output.
    for (const SourceItem& item : programItems) {
      pck.lastWriteTime = std::max(pck.lastWriteTime, item.lastWriteTime);
    }
    pck.creationTime = pck.lastWriteTime;
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const SourceItem& item) { return EqualsNoCase(item.name, "setup.pck"); }),
                items.end());
    items.push_back(pck);
    std::sort(items.begin(), items.end(), [](const SourceItem& a, const SourceItem& b) { return a.name < b.name; });
    memoryFiles["setup.pck"] = &inner;
  } else {
    bool hasPck = false;
    for (const SourceItem& item : items) hasPck = hasPck || (!item.folder && EqualsNoCase(item.name, "setup.pck"));
    if (!hasPck) {
      Err(context) << "zandor: " << setupDir << " has no setup.pck; pass --program DIR to pack the program files\n";
      return kZandorFailed;
    }
  }
  if (!CheckDuplicates(context, items)) return kZandorFailed;

  Progress progress;
  progress.context = &context;
  progress.what = "building installer";
  progress.total = TotalBytes(items);
  if (!WritePackage(context, items, stub, options.output, options.level, &progress, memoryFiles)) {
    return kZandorFailed;
  }
  fs::permissions(options.output, fs::status(stubPath, error).permissions() | fs::perms::owner_exec,
                  fs::perm_options::replace, error);
  return kZandorOk;
}

bool OpenForTool(const ZandorContext& context, const std::string& path) {
  if (OpenPackage(path, nullptr)) return true;
  Err(context) << "zandor: " << path << ": " << PackageOpenResultText(Package().lastResult) << "\n";
  ClosePackage();
  return false;
}

const char* KindText(int32_t kind) {
  return kind == kEntryKindFolder ? "folder" : kind == kEntryKindFile ? "file" : "other";
}

int CommandList(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "list takes one package file");
  if (!OpenForTool(context, options.operands[0])) return kZandorFailed;
  std::ostream& out = *context.out;
  out << "kind\tsize\tstored\tcreated\tlast written\tname\n";
  for (const PackageEntry& entry : Package().entries) {
    out << KindText(entry.kind) << "\t" << entry.size << "\t" << entry.storedSize << "\t"
        << FormatFileTime(entry.creationTime) << "\t" << FormatFileTime(entry.lastWriteTime) << "\t"
        << PackageNameToUtf8(entry.name) << "\n";
  }
  out << Package().entries.size() << " entries, " << PackageTotalSize() << " bytes, data from offset "
      << Package().dataStart << "\n";
  ClosePackage();
  return kZandorOk;
}

int CommandExtract(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 2) return Usage(context, "extract takes a package file and a folder");
  if (!OpenForTool(context, options.operands[0])) return kZandorFailed;
  std::error_code error;
  fs::create_directories(options.operands[1], error);
  bool complete = ExtractPackage(options.operands[1], "");
  ClosePackage();
  if (!complete) {
    Err(context) << "zandor: " << options.operands[0] << ": some entries were not extracted "
                 << "(unsafe names, damaged blocks or files that cannot be written); run zandor verify\n";
    return kZandorFailed;
  }
  return kZandorOk;
}

int CommandVerify(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "verify takes one package file");
  const std::string& path = options.operands[0];
  if (!OpenForTool(context, path)) return kZandorFailed;
  const PackageReader& package = Package();
  int faults = 0;
  auto fault = [&](size_t index, const PackageEntry& entry, const std::string& what) {
    Err(context) << "zandor: " << path << ": entry " << index + 1 << " \"" << PackageNameToUtf8(entry.name)
                 << "\": " << what << "\n";
    faults++;
  };
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Err(context) << "zandor: cannot read " << path << "\n";
    return kZandorFailed;
  }
  in.seekg(package.dataStart);
  int64_t position = package.dataStart;
  std::map<std::string, size_t> names;
  std::vector<uint8_t> block, expanded;
  for (size_t i = 0; i < package.entries.size(); i++) {
    const PackageEntry& entry = package.entries[i];
    if (entry.kind != kEntryKindFolder && entry.kind != kEntryKindFile) {
      fault(i, entry, "unknown kind " + std::to_string(entry.kind));
      continue;
    }
    bool folder = entry.kind == kEntryKindFolder;
    if (!IsSafeEntryName(entry.name, folder)) fault(i, entry, "the name would land outside the destination");
    std::string key = FoldCase(entry.name);
    if (!key.empty() && key.back() == '\\') key.pop_back();
    if (!names.emplace(key, i).second) fault(i, entry, "the name appears twice");
    if (folder) continue;
    if (entry.size < 0) fault(i, entry, "negative size");
    if (entry.size <= 0) {
      if (entry.storedSize != 0) fault(i, entry, "an empty file with a stored block");
      continue;
    }
    if (entry.offset != position) {
      fault(i, entry, "offset " + std::to_string(entry.offset) + " but the block lies at " + std::to_string(position));
    }
    block.resize(static_cast<size_t>(entry.storedSize));
    in.read(reinterpret_cast<char*>(block.data()), entry.storedSize);
    position += entry.storedSize;
    if (in.gcount() != entry.storedSize) {
      fault(i, entry, "the block cannot be read");
      break;
    }
    if (entry.storedSize == entry.size) continue;
    uint32_t size = static_cast<uint32_t>(entry.size);
    if (BlockExpandedSize(block.data(), block.size()) != size) {
      fault(i, entry, "the block is not a compressed block of the entry's size");
      continue;
    }
    expanded.resize(size_t(size) + kBlockSlack);
    if (ExpandBlock(block.data(), block.size(), expanded.data(), expanded.size()) != size) {
      fault(i, entry, "the block does not expand or fails its checksum");
    }
  }
  if (faults == 0 && position != package.directoryPosition) {
    Err(context) << "zandor: " << path << ": " << package.directoryPosition - position
                 << " bytes lie between the last block and the directory\n";
    faults++;
  }
  size_t count = package.entries.size();
  ClosePackage();
  if (faults > 0) {
    Err(context) << "zandor: " << path << ": " << faults << " fault(s) found\n";
    return kZandorFailed;
  }
  *context.out << path << ": " << count << " entries, all blocks and checksums good\n";
  return kZandorOk;
}

}  // namespace

bool ParseLevel(const std::string& text, CompressLevel* level) {
  if (text == "fast") *level = kLevelFast;
  else if (text == "default") *level = kLevelDefault;
  else if (text == "best") *level = kLevelBest;
  else return false;
  return true;
}

bool ToPackageComponent(const std::string& utf8, std::string* ansi, std::string* why) {
  ansi->clear();
  if (utf8.empty()) {
    *why = "empty name";
    return false;
  }
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t code = 0;
    if (!DecodeUtf8(utf8, &i, &code)) {
      *why = "not valid UTF-8";
      return false;
    }
    int byte = -1;
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      byte = static_cast<int>(code);
    } else {
      for (int k = 0; k < 32; k++) {
        if (kCp1252High[k] != 0 && kCp1252High[k] == code) byte = 0x80 + k;
      }
    }
    if (byte < 0) {
      *why = "a character outside the Windows-1252 code page";
      return false;
    }
    if (byte < 0x20 || std::strchr("<>:\"|?*\\/", byte) != nullptr) {
      *why = "a character Windows forbids in names (< > : \" | ? * \\ / or a control character)";
      return false;
    }
    ansi->push_back(static_cast<char>(byte));
  }
  if (ansi->back() == '.' || ansi->back() == ' ') {
    *why = "a trailing dot or blank, which Windows drops";
    return false;
  }
  if (IsReservedDeviceName(*ansi)) {
    *why = "a device name Windows reserves";
    return false;
  }
  return true;
}

std::string PackageNameToUtf8(const std::string& ansi) {
  std::string out;
  for (char c : ansi) {
    unsigned char u = static_cast<unsigned char>(c);
    uint32_t code = u;
    if (u >= 0x80 && u < 0xA0) code = kCp1252High[u - 0x80] != 0 ? kCp1252High[u - 0x80] : 0xFFFD;
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | code >> 6));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | code >> 12));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
  return uint64_t(seconds) * 10000000ull + kFileTimeUnixEpoch + nanoseconds / 100;
}

std::string FormatFileTime(uint64_t fileTime) {
  if (fileTime == 0) return "-";
  int64_t seconds = static_cast<int64_t>(fileTime / 10000000ull) - int64_t(kFileTimeUnixEpoch / 10000000ull);
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t rest = seconds - days * 86400;
  // Civil date from days since 1970 (proleptic Gregorian).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2);
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

int RunZandor(const std::vector<std::string>& args, const ZandorContext& context) {
  if (args.empty()) return Usage(context, "no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    *context.out << kHelp;
    return kZandorOk;
  }
  Options options;
  options.command = args[0];
  std::string message;
  if (!ParseOptions(args, &options, &message)) return Usage(context, message);
  if (options.command == "pack") return CommandPack(context, options);
  if (options.command == "build") return CommandBuild(context, options);
  if (options.command == "list") return CommandList(context, options);
  if (options.command == "extract") return CommandExtract(context, options);
  if (options.command == "verify") return CommandVerify(context, options);
  return Usage(context, "unknown command \"" + options.command + "\"");
}
