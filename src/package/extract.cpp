#include "package/extract.h"

#include <algorithm>
#include <memory>
#include <new>
#include <set>

#include "package/entry_block.h"
#include "package/package.h"
#include "platform/guard.h"
#include "platform/system.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/rights.h"
#include "runtime/text.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The folder's final path is the destination's or lies below it. Without a
// final path for the destination (a system that cannot tell), or for a
// folder that is not there, nothing is refused.
bool FinalPathInside(const std::string& folder, const std::string& finalDestination) {
  if (finalDestination.empty()) return true;
  const std::string final = OsFinalPath(folder);
  // No folder there: the write fails on its own.
  if (final.empty()) return true;
  const std::string base = AddBackslash(finalDestination);
  const std::string path = AddBackslash(final);
  return path.size() >= base.size() && EqualNoCase(path.substr(0, base.size()), base);
}

void Drain(ExtractDrain drain) {
  if (drain) drain();
}

// The block in pieces of kExtractChunk bytes, draining between them, so a
// block of hundreds of megabytes does not hold the caller's window still.
bool ReadBlock(uint32_t size, std::unique_ptr<uint8_t[]>* block, ExtractDrain drain) {
  OsFile file = Package().dataFile;
  if (file == nullptr) return false;
  block->reset(new (std::nothrow) uint8_t[size_t(size) + 1]);
  if (!*block) return false;
  for (uint32_t done = 0; done < size;) {
    const uint32_t piece = std::min(size - done, kExtractChunk);
    uint32_t got = 0;
    if (!OsReadFile(file, block->get() + done, piece, &got) || got != piece) return false;
    done += piece;
    if (done < size) Drain(drain);
  }
  return true;
}

// One whole write of a file: created beside its final name, filled in
// pieces with drains between them, and put in place over any file of that
// name.
ExtractOutcome WriteEntryFileOnce(const std::string& path, const PackageEntry& entry, const uint8_t* data,
                                  uint32_t size, bool newFolder, ExtractDrain drain) {
  ReplacingFile file;
  const bool begun = newFolder ? BeginWritingNewFile(path, &file) : BeginReplacingFile(path, &file);
  if (!begun) return kExtractNotCreated;
  for (uint32_t done = 0; done < size;) {
    const uint32_t piece = std::min(size - done, kExtractChunk);
    if (!OsWriteFile(file.file, data + done, piece)) {
      AbandonReplacingFile(&file);
      return kExtractWriteFailed;
    }
    done += piece;
    if (done < size) Drain(drain);
  }
  if (!FinishReplacingFile(&file, entry.creationTime, entry.lastWriteTime)) {
    return file.placeRefused ? kExtractNotReplaced : kExtractWriteFailed;
  }
  return kExtractWritten;
}

struct EntryWrite {
  const std::string* path;
  const PackageEntry* entry;
  const uint8_t* data;
  uint32_t size;
  bool newFolder;
  ExtractDrain drain;
};

ExtractOutcome WriteEntryJob(void* job) {
  const EntryWrite* w = static_cast<const EntryWrite*>(job);
  return WriteEntryFileOnce(*w->path, *w->entry, w->data, w->size, w->newFolder, w->drain);
}

ExtractOutcome WriteEntryFile(const std::string& path, const PackageEntry& entry, const uint8_t* data,
                              uint32_t size, bool loginRetry, bool newFolder, ExtractDrain drain) {
  EntryWrite job = {&path, &entry, data, size, newFolder, drain};
  return loginRetry ? RetryWithLogin(WriteEntryJob, &job) : WriteEntryJob(&job);
}

// Reads the entry's block (expanding it as it comes in) and writes the file.
ExtractOutcome ExtractFileBlock(const std::string& destination, const PackageEntry& entry, bool newFolder,
                                ExtractDrain drain) {
  std::unique_ptr<uint8_t[]> bytes;
  const EntryBlockCheck check = ReadEntryBlock(Package().dataFile, entry, &bytes, drain);
  if (check == kEntryBlockUnreadable) return kExtractReadFailed;
  // A block that does not decode, or decodes to other bytes than were
  // packed, must not replace a good file.
  if (check != kEntryBlockGood) return kExtractBadBlock;
  return WriteEntryFile(destination + entry.name, entry, bytes.get(), static_cast<uint32_t>(entry.size), true,
                        newFolder, drain);
}

// The audit line of one file entry; a write the system refused carries its
// error code, read before anything else can change it.
void AuditFile(const std::string& path, ExtractOutcome outcome, bool leftAlone) {
  if (!AuditLogOpen()) return;
  if (leftAlone) return AuditLine("file  skipped  NoCopyExt  " + path);
  if (outcome == kExtractWritten) return AuditLine("file  written  " + path);
  std::string line = std::string("file  failed  ") + ExtractOutcomeText(outcome);
  if (outcome == kExtractNotCreated || outcome == kExtractNotReplaced || outcome == kExtractWriteFailed) {
    line += "  error " + std::to_string(OsLastError());
  }
  AuditLine(line + "  " + path);
}

}  // namespace

