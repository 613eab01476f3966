// Start-up of a setup run: runtime, command line, work folder name and
// SetupExeDir, work folder, outer package -> work folder, first keys of
// setup.ini, language, program-running check. SetupMain runs them in order.
#include "app/startup.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "actions/running.h"
#include "app/admin.h"
#include "app/finish.h"
#include "package/entry_block.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/elevation.h"
#include "platform/guard.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/rights.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "ui/unpack_window.h"

void InitRuntime(const ProductInfo& product) {
  OsRestrictDllSearch();
  SetLoginOffer(HasAdminRights, OfferLogin);
  // Texts needed before the language file is read are the defaults.
  LoadDefaultTexts(product.title, product.version);
}

void ReadRunOptions(RunOptions* options) {
  *options = RunOptions();
  ReadCommandLine(OsGetCommandLine(), options);
}

// A GUID names the work folder. Should the system give none, a name in the
// same form is made from the process id and the clock and taken only while
// nothing is at that path. Either way the folder is then created only where
// nothing is (CreateWorkFolder), so the folder deleted at the end is one this
// run made. Without a temporary folder, or without a free name, there is no
// work folder at all: the temporary folder itself must never become one.
std::string NewWorkFolder(bool elevated) {
  std::string temp = elevated ? AddBackslash(OsGetWindowsDirectory()) + "Temp\\" : GetTemporaryFolder();
  if (temp.empty()) return std::string();
  std::string guid = OsCreateGuidText();
  if (guid.size() == 38) return temp + guid + "\\";
  uint64_t seed = OsGetClockTicks();
  for (uint32_t attempt = 0; attempt < 64; ++attempt) {
    std::string name = "{" + HexDigits(OsGetProcessId(), 8) + "-" + HexDigits(attempt, 4) + "-0000-0000-" +
                       HexDigits(seed + attempt * 7919u, 12) + "}";
    if (FileSize(temp + name) == -1) return temp + name + "\\";
  }
  return std::string();
}

void PrepareWorkFolderName(RunPaths* paths, bool elevated) {
  paths->workFolder = NewWorkFolder(elevated);
  paths->exePath = OsGetModuleFileName();
  paths->setupFolder = FolderPart(paths->exePath);
  paths->iniPath = paths->workFolder.empty() ? std::string() : paths->workFolder + "setup.ini";
  OsSetEnvironment("SetupExeDir", paths->setupFolder);
}

bool CreateWorkFolder(const std::string& work) {
  std::string folder = work;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  // Private and new: a folder that is there already, even one this account
  // made, is someone else's, and the run does not use it.
  const bool made = !folder.empty() && TryWithLogin([&] { return OsCreatePrivateFolder(folder); });
  if (made) {
    AuditLine("start  work folder  " + work);
  } else if (folder.empty()) {
    AuditLine("start  failed  no temporary folder");
  } else if (FileSize(folder) != -1) {
    AuditLine("start  failed  something is at the work folder's name already  " + work);
  } else {
    AuditStep("start", "work folder", false, work);
  }
  if (!made) ShowCopyError();
  return made;
}

namespace {

struct HeldFile {
  std::string path;
  OsFile file = nullptr;
};
// The files of the work folder that the run holds from their unpacking to
// the end (ReleaseWorkFiles).
std::vector<HeldFile> g_heldFiles;
bool g_holding = false;  // HoldWorkFiles ran since the last release

// The held file has exactly the bytes of the entry, read from the program's
// own package: what was unpacked, not what another process put in its place
// before the hold began.
bool SameAsEntry(OsFile held, const uint8_t* data, uint32_t size) {
  if (OsFileLength(held) != int64_t(size) || !OsSeekFile(held, 0)) return false;
  std::vector<uint8_t> piece(std::min<uint32_t>(size, kExtractChunk));
  for (uint32_t done = 0; done < size;) {
    const uint32_t count = std::min<uint32_t>(size - done, kExtractChunk);
    uint32_t got = 0;
    if (!OsReadFile(held, piece.data(), count, &got) || got != count) return false;
    if (std::memcmp(piece.data(), data + done, count) != 0) return false;
    done += count;
  }
  return OsSeekFile(held, 0);
}

enum HoldResult { kHeld, kNotUnpacked, kHoldRefused, kHoldDiffers };

// Blocks of this stored size or more are read under the progress window:
// at the installer's decoding speed they take a good part of a second.
const uint32_t kShowUnpackFrom = 4u << 20;
// The unpacking fills the bar to here, the hold (which expands the same
// blocks again to compare) the rest.
const uint32_t kUnpackShare = 600, kBarSteps = 1000;
uint32_t g_barFrom = 0, g_barSpan = 0;  // of kBarSteps, for the pass under way

void ProgressDrain() {
  const BlockReadProgress& read = CurrentBlockRead();
  if (read.total >= kShowUnpackFrom || UnpackProgressShown()) {
    const uint32_t into = read.total == 0 ? g_barSpan : uint32_t(uint64_t(read.done) * g_barSpan / read.total);
    ShowUnpackProgress(g_barFrom + into, kBarSteps);
  }
}

HoldResult HoldEntry(OsFile package, const std::string& workFolder, const PackageEntry& entry, void (*drain)()) {
  std::unique_ptr<uint8_t[]> data;
  const uint32_t stored = entry.size > 0 ? static_cast<uint32_t>(entry.storedSize) : 0;
  // What was not unpacked is not read (the caller finds the next block by
  // its position), so a damaged block is not expanded a second time.
  if (!IsSafeEntryName(entry.name, false)) return kNotUnpacked;
  const std::string path = workFolder + entry.name;
  if (FileSize(path) == -1) return kNotUnpacked;
  // A block that failed its checks was never written.
  if (stored > 0 && ReadEntryBlock(package, entry, &data, drain) != kEntryBlockGood) return kNotUnpacked;
  OsFile held = OsOpenFile(path, kOsOpenReadHeld);
  if (held == nullptr) return kHoldRefused;
  if (!SameAsEntry(held, data.get(), stored > 0 ? static_cast<uint32_t>(entry.size) : 0)) {
    OsCloseFile(held);
    return kHoldDiffers;
  }
  g_heldFiles.push_back({path, held});
  return kHeld;
}

}  // namespace

