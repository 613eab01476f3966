// Extraction of the open package into a destination folder.
#pragma once
#include <cstdint>
#include <string>

// Called between the pieces of an extraction: after each file that was
// tried, and between the chunks of a large file's read and write. A caller
// with a window passes its drain, so that the window keeps answering during
// a long copy; the extraction itself never touches the window system.
typedef void (*ExtractDrain)();
// The piece of a file's block read or written between two drains.
const uint32_t kExtractChunk = 1u << 20;

// What an extraction left undone, told apart: files kept on purpose (the
// no-copy list) and entries that should have been written and were not.
struct ExtractReport {
  int kept = 0;         // existing files of a listed extension, left alone
  bool failed = false;  // an entry not written, or a damaged, unreadable or short package
  bool diskFull = false;  // a file failed for want of room on its volume
};
// Extracts every entry; false when something was not written as it should
// be (see extract.cpp). The no-copy list names extensions ("opt|ini|") whose
// existing files are left alone. drain and report may be null.
bool ExtractPackage(const std::string& destination, const std::string& noCopyList, ExtractDrain drain = nullptr,
                    ExtractReport* report = nullptr);
// Extracts the current entry, or only reads past its block when write is
// false. Nothing in the installer calls it: ExtractPackage needs the outcome
// that ExtractCurrentEntry tells apart. It stays as the one-entry step for a
// caller that walks the entries itself, as the tests do.
bool ExtractEntry(const std::string& destination, bool write);

// What became of one entry; ExtractEntry folds it into its true/false.
enum ExtractOutcome {
  kExtractWritten = 0,
  kExtractPassedOver,   // read past on purpose (write false)
  kExtractUnsafeName,   // the name would land outside the destination
  kExtractBadBlock,     // the block did not expand or failed its checksum
  kExtractNotCreated,   // the file could not be created, even after the login
  kExtractWriteFailed,  // created, but the bytes or times did not go down
  kExtractReadFailed,   // the package file ended early: the stream is lost
  kExtractNotReplaced,  // written, but the system would not put it in place of the existing file
  kExtractOutsideLink,  // its folder is a link whose final path lies outside the destination
};
const char* ExtractOutcomeText(ExtractOutcome outcome);
// The login retry (TryWithLogin) around one whole file write, write(job):
// when the file could not be created or could not take the place of the
// existing one, and the process lacks administrator rights, the login is
// offered and the write runs exactly once more, from the start.
ExtractOutcome RetryWithLogin(ExtractOutcome (*write)(void* job), void* job);
ExtractOutcome ExtractCurrentEntry(const std::string& destination, bool write, ExtractDrain drain = nullptr);
// True when name, joined to a destination folder, stays inside it: a
// relative path without "..", ":", leading separators or empty parts.
bool IsSafeEntryName(const std::string& name, bool folder);
// The extension as the no-copy list compares it; empty when none.
std::string EntryExtension(const std::string& name);
// True when the extension matches one of the counted items of the list.
bool IsListedExtension(const std::string& extension, const std::string& noCopyList);
