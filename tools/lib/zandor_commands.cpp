#include "lib/zandor_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>

#include "lib/names.h"
#include "lib/package_writer.h"
#include "lib/parallel_pack.h"
#include "lib/init.h"
#include "lib/setup_check.h"
#include "lib/source_tree.h"
#include "package/block.h"
#include "package/entry_block.h"
#include "package/extract.h"
#include "package/package.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "platform/filetime.h"

namespace fs = std::filesystem;

namespace {

const char kHelp[] =
    "zandor - builds Zandor installers and packages\n"
    "\n"
    "Usage:\n"
    "  zandor pack DIR -o FILE.pck [--level fast|default|best] [--threads N] [--solid]\n"
    "      Packs the folder DIR into a stand-alone package.\n"
    "  zandor build SETUPDIR -o Install.exe [--program DIR] [--stub STUB.exe]\n"
    "               [--uninstaller Uninstall.exe | --no-uninstaller] [--level ...]\n"
    "               [--threads N] [--strict] [--solid]\n"
    "      Packs DIR into setup.pck, adds it to the files of SETUPDIR (setup.ini,\n"
    "      language files, licence, readme, pictures, hooks, script) and appends\n"
    "      that package to the installer stub. Without --program, a setup.pck in\n"
    "      SETUPDIR is taken as it is. The default stub is Install.exe beside zandor\n"
    "      (the shipped 32-bit stub); the build names the stub it took.\n"
    "      Unless DIR has them, the program files get the uninstaller (the default\n"
    "      is Uninstall.exe beside zandor) and a prepared uninstall.dat: its Files\n"
    "      and Dirs list what DIR holds, ProgName, Version and MutexString come\n"
    "      from setup.ini. Program files without Uninstall.exe stop the build\n"
    "      (the installed program could not be removed) unless --no-uninstaller\n"
    "      says they are wanted, or setup.ini sets NoUninstall=1. A setup.pck taken\n"
    "      as it is must pass zandor verify.\n"
    "      Before anything is written, the setup folder is checked as zandor check\n"
    "      does: errors stop the build, warnings are printed (--strict: they stop it\n"
    "      too); --no-check leaves the checks out, for installers that test how\n"
    "      setup copes with a faulty setup folder. The stub must be a Zandor\n"
    "      installer stub.\n"
    "      --solid (build and pack) stores the program files uncompressed in\n"
    "      setup.pck, alike files side by side, so that the build compresses\n"
    "      setup.pck as one block: a smaller installer that expands that block\n"
    "      into its work folder at start-up. Program folders of more than 256 MiB\n"
    "      are packed per file instead, with a note.\n"
    "  zandor check SETUPDIR [--program DIR] [--strict]\n"
    "      Checks the setup folder without building: setup.ini's groups, keys and\n"
    "      values, task lines, the files they name, language files, licence and\n"
    "      readme names, pictures. Each finding names FILE:LINE.\n"
    "  zandor init DIR [--program DIR]\n"
    "      Writes a commented starting setup folder (setup.ini, english.lng,\n"
    "      licence.txt) that builds as it stands; with --program, ProgExe and the\n"
    "      title come from the program folder.\n"
    "  zandor list FILE          Lists the entries of a package or installer.\n"
    "  zandor extract FILE DIR   Extracts a package with the installer's own code.\n"
    "  zandor verify FILE        Checks the layout, every block and every checksum,\n"
    "                            and says whether FILE is an installer or a package.\n"
    "  zandor --help             Shows this text; zandor COMMAND --help likewise.\n"
    "  zandor --version          Prints the version.\n"
    "\n"
    "Options take their value as the next argument or after \"=\" (--level=best).\n"
    "\n"
    "Entries are stored in byte-wise order of their names, folders before their\n"
    "contents, with \"\\\" separators and names in the Windows-1252 code page.\n"
    "Files are compressed on every core, or on N threads with --threads N.\n"
    "Identical input gives identical output, whatever the number of threads.\n"
    "When SOURCE_DATE_EPOCH is set (unix seconds), no stored file time is later\n"
    "than it.\n"
    "Exit codes: 0 success, 1 failure or check errors (messages on stderr), 2 usage\n"
    "error.\n";

#ifndef ZANDOR_VERSION
#define ZANDOR_VERSION "unknown"
#endif

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::string output;
  std::string program;
  std::string stub;
  std::string uninstaller;
  CompressLevel level = kLevelDefault;
  int threads = 0;  // 0: one per core
  bool strict = false;
  bool noCheck = false;  // build: leave out the setup folder's checks
  bool noUninstaller = false;  // build: program files without an uninstaller are wanted
  bool solid = false;    // pack, build: program files stored raw for one outer block
  bool help = false;
};