bool HoldWorkFiles(const RunPaths& paths, bool showProgress) {
  ReleaseWorkFiles();
  g_holding = true;
  if (paths.workFolder.empty()) return false;
  // A package that did not open unpacked nothing: nothing to hold.
  const bool opened = OpenPackage(paths.exePath, nullptr);
  ClosePackage();
  if (!opened) return true;
  OsFile package = OsOpenFile(paths.exePath, kOsOpenRead);
  bool good = package != nullptr;
  int64_t position = Package().dataStart;
  for (const PackageEntry& entry : Package().entries) {
    if (!good) break;
    if (entry.kind != kEntryKindFile) continue;
    good = OsSeekFile(package, position);
    if (!good) break;
    if (entry.size > 0) position += entry.storedSize;
    g_barFrom = kUnpackShare;
    g_barSpan = kBarSteps - kUnpackShare;
    const HoldResult result = HoldEntry(package, paths.workFolder, entry, showProgress ? ProgressDrain : nullptr);
    if (result == kHoldRefused) AuditStep("start", "", false, "cannot hold  " + paths.workFolder + entry.name, "in use");
    if (result == kHoldDiffers) AuditLine("start  failed  changed after unpacking  " + paths.workFolder + entry.name);
    good = result == kHeld || result == kNotUnpacked;
  }
  OsCloseFile(package);
  if (good) return true;
  CloseUnpackProgress();
  ShowCopyError();
  // Nothing of the work folder counts as held any more.
  for (const HeldFile& held : g_heldFiles) OsCloseFile(held.file);
  g_heldFiles.clear();
  return false;
}

bool IsHeldWorkFile(const std::string& path) {
  if (!g_holding) return FileExists(path);
  for (const HeldFile& held : g_heldFiles) {
    if (EqualNoCase(held.path, path)) return true;
  }
  return false;
}

void ReleaseWorkFiles() {
  for (const HeldFile& held : g_heldFiles) OsCloseFile(held.file);
  g_heldFiles.clear();
  g_holding = false;
}

bool UnpackSetupFiles(const RunPaths& paths, bool showProgress) {
  if (paths.workFolder.empty()) return false;
  const bool opened = OpenPackage(paths.exePath, nullptr);
  AuditLine(std::string("start  package  ") + (opened ? "opened  " : "refused  ") + paths.exePath +
            (opened ? "" : std::string("  ") + PackageOpenResultText(Package().lastResult)));
  g_barFrom = 0;
  g_barSpan = kUnpackShare;
  const bool unpacked = ExtractPackage(paths.workFolder, "", showProgress ? ProgressDrain : nullptr);
  // A copy-error box must not sit behind the progress window.
  if (!unpacked) CloseUnpackProgress();
  AuditLine(std::string("start  package  ") + (unpacked ? "unpacked" : "failed"));
  // A program without a readable package (a download cut short, a stub
  // on its own) has nothing to install, as much as a damaged one.
  if (!opened || !unpacked) ShowCopyError();
  ClosePackage();
  return opened && unpacked;
}

std::string ReadConfigurationAndLanguage(const RunPaths& paths, ProductInfo* product, int32_t* languageNumber,
                                         const std::string& chosen) {
  ReadStartupConfig(paths.iniPath, product);
  const std::string& list = product->languageList;
  std::string file;
  const std::string entries = "|" + list;
  if (!chosen.empty() && (entries.find("|" + chosen + "#") != std::string::npos ||
                          entries.find("|" + chosen + "|") != std::string::npos)) {
    file = chosen;
  } else if (CountChar(list, '|') > 1) {
    file = ChooseLanguageFile(list, OsGetUserDefaultLangID(), languageNumber);
    if (file.empty()) file = ShowLanguageChoiceDialog(list);
  } else {
    file = LanguageFileFromList(list);
  }
  AuditLine("start  setup.ini  " + product->title + "  " + product->version);
  AuditLine("start  language  " + (file.empty() ? std::string("built-in") : file));
  LoadLanguageTexts(file.empty() ? std::string() : paths.workFolder + file, product->title, product->version);
  return file;
}

bool WarnIfProgramRunning(const ProductInfo& product, const std::string& workFolder, bool* programRunning) {
  std::string mutex = TrimBlanks(product.mutexName);
  if (!mutex.empty()) {
    *programRunning = OsProbeNamedMutex(mutex) == kMutexExisted;
  } else {
    *programRunning = !product.progExe.empty() && IsProgramRunning(product.progExe);
  }
  if (!*programRunning) return true;
  AuditLine("start  program running  " + (mutex.empty() ? product.progExe : mutex));
  std::string text = ReplaceAll(Text(kTextRq4Msg), "$Titel", product.title) + "\n" + Text(kTextRq4Msg2);
  const bool goOn = ShowMessageBox(Text(kTextRq4Titel), text, kMessageWarningOkCancel) == kAnswerOk;
  AuditLine(goOn ? "start  running warning  OK" : "start  running warning  Cancel");
  if (goOn) return true;
  DeleteWorkFolder(workFolder);
  return false;
}