ExtractOutcome RetryWithLogin(ExtractOutcome (*write)(void* job), void* job) {
  ExtractOutcome outcome = kExtractWritten;
  // Only a file that could not be made or put in place waits on rights; a
  // write that failed part-way would fail the same way again.
  TryWithLogin([&] {
    outcome = write(job);
    return outcome != kExtractNotCreated && outcome != kExtractNotReplaced;
  });
  return outcome;
}

const char* ExtractOutcomeText(ExtractOutcome outcome) {
  switch (outcome) {
    case kExtractWritten: return "written";
    case kExtractPassedOver: return "left alone";
    case kExtractUnsafeName: return "name points outside the destination";
    case kExtractBadBlock: return "damaged data block";
    case kExtractNotCreated: return "file cannot be created";
    case kExtractNotReplaced: return "existing file cannot be replaced";
    case kExtractWriteFailed: return "file cannot be written";
    case kExtractReadFailed: return "package file ends early";
    case kExtractOutsideLink: return "its folder is a link to outside the destination";
  }
  return "unknown";
}

bool IsSafeEntryName(const std::string& name, bool folder) {
  if (name.empty() || IsSeparator(name[0])) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    bool last = end == name.size();
    std::string part = name.substr(start, end - start);
    // A folder name may end in a separator; nothing else may be empty.
    if (part.empty()) {
      if (!(last && folder && start > 0)) return false;
      break;
    }
    // Windows drops trailing dots and blanks, so "..", ". ." and "... "
    // all climb out; no honest name ends in either.
    if (part.back() == '.' || part.back() == ' ') return false;
    for (char c : part) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') {
        return false;
      }
    }
    start = end + 1;
  }
  return true;
}

std::string EntryExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  if (name.find_first_of("\\/", dot) != std::string::npos) return std::string();
  return name.substr(dot + 1);
}

// The list is "|"-separated with a "|" after every item ("opt|ini|"). Only
// as many items are compared as there are "|", so text after the last "|"
// counts only in a list without any "|".
bool IsListedExtension(const std::string& extension, const std::string& noCopyList) {
  if (noCopyList.empty()) return false;
  size_t count = 0;
  for (char c : noCopyList) count += c == '|';
  if (count == 0) count = 1;
  size_t start = 0;
  for (size_t i = 0; i < count; i++) {
    size_t end = noCopyList.find('|', start);
    if (end == std::string::npos) end = noCopyList.size();
    if (noCopyList.compare(start, end - start, extension) == 0) return true;
    start = end + 1;
  }
  return false;
}

namespace {

// Reads the current entry's block from the package file (which must be
// positioned at it) and writes the file when write is true. The block is
// consumed in every case, so the entries after it stay in step. newFolder:
// the file's folder was made by this extraction, so no file is at its name.
ExtractOutcome ExtractEntryInto(const std::string& destination, bool write, bool newFolder, ExtractDrain drain) {
  const PackageEntry& entry = CurrentPackageEntry();
  std::string folder = AddBackslash(destination);
  if (entry.size <= 0) {
    if (!write) return kExtractPassedOver;
    if (!IsSafeEntryName(entry.name, false)) return kExtractUnsafeName;
    return WriteEntryFile(folder + entry.name, entry, nullptr, 0, false, newFolder, nullptr);
  }
  if (entry.storedSize <= 0) return kExtractReadFailed;
  const bool safe = IsSafeEntryName(entry.name, false);
  if (!write || !safe) {
    std::unique_ptr<uint8_t[]> block;
    if (!ReadBlock(static_cast<uint32_t>(entry.storedSize), &block, drain)) return kExtractReadFailed;
    if (!write) return kExtractPassedOver;
  }
  ExtractOutcome outcome = safe ? ExtractFileBlock(folder, entry, newFolder, drain) : kExtractUnsafeName;
  if (outcome == kExtractReadFailed) return outcome;
  // The progress bar counts every file that was meant to be written, so it
  // still reaches its end when some of them fail; the drain then lets the
  // window show the new position.
  // The window calls of both may set the error code; a failed file's code
  // stays for its caller, who tells a full disk by it.
  const uint32_t error = OsLastError();
  if (Package().progress != nullptr) Package().progress();
  Drain(drain);
  OsSetLastError(error);
  return outcome;
}

}  // namespace

ExtractOutcome ExtractCurrentEntry(const std::string& destination, bool write, ExtractDrain drain) {
  return ExtractEntryInto(destination, write, false, drain);
}