struct Progress {
  const ZandorContext* context = nullptr;
  const char* what = "";
  int64_t total = 0;
  int64_t done = 0;
  int lastPercent = -1;
};

std::ostream& Err(const ZandorContext& context) { return *context.err; }

// Every failure reads "zandor: text" on its own line. False, for the caller
// to return.
bool Fail(const ZandorContext& context, const std::string& text) {
  Err(context) << "zandor: " << text << "\n";
  return false;
}

int ExitCode(bool ok) { return ok ? kZandorOk : kZandorFailed; }

int Usage(const ZandorContext& context, const std::string& message) {
  Fail(context, message + "\nRun \"zandor --help\" for usage.");
  return kZandorUsage;
}

Progress StartProgress(const ZandorContext& context, const char* what, int64_t total) {
  Progress progress;
  progress.context = &context;
  progress.what = what;
  progress.total = total;
  return progress;
}

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

bool AbandonWithError(const ZandorContext& context, PackageWriter* writer, Progress* progress,
                      const std::string& text) {
  EndProgress(progress);
  AbandonPackage(writer);
  return Fail(context, text);
}

// Adds items to a begun package and finishes it; on a failure the package
// is abandoned. Blocks are compressed on up to threads threads and written
// in item order.
bool WriteItems(const ZandorContext& context, PackageWriter* writer, const std::vector<SourceItem>& items,
                int threads, Progress* progress, bool raw = false) {
  std::string readError;
  auto read = [&](size_t i, PackInput* input, std::vector<uint8_t>* owned) {
    const SourceItem& item = items[i];
    if (item.folder) return true;
    const std::vector<uint8_t>* bytes = item.bytes;
    if (bytes == nullptr) {
      bytes = owned;
      if (!ReadFileBytes(item.path, item.size, owned)) {
        readError = "cannot read " + item.path.string();
        return false;
      }
    }
    input->data = bytes->data();
    input->size = bytes->size();
    return true;
  };
  auto write = [&](size_t i, const PackInput& input, const std::vector<uint8_t>& block) {
    const SourceItem& item = items[i];
    if (item.folder) return AddFolderEntry(writer, item.name, item.creationTime, item.lastWriteTime);
    bool added = AddPackedFileEntry(writer, item.name, input.size, block, item.creationTime, item.lastWriteTime);
    ShowProgress(progress, static_cast<int64_t>(input.size));
    return added;
  };
  int workers = PackThreads(threads);
  bool packed = true;
  if (raw) {
    // Each file's bytes are its block, as they are: the block that holds
    // the whole package compresses and checks them.
    for (size_t i = 0; i < items.size() && packed; i++) {
      PackInput input;
      std::vector<uint8_t> owned;
      packed = read(i, &input, &owned) &&
               write(i, input, items[i].bytes != nullptr ? *items[i].bytes : owned);
    }
  } else {
    packed = PackInOrder(items.size(), workers, writer->level, kPackBytesPerThread * size_t(workers), read, write);
  }
  if (!packed) {
    return AbandonWithError(context, writer, progress, readError.empty() ? writer->error : readError);
  }
  bool finished = FinishPackage(writer);
  EndProgress(progress);
  return finished || Fail(context, writer->error);
}

