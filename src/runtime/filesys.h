// File-system helpers on Windows paths (ANSI, "\" separators, at most 260
// characters). Existence checks rest on FileSize: -1 nothing at the path,
// -2 a folder or the root of an existing drive, else the size in bytes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/file.h"

const size_t kMaxPath = 260;

int64_t FileSize(const std::string& path);
bool FileExists(const std::string& path);    // a file, not a folder
bool FolderExists(const std::string& path);  // FileSize is -2
// Creates one folder (the parent must exist); trailing blanks, "\" and "/"
// are removed first.
bool CreateFolder(const std::string& path);
// Creates the missing folders along path: every prefix that ends in "\" or
// "/", so text after the last separator is a file name and stays uncreated
// (AddBackslash first to create the whole path). Roots ("\", "\\" and "X:\")
// are never made. A prefix that is a file or cannot be made is a failure;
// past one, kCreatePastFailures goes on (a share root is no folder to
// FileSize, yet the folders inside it can be made), kStopAtFailure ends the
// walk. True when the path already was a folder or no prefix failed.
enum FolderPathMode { kCreatePastFailures, kStopAtFailure };
bool CreateFolderPath(const std::string& path, FolderPathMode mode = kCreatePastFailures);

enum : int { kDeleteSubfolders = 1, kDeleteForce = 2 };
// Deletes the entries matching pattern (empty: "*.*"), then the folder
// itself; true when the folder was removed.
bool DeleteFolder(const std::string& path, const std::string& pattern, int mode);
bool CopyFileReplace(const std::string& source, const std::string& target);

enum : int { kDateCreated = 0, kDateAccessed = 1, kDateWritten = 2 };
// Seconds since 1970 on the local wall clock; 0 when not found.
int64_t GetFileDate(const std::string& path, int kind);
// "%yyyy", "%yy", "%mm", "%dd", "%hh", "%ii", "%ss" (letters in any case).
std::string FormatDate(const std::string& mask, int64_t date);
// The user's temporary folder, long form, ending in "\"; empty when the
// system names none.
std::string GetTemporaryFolder();

// Folder listing. A listing is a small positive number; 0 is no listing.
enum : int { kEntryFile = 1, kEntryFolder = 2 };
int ListFolder(const std::string& folder, const std::string& pattern);
bool NextEntry(int listing);
std::string EntryName(int listing);
int EntryType(int listing);
void FinishListing(int listing);
void ResetListings();  // tests: forget every open listing

// Writing a file so that a failure part-way, or the process's death, never
// leaves a half-written file under its final name, nor no file where an old
// one was: the bytes go to a temporary file beside it, which then takes the
// final name in one rename (OsReplaceFile). An existing file keeps its
// identity: its attributes, security and creation time stay, only the
// content is new. The temporary name is short ("~zd", 4 hex digits, ".tmp")
// and created exclusively, so two writers never share one; the platform
// takes it at any path length. Read-only files are never written: Windows
// refuses to replace them, and every platform answers alike.
struct ReplacingFile {
  OsFile file = nullptr;
  std::string path;           // final name
  std::string tempPath;       // where the bytes go until FinishReplacingFile
  bool createOnly = false;    // from BeginCreatingFile
  bool fresh = false;         // nothing was at path when writing began
  bool placeRefused = false;  // FinishReplacingFile: the system would not put the file in place
};
bool BeginReplacingFile(const std::string& path, ReplacingFile* out);
// As BeginReplacingFile for a path that nothing held a moment ago, as the
// caller made its folder in this run: the path is not asked for. The move
// at the end still never replaces a file that came meanwhile; such a file
// is replaced as an existing file would be, unless it is read-only.
bool BeginWritingNewFile(const std::string& path, ReplacingFile* out);
// As BeginReplacingFile for a file that must not exist: fails when
// something is at the path, and FinishReplacingFile never replaces a file
// that appeared meanwhile.
bool BeginCreatingFile(const std::string& path, ReplacingFile* out);
// Sets the times when either is non-zero, closes and moves into place. On
// failure the temporary file is removed and the old file stays; placeRefused
// tells a refused move (rights, a file in use) from a failed write.
bool FinishReplacingFile(ReplacingFile* file, uint64_t creationTime, uint64_t writeTime);
// Drops the temporary file.
void AbandonReplacingFile(ReplacingFile* file);

// Removes the temporary files that writers of earlier runs left in folder
// when they died before the move (names as TemporaryFileName makes them,
// ".tmp", or ".old" of older versions). A writer's file that is still open
// is not shared for delete, so the system refuses to remove one in use.
// Returns how many went.
int RemoveStaleTemporaries(const std::string& folder);

// The temporary name for a GUID text and a seed: any text, even an empty
// one, gives a name of kTemporaryNameLength characters.
const size_t kTemporaryNameLength = 11;
std::string TemporaryFileName(const std::string& guidText, uint32_t seed);

// A full folder path ("X:\..." or "\\server\share\...") in the one form
// the system would give it: "/" as "\", doubled separators single, "."
// components gone, ".." taking away the one before, trailing dots and blanks
// of each component cut (as the system cuts them), and a closing "\" kept
// when there was one. False, with *out empty, for a path that cannot be made
// sound: ".." above the root, a component of only dots and blanks, a
// character that no name may hold, or no server and share. A path that is
// not full is given back as it is (true).
bool NormalizeFolderPath(const std::string& path, std::string* out);

// Path text helpers shared by the modules.
// The path with a "\" appended unless it ends in one ("/" does not count);
// "" gives "\".
std::string AddBackslash(const std::string& path);
// Up to and including the last of the separators; empty when there is none.
std::string FolderPart(const std::string& path, const char* separators = "\\/");
std::string FileNamePart(const std::string& path);