bool ExtractEntry(const std::string& destination, bool write) {
  ExtractOutcome outcome = ExtractCurrentEntry(destination, write);
  return outcome != kExtractPassedOver || CurrentPackageEntry().size <= 0;
}

// Result: false when any entry did not end up on disk as packed, namely
//  - a listed non-empty file was left alone because it existed already,
//  - an entry's name would land outside the destination (never written),
//  - a file's block failed to expand or its checksum (never written),
//  - a file could not be created or not put in place of the old one, even
//    after the login, or not written,
//  - the package was damaged, could not be opened or ended early.
// A package with no entries extracts to nothing and answers true.
bool ExtractPackage(const std::string& destination, const std::string& noCopyList, ExtractDrain drain,
                    ExtractReport* report) {
  ExtractReport unused;
  if (report == nullptr) report = &unused;
  *report = ExtractReport();
  PackageReader& package = Package();
  // A package that is there but damaged extracts nothing and must not pass
  // for an empty one.
  if (PackageIsDamaged()) return !(report->failed = true);
  std::string folder = AddBackslash(destination);
  if (package.dataFile != nullptr) OsCloseFile(package.dataFile);
  package.dataFile = OsOpenFile(package.fileName, kOsOpenRead);
  if (package.dataFile == nullptr) return !(report->failed = !package.entries.empty());
  bool complete = true;
  if (!OsSeekFile(package.dataFile, package.dataStart)) {
    OsCloseFile(package.dataFile);
    package.dataFile = nullptr;
    return !(report->failed = !package.entries.empty());
  }
  ResetEntryCursor();
  // Folders that this extraction made, by entry name: a file in one of them
  // starts without asking what is at its name. And the folder part of the
  // last file whose folders were made: files of one folder come one after
  // another, and asking for each whether its folder exists cost more than
  // writing a small file.
  std::set<std::string> madeFolders;
  // Folders that were there already and have lost the temporary files a
  // killed earlier run left in them.
  std::set<std::string> sweptFolders;
  std::string readyFolder;
  bool ready = false;
  // A subfolder that is a link (junction, symbolic link) to somewhere
  // outside the destination is never written through: its final path must
  // lie in the destination's.
  const std::string finalDestination = OsFinalPath(folder);
  bool inside = true;
  while (NextPackageEntry()) {
    const PackageEntry& entry = CurrentPackageEntry();
    bool listed = IsListedExtension(EntryExtension(entry.name), noCopyList);
    if (entry.kind == kEntryKindFolder) {
      if (IsSafeEntryName(entry.name, true)) {
        const std::string path = folder + entry.name;
        if (!FolderExists(path)) {
          CreateFolderPath(path);
          if (entry.name.back() == '\\' && FolderExists(path)) madeFolders.insert(entry.name);
        }
      } else {
        AuditLine("folder  failed  " + std::string(ExtractOutcomeText(kExtractUnsafeName)) + "  " + entry.name);
        complete = false;
        report->failed = true;
      }
    } else if (entry.kind == kEntryKindFile) {
      bool safe = IsSafeEntryName(entry.name, false);
      ExtractOutcome outcome;
      if (safe && listed && FileExists(folder + entry.name)) {
        outcome = ExtractEntryInto(folder, false, false, drain);
        if (entry.size > 0) complete = false;
        report->kept++;
        AuditFile(folder + entry.name, outcome, true);
      } else {
        const std::string part = FolderPart(entry.name);
        if (safe && !(ready && part == readyFolder)) {
          ready = CreateFolderPath(folder + part) || FolderExists(folder + part);
          readyFolder = part;
          inside = part.empty() || FinalPathInside(folder + part, finalDestination);
          // Temporaries that a killed run left go before this run writes
          // beside them; never through a link out of the destination.
          if (inside && madeFolders.count(part) == 0 && sweptFolders.insert(part).second) {
            RemoveStaleTemporaries(folder + part);
          }
        }
        if (safe && !inside) {
          ExtractEntryInto(folder, false, false, drain);
          outcome = kExtractOutsideLink;
        } else {
          outcome = ExtractEntryInto(folder, true, safe && madeFolders.count(part) != 0, drain);
        }
        if (outcome != kExtractWritten) complete = false;
        if (outcome != kExtractWritten) report->failed = true;
        if ((outcome == kExtractNotCreated || outcome == kExtractWriteFailed || outcome == kExtractNotReplaced) &&
            OsIsDiskFullError(OsLastError())) {
          report->diskFull = true;
        }
        AuditFile(folder + entry.name, outcome, false);
      }
      if (outcome == kExtractReadFailed) {
        complete = false;
        report->failed = true;
        break;
      }
    }
  }
  OsCloseFile(package.dataFile);
  package.dataFile = nullptr;
  return complete;
}