bool ParseThreads(const std::string& text, int* threads) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  int value = 0;
  for (char digit : text) value = value * 10 + (digit - '0');
  if (value < 1 || value > 256) return false;
  *threads = value;
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* message) {
  for (size_t i = 1; i < args.size(); i++) {
    std::string arg = args[i];
    std::string inlineValue;
    bool hasInlineValue = false;
    size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      hasInlineValue = true;
    }
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      continue;
    }
    if (arg == "--strict") {
      options->strict = true;
      continue;
    }
    if (arg == "--solid" && (options->command == "build" || options->command == "pack")) {
      options->solid = true;
      continue;
    }
    if (arg == "--no-check" && options->command == "build") {
      options->noCheck = true;
      continue;
    }
    if (arg == "--no-uninstaller" && options->command == "build") {
      options->noUninstaller = true;
      continue;
    }
    bool takesValue = arg == "-o" || arg == "--output" || arg == "--level" || arg == "--program" || arg == "--stub" ||
                      arg == "--threads" || arg == "--uninstaller";
    if (takesValue) {
      if (!hasInlineValue && i + 1 >= args.size()) {
        *message = arg + " needs a value";
        return false;
      }
      const std::string value = hasInlineValue ? inlineValue : args[++i];
      if (arg == "-o" || arg == "--output") {
        options->output = value;
      } else if (arg == "--program") {
        options->program = value;
      } else if (arg == "--stub") {
        options->stub = value;
      } else if (arg == "--threads") {
        if (!ParseThreads(value, &options->threads)) {
          *message = "--threads takes a number from 1 to 256, not \"" + value + "\"";
          return false;
        }
      } else if (arg == "--uninstaller") {
        options->uninstaller = value;
      } else if (!ParseLevel(value, &options->level)) {
        *message = "unknown level \"" + value + "\" (fast, default or best)";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *message = "unknown option " + args[i];
      return false;
    } else {
      options->operands.push_back(arg);
    }
  }
  return true;
}

// Whether the files go into a solid package: asked for, and within the
// limit, else packed per file with a note that says why. A solid package
// is put in solid order.
bool UseSolid(const ZandorContext& context, const Options& options, std::vector<SourceItem>* items) {
  if (!options.solid) return false;
  const int64_t total = TotalBytes(*items);
  if (total > kMaxSolidBytes) {
    Err(context) << "zandor: note: the program files take " << (total >> 20) << " MiB, more than the "
                 << (kMaxSolidBytes >> 20) << " MiB a solid package may hold (the installer expands it in memory at "
                 << "start-up); packing them per file\n";
    return false;
  }
  SortForSolid(items);
  return true;
}

bool PackFolder(const ZandorContext& context, const Options& options) {
  std::vector<SourceItem> items;
  std::string error;
  if (!CollectTree(options.operands[0], &items, &error) || !CheckDuplicates(items, &error)) {
    return Fail(context, error);
  }
  const bool solid = UseSolid(context, options, &items);
  PackageWriter writer;
  if (!BeginPackage(&writer, options.output, {}, options.level)) return Fail(context, writer.error);
  Progress progress = StartProgress(context, "packing", TotalBytes(items));
  return WriteItems(context, &writer, items, options.threads, &progress, solid);
}

int CommandPack(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "pack takes one folder");
  if (options.output.empty()) return Usage(context, "pack needs -o FILE.pck");
  if (!options.program.empty() || !options.stub.empty() || !options.uninstaller.empty()) {
    return Usage(context, "--program, --stub and --uninstaller belong to build");
  }
  return ExitCode(PackFolder(context, options));
}

// The installer stub: --stub, or Install.exe beside zandor, where the
// shipped 32-bit stub sits in a distribution. It must not carry a package
// already, since the new one would hide it, and it must be one of our
// installer stubs (see IsInstallerStub): any other program would run
// without ever reading the package.
bool ReadStub(const ZandorContext& context, const Options& options, std::string* stubPath,
              std::vector<uint8_t>* stub) {
  std::error_code error;
  *stubPath = options.stub;
  if (stubPath->empty()) {
    *stubPath = (fs::path(context.selfPath).parent_path() / "Install.exe").string();
    if (context.selfPath.empty() || !fs::is_regular_file(*stubPath, error)) {
      return Fail(context, "no installer stub Install.exe beside zandor; pass --stub STUB.exe");
    }
  }
  if (!fs::is_regular_file(*stubPath, error)) {
    return Fail(context, *stubPath + ": no such stub file" + (error ? ": " + error.message() : std::string()));
  }
  uintmax_t size = fs::file_size(*stubPath, error);
  if (error) return Fail(context, *stubPath + ": cannot read the stub: " + error.message());
  if (size == 0) return Fail(context, *stubPath + ": the stub is empty");
  errno = 0;
  if (size >= uintmax_t(kMaxPackageBytes) || !ReadFileBytes(*stubPath, static_cast<int64_t>(size), stub)) {
    return Fail(context, *stubPath + ": cannot read the stub" + (errno ? std::string(": ") + strerror(errno) : ""));
  }
  if (stub->size() >= 4 && LoadLE32(stub->data() + stub->size() - 4) == kPackageMagic) {
    return Fail(context, *stubPath + " already carries a package; use the bare installer stub");
  }
  if (!IsInstallerStub(*stub)) {
    return Fail(context, *stubPath + " is not a Zandor installer stub (" + WindowsProgramKind(*stub) +
                             "); pass the Install.exe that comes with zandor");
  }
  // Which stub a build took is not otherwise visible in its output.
  *context.out << "zandor: stub " << *stubPath << " (" << WindowsProgramKind(*stub) << ")\n";
  return true;
}

bool HasFile(const std::vector<SourceItem>& items, const std::string& name) {
  return std::any_of(items.begin(), items.end(),
                     [&](const SourceItem& item) { return !item.folder && SameWindowsName(item.name, name); });
}

// What the build adds to the program files: the uninstaller and the
// prepared uninstall record. The items point at these bytes.
struct AddedFiles {
  std::vector<uint8_t> uninstaller;
  std::vector<uint8_t> record;
};

uint64_t NewestTime(const std::vector<SourceItem>& items) {
  uint64_t newest = 0;
  for (const SourceItem& item : items) newest = std::max(newest, item.lastWriteTime);
  return newest;
}

SourceItem MemoryItem(const std::string& name, const std::vector<uint8_t>* bytes, uint64_t time) {
  SourceItem item;
  item.name = name;
  item.bytes = bytes;
  item.size = static_cast<int64_t>(bytes->size());
  item.creationTime = time;
  item.lastWriteTime = time;
  return item;
}

// Program files without Uninstall.exe are an error of the build unless the
// author says so (--no-uninstaller, or NoUninstall=1: no uninstall entry,
// no record), or the checks are left out. The install would otherwise
// register an uninstaller that is not there.
bool UninstallerRequired(const Options& options) {
  if (options.noCheck || options.noUninstaller) return false;
  IniOpen((fs::path(options.operands[0]) / "setup.ini").string());
  IniSelectGroup("Task");
  const int32_t noUninstall = IniReadNumber("NoUninstall", 0);
  IniClose();
  return (noUninstall & 0xFF) == 0;
}

bool FailWithoutUninstaller(const ZandorContext& context, const std::string& where) {
  return Fail(context, where + " carry no Uninstall.exe, so the installed program could not be removed: pass "
                               "--uninstaller FILE, or --no-uninstaller when that is what you want");
}

// The uninstaller: --uninstaller, or Uninstall.exe beside zandor. A default
// that is not there stops the build (UninstallerRequired), or leaves the
// installer without one, with a note.
bool ReadUninstaller(const ZandorContext& context, const Options& options, std::vector<uint8_t>* bytes) {
  std::error_code error;
  std::string path = options.uninstaller;
  if (path.empty() && options.noUninstaller) return true;
  if (path.empty()) {
    path = (fs::path(context.selfPath).parent_path() / "Uninstall.exe").string();
    if (context.selfPath.empty() || !fs::is_regular_file(path, error)) {
      if (UninstallerRequired(options)) return FailWithoutUninstaller(context, "the program files (no Uninstall.exe beside zandor)");
      Err(context) << "zandor: note: no Uninstall.exe beside zandor, so the program files carry no uninstaller; "
                      "pass --uninstaller FILE\n";
      return true;
    }
  }
  uintmax_t size = fs::file_size(path, error);
  if (error) return Fail(context, path + ": cannot read the uninstaller: " + error.message());
  errno = 0;
  if (size == 0 || size >= uintmax_t(kMaxPackageBytes) || !ReadFileBytes(path, static_cast<int64_t>(size), bytes)) {
    return Fail(context, path + ": cannot read the uninstaller" +
                             (errno ? std::string(": ") + strerror(errno) : std::string(", or it is empty")));
  }
  return true;
}

// The prepared uninstall record, in the INI store's layout: what the
// uninstaller removes (every file and folder of the program files) and the
// product's name, version and mutex from setup.ini. The install adds its
// own keys to it.
std::vector<uint8_t> PreparedRecord(const std::string& setupIni, const std::vector<SourceItem>& items) {
  IniOpen(setupIni);
  IniSelectGroup("Info");
  std::string name = IniReadString("Titel");
  std::string version = IniReadString("Version");
  IniSelectGroup("Task");
  std::string mutex = IniReadString("MutexString");
  IniClose();
  std::string text = "[Settings]\r\nProgName = " + name + "\r\nVersion = " + version + "\r\nMutexString = " + mutex +
                     "\r\n";
  std::string files = "[Files]\r\n", dirs = "[Dirs]\r\n";
  size_t fileCount = 0, dirCount = 0;
  auto numbered = [](char prefix, size_t number) {
    std::string digits = std::to_string(number);
    return std::string(1, prefix) + std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
  };
  for (const SourceItem& item : items) {
    if (item.folder) dirs += numbered('D', ++dirCount) + " = " + item.name + "\r\n";
    else files += numbered('F', ++fileCount) + " = " + item.name + "\r\n";
  }
  text += files + dirs;
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Adds the uninstaller and the prepared record to the program files unless
// the author ships them.
bool AddUninstallFiles(const ZandorContext& context, const Options& options, std::vector<SourceItem>* items,
                       AddedFiles* added) {
  uint64_t time = NewestTime(*items);
  if (!HasFile(*items, "Uninstall.exe")) {
    if (!ReadUninstaller(context, options, &added->uninstaller)) return false;
    if (!added->uninstaller.empty()) items->push_back(MemoryItem("Uninstall.exe", &added->uninstaller, time));
  }
  if (!HasFile(*items, "uninstall.dat")) {
    SortByName(items);
    added->record = PreparedRecord((fs::path(options.operands[0]) / "setup.ini").string(), *items);
    // The install adds its own keys (a few kilobytes, and the task records)
    // and the INI store opens nothing larger than its limit: a record past
    // it could not be updated, and the uninstaller could not read it.
    const size_t reserve = size_t(1) << 20;
    if (added->record.size() + reserve > kIniMaxFileSize) {
      return Fail(context, "the uninstall record of " + std::to_string(items->size()) + " files and folders would take " +
                               std::to_string(added->record.size()) + " bytes; the installer reads records up to " +
                               std::to_string((kIniMaxFileSize - reserve) >> 20) +
                               " MiB (with 1 MiB kept for its own keys): use shorter names or fewer files");
    }
    items->push_back(MemoryItem("uninstall.dat", &added->record, time));
  }
  SortByName(items);
  return true;
}

// Packs the program folder into *inner and describes it as the setup.pck
// entry of the installer.
bool PackProgramToMemory(const ZandorContext& context, const Options& options, std::vector<uint8_t>* inner,
                         SourceItem* pck) {
  std::vector<SourceItem> items;
  std::string error;
  if (!CollectTree(options.program, &items, &error) || !CheckDuplicates(items, &error)) {
    return Fail(context, error);
  }
  AddedFiles added;
  if (!AddUninstallFiles(context, options, &items, &added)) return false;
  const bool solid = UseSolid(context, options, &items);
  PackageWriter writer;
  BeginPackageInMemory(&writer, inner, options.level);
  Progress progress = StartProgress(context, "packing program files", TotalBytes(items));
  if (!WriteItems(context, &writer, items, options.threads, &progress, solid)) return false;
  pck->name = "setup.pck";
  pck->bytes = inner;
  pck->size = static_cast<int64_t>(inner->size());
  // The newest program file dates the package, so equal input gives equal
  // output.
  for (const SourceItem& item : items) pck->lastWriteTime = std::max(pck->lastWriteTime, item.lastWriteTime);
  pck->creationTime = pck->lastWriteTime;
  return true;
}

// The packed program takes the place of any setup.pck in the setup folder.
void ReplaceSetupPck(std::vector<SourceItem>* items, const SourceItem& pck) {
  items->erase(std::remove_if(items->begin(), items->end(),
                              [](const SourceItem& item) { return SameWindowsName(item.name, "setup.pck"); }),
               items->end());
  items->push_back(pck);
  SortByName(items);
}

// Prints the findings of the setup folder's checks; true when they let the
// build go on.
bool CheckSetup(const ZandorContext& context, const Options& options) {
  std::vector<SetupFinding> findings = CheckSetupFolder(options.operands[0], options.program);
  for (const SetupFinding& finding : findings) Err(context) << FormatFinding(finding) << "\n";
  int errors = CountFindings(findings, kFindingError), warnings = CountFindings(findings, kFindingWarning);
  if (errors == 0 && (warnings == 0 || !options.strict)) return true;
  return Fail(context, options.operands[0] + ": " + std::to_string(errors) + " error(s), " + std::to_string(warnings) +
                           " warning(s)" + (errors == 0 ? " (--strict)" : ""));
}

// The setup folder must be there with its setup.ini.
bool FindSetupIni(const ZandorContext& context, const std::string& setupDir) {
  std::error_code error;
  if (!fs::is_directory(setupDir, error)) {
    return Fail(context, setupDir + ": no such folder" + (error ? ": " + error.message() : std::string()));
  }
  for (const auto& entry : fs::directory_iterator(setupDir, error)) {
    if (SameWindowsName(entry.path().filename().string(), "setup.ini")) return true;
  }
  return Fail(context, setupDir + " has no setup.ini" + (error ? ": " + error.message() : std::string()));
}

// What zandor verify found in one package file.
struct VerifyResult {
  bool opened = false;
  int faults = 0;
  size_t unchecked = 0;  // good blocks without a checksum
  size_t raw = 0;        // files with data stored raw
  size_t withData = 0;   // files with data
};
VerifyResult VerifyPackage(const ZandorContext& context, const std::string& path);

// A setup.pck taken as it is: the installer copies nothing of one that
// zandor verify refuses, and registers an uninstaller only it can carry.
bool CheckGivenSetupPck(const ZandorContext& context, const Options& options, const std::vector<SourceItem>& items) {
  for (const SourceItem& item : items) {
    if (item.folder || !SameWindowsName(item.name, "setup.pck")) continue;
    const std::string path = item.path.string();
    const VerifyResult result = VerifyPackage(context, path);
    if (!result.opened || result.faults > 0) {
      return Fail(context, path + ": zandor verify refuses it, and the installer would copy nothing of it");
    }
    const bool carries = std::any_of(Package().entries.begin(), Package().entries.end(), [](const PackageEntry& e) {
      return e.kind == kEntryKindFile && SameWindowsName(e.name, "Uninstall.exe");
    });
    if (!carries && UninstallerRequired(options)) return FailWithoutUninstaller(context, path + ": its program files");
  }
  return true;
}

bool BuildInstaller(const ZandorContext& context, const Options& options) {
  const std::string& setupDir = options.operands[0];
  if (!FindSetupIni(context, setupDir)) return false;
  if (!options.program.empty() && !fs::is_directory(options.program)) {
    return Fail(context, options.program + ": no such program folder");
  }
  if (!options.noCheck && !CheckSetup(context, options)) return false;
  std::vector<SourceItem> items;
  std::string error;
  if (!CollectTree(setupDir, &items, &error)) return Fail(context, error);
  std::string stubPath;
  std::vector<uint8_t> stub;
  if (!ReadStub(context, options, &stubPath, &stub)) return false;
  std::vector<uint8_t> inner;  // the setup.pck item points here
  if (!options.program.empty()) {
    SourceItem pck;
    if (!PackProgramToMemory(context, options, &inner, &pck)) return false;
    ReplaceSetupPck(&items, pck);
  } else if (!HasFile(items, "setup.pck")) {
    return Fail(context, setupDir + " has no setup.pck; pass --program DIR to pack the program files");
  } else if (!options.noCheck && !CheckGivenSetupPck(context, options, items)) {
    return false;
  }
  if (!CheckDuplicates(items, &error)) return Fail(context, error);
  PackageWriter writer;
  if (!BeginPackage(&writer, options.output, stub, options.level)) return Fail(context, writer.error);
  Progress progress = StartProgress(context, "building installer", TotalBytes(items));
  if (!WriteItems(context, &writer, items, options.threads, &progress)) return false;
  std::error_code ignored;
  fs::permissions(options.output, fs::status(stubPath, ignored).permissions() | fs::perms::owner_exec,
                  fs::perm_options::replace, ignored);
  return true;
}

int CommandBuild(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "build takes one setup folder");
  if (options.output.empty()) return Usage(context, "build needs -o Install.exe");
  return ExitCode(BuildInstaller(context, options));
}

int CommandCheck(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "check takes one setup folder");
  if (!options.output.empty() || !options.stub.empty() || !options.uninstaller.empty()) {
    return Usage(context, "check takes only --program and --strict");
  }
  if (!FindSetupIni(context, options.operands[0])) return kZandorFailed;
  if (!options.program.empty() && !fs::is_directory(options.program)) {
    Fail(context, options.program + ": no such program folder");
    return kZandorFailed;
  }
  if (!CheckSetup(context, options)) return kZandorFailed;
  *context.out << options.operands[0] << ": setup folder checked\n";
  std::error_code error;
  if (options.program.empty() && !fs::exists(fs::path(options.operands[0]) / "setup.pck", error)) {
    *context.out << "zandor: note: without --program DIR (or a setup.pck), the program files that setup.ini "
                    "names were not looked for\n";
  }
  return kZandorOk;
}

int CommandInit(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "init takes one folder");
  std::string message;
  if (!WriteStartingSetup(options.operands[0], options.program, &message)) return ExitCode(Fail(context, message));
  *context.out << message;
  return kZandorOk;
}

bool OpenForTool(const ZandorContext& context, const std::string& path) {
  if (OpenPackage(path, nullptr)) return true;
  Fail(context, path + ": " + PackageOpenResultText(Package().lastResult));
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
  if (complete) return kZandorOk;
  Fail(context, options.operands[0] + ": some entries were not extracted (unsafe names, damaged blocks or files "
                "that cannot be written); run zandor verify");
  return kZandorFailed;
}

// Verify walks the blocks the way extraction reads them: back to back from
// the data start, in directory order.
struct Verifier {
  const ZandorContext* context = nullptr;
  std::string path;
  std::ifstream in;
  int64_t position = 0;  // where the next block lies
  std::map<std::string, size_t> names;
  int faults = 0;
  size_t unchecked = 0;  // good blocks of 4 bytes or more without a checksum (raw, or checksum 0)
  size_t raw = 0;        // files with data stored raw
  size_t withData = 0;   // files with data
};

void Fault(Verifier* verifier, size_t index, const PackageEntry& entry, const std::string& what) {
  std::string where = verifier->path + ": entry " + std::to_string(index + 1);
  Fail(*verifier->context, where + " \"" + PackageNameToUtf8(entry.name) + "\": " + what);
  verifier->faults++;
}

// Reports every fault of one entry. False when its block cannot be read, so
// the blocks after it cannot be found either.
bool VerifyEntry(Verifier* verifier, size_t index, const PackageEntry& entry) {
  if (entry.kind != kEntryKindFolder && entry.kind != kEntryKindFile) {
    Fault(verifier, index, entry, "unknown kind " + std::to_string(entry.kind));
    return true;
  }
  bool folder = entry.kind == kEntryKindFolder;
  if (!IsSafeEntryName(entry.name, folder)) {
    Fault(verifier, index, entry, "the name would land outside the destination");
  }
  if (!verifier->names.emplace(NameKey(entry.name), index).second) {
    Fault(verifier, index, entry, "the name appears twice");
  }
  if (folder) return true;
  if (entry.size < 0) Fault(verifier, index, entry, "negative size");
  if (entry.size <= 0) {
    if (entry.storedSize != 0) Fault(verifier, index, entry, "an empty file with a stored block");
    return true;
  }
  if (entry.offset != verifier->position) {
    Fault(verifier, index, entry,
          "offset " + std::to_string(entry.offset) + " but the block lies at " + std::to_string(verifier->position));
  }
  std::vector<uint8_t> block(static_cast<size_t>(entry.storedSize));
  verifier->in.read(reinterpret_cast<char*>(block.data()), entry.storedSize);
  verifier->position += entry.storedSize;
  if (verifier->in.gcount() != entry.storedSize) {
    Fault(verifier, index, entry, "the block cannot be read");
    return false;
  }
  std::unique_ptr<uint8_t[]> expanded;
  EntryBlockCheck check = CheckEntryBlock(entry, block.data(), block.size(), &expanded);
  verifier->withData++;
  if (entry.storedSize == entry.size) verifier->raw++;
  if (check != kEntryBlockGood) {
    Fault(verifier, index, entry, EntryBlockCheckText(check));
  } else if (entry.size >= 4 && (!expanded || LoadLE32(block.data() + kBlockChecksumAt) == 0)) {
    verifier->unchecked++;
  }
  return true;
}

// Whether the package stands alone or behind an installer stub.
std::string FileKindText(const std::string& path, int64_t dataStart) {
  if (dataStart <= 0) return "a package only, not an installer";
  std::vector<uint8_t> front(static_cast<size_t>(dataStart));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(front.data()), dataStart);
  front.resize(static_cast<size_t>(in.gcount()));
  if (IsInstallerStub(front)) return "an installer (" + WindowsProgramKind(front) + " Zandor stub)";
  return "a package behind " + std::to_string(dataStart) + " bytes that are no Zandor installer stub (" +
         WindowsProgramKind(front) + "), so it does not install";
}

// Every fault goes to stderr. The entry list stays for the caller.
VerifyResult VerifyPackage(const ZandorContext& context, const std::string& path) {
  VerifyResult result;
  if (!OpenForTool(context, path)) return result;
  const PackageReader& package = Package();
  Verifier verifier;
  verifier.context = &context;
  verifier.path = path;
  verifier.in.open(path, std::ios::binary);
  if (!verifier.in) {
    ClosePackage();
    Fail(context, "cannot read " + path);
    return result;
  }
  result.opened = true;
  verifier.in.seekg(package.dataStart);
  verifier.position = package.dataStart;
  for (size_t i = 0; i < package.entries.size(); i++) {
    if (!VerifyEntry(&verifier, i, package.entries[i])) break;
  }
  if (verifier.faults == 0 && verifier.position != package.directoryPosition) {
    Fail(context, path + ": " + std::to_string(package.directoryPosition - verifier.position) +
                      " bytes lie between the last block and the directory");
    verifier.faults++;
  }
  ClosePackage();
  if (verifier.faults > 0) Fail(context, path + ": " + std::to_string(verifier.faults) + " fault(s) found");
  result.faults = verifier.faults;
  result.unchecked = verifier.unchecked;
  result.raw = verifier.raw;
  result.withData = verifier.withData;
  return result;
}

int CommandVerify(const ZandorContext& context, const Options& options) {
  if (options.operands.size() != 1) return Usage(context, "verify takes one package file");
  const std::string& path = options.operands[0];
  const VerifyResult result = VerifyPackage(context, path);
  if (!result.opened || result.faults > 0) return kZandorFailed;
  const PackageReader& package = Package();
  size_t count = package.entries.size();
  std::string kind = FileKindText(path, package.dataStart);
  if (result.unchecked > 0 && result.raw == result.withData) {
    // A solid package: zandor build makes one checked block of it.
    *context.out << path << ": " << count << " entries, all blocks good; every file is stored raw for a solid "
                 << "installer, whose one block of this package carries the checksum\n";
    *context.out << path << ": " << kind << "\n";
    return kZandorOk;
  }
  if (result.unchecked > 0) {
    // Packages of older builders store incompressible files raw: their bytes
    // are read as they are, and nothing tells a damaged one.
    *context.out << path << ": " << count << " entries, all blocks good; " << result.unchecked
                 << " file(s) have no checksum (stored raw): rebuild the package to cover them\n";
    return kZandorOk;
  }
  *context.out << path << ": " << count << " entries, all blocks and checksums good\n";
  *context.out << path << ": " << kind << "\n";
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

std::string FormatFileTime(uint64_t fileTime) {
  if (fileTime == 0) return "-";
  int64_t seconds = static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) -
                    static_cast<int64_t>(kFileTimeUnixEpoch / kFileTimeTicksPerSecond);
  return FormatDate("%yyyy-%mm-%dd %hh:%ii:%ss", seconds);
}

int RunZandor(const std::vector<std::string>& args, const ZandorContext& context) {
  if (args.empty()) return Usage(context, "no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    *context.out << kHelp;
    return kZandorOk;
  }
  if (args[0] == "--version") {
    *context.out << "zandor " << ZANDOR_VERSION << "\n";
    return kZandorOk;
  }
  Options options;
  options.command = args[0];
  std::string message;
  if (!ParseOptions(args, &options, &message)) return Usage(context, message);
  if (options.help) {
    *context.out << kHelp;
    return kZandorOk;
  }
  if (options.strict && options.command != "build" && options.command != "check") {
    return Usage(context, "--strict belongs to build and check");
  }
  if (options.command == "pack") return CommandPack(context, options);
  if (options.command == "build") return CommandBuild(context, options);
  if (options.command == "list") return CommandList(context, options);
  if (options.command == "extract") return CommandExtract(context, options);
  if (options.command == "verify") return CommandVerify(context, options);
  if (options.command == "check") return CommandCheck(context, options);
  if (options.command == "init") return CommandInit(context, options);
  return Usage(context, "unknown command \"" + options.command + "\"");
}
