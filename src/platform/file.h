// Thin file-system layer. Paths are Windows paths (ANSI, "\" separators);
// the POSIX build maps "\" to "/" and answers the drive questions as a
// machine without drive letters would.
#pragma once
#include <cstdint>
#include <string>

typedef void* OsFile;  // nullptr: no file

// While a file is open for reading others may read and write it; while it
// is open for writing they may only read it (Windows; POSIX does not lock).
enum OsOpenMode {
  kOsOpenRead = 0,          // existing file, read only
  kOsOpenReadWrite = 1,     // existing file, read and write
  kOsOpenCreateAlways = 2,  // create or replace (length 0), read and write
  kOsOpenAlways = 3,        // open existing or create new, read and write
  kOsOpenCreateNew = 4,     // create; fails when anything is at the path already
  // As kOsOpenCreateNew, and the file can be moved to another name through
  // this handle (OsMoveOpenFile), so a writer can put it in place and still
  // set its times through the handle.
  kOsOpenCreateNewMovable = 5,
  // Existing file, read only, and while it is open nobody may write,
  // rename or delete it: others may only read it (and run it). POSIX
  // cannot hold a file so; there it only refuses a link at the final name.
  kOsOpenReadHeld = 6,
  // As kOsOpenCreateNew, and nobody else may open or delete the file while
  // it is open; the system removes it when the handle closes, also when the
  // process dies (Windows; POSIX: a plain create).
  kOsOpenCreateNewHeld = 7,
};

OsFile OsOpenFile(const std::string& path, OsOpenMode mode);
// Reads up to size bytes; *got receives the count. False on an I/O error.
bool OsReadFile(OsFile file, void* buffer, uint32_t size, uint32_t* got);
// Writes all size bytes; false when fewer were written.
bool OsWriteFile(OsFile file, const void* data, uint32_t size);
bool OsSeekFile(OsFile file, int64_t position);
int64_t OsFileLength(OsFile file);  // -1 on failure
// Cuts the file at the current position.
bool OsTruncateFile(OsFile file);
// Sets creation and last-write time (FILETIME values); a time of 0 leaves
// that one as it is, and last access is never touched.
bool OsSetFileTimes(OsFile file, uint64_t creation, uint64_t lastWrite);
bool OsFlushFile(OsFile file);
void OsCloseFile(OsFile file);

bool OsDeleteFile(const std::string& path);
// Puts the file `from` in place of `to` in one rename that replaces, so
// that the name holds the old file or the new one at every moment, also
// when the process dies part-way. An existing `to` keeps its identity: its
// attributes, access list and creation time pass to the new file before the
// rename, so only the content is new (POSIX: the permission bits). A file in
// use that the system will not replace, or a folder at `to`, fails, and a
// failure leaves both files under their names.
bool OsReplaceFile(const std::string& from, const std::string& to);
// Moves the file `from`, open as `file` (opened kOsOpenCreateNewMovable,
// which nothing else may move or delete meanwhile), to `to` only when
// nothing is at `to`; never replaces. The file stays open.
bool OsMoveOpenFile(OsFile file, const std::string& from, const std::string& to);
bool OsCopyFile(const std::string& source, const std::string& target, bool replace);
bool OsCreateDirectory(const std::string& path);
bool OsRemoveDirectory(const std::string& path);
// Asks the system to delete the file at the next restart (Windows: a
// delayed move to nowhere, which needs the rights to write the machine's
// pending-rename list); false where it cannot, and always on POSIX.
bool OsDeleteFileAtRestart(const std::string& path);
bool OsSetNormalAttributes(const std::string& path);
// What is at one path, asked directly rather than through a folder search
// (which the system may answer by reading the whole folder): false when
// nothing is there.
bool OsPathAttributes(const std::string& path, bool* isFolder, bool* readOnly);
// Drive type of a root such as "C:\": 0 unknown, 1 no such root, above 1 a drive.
int OsDriveType(const std::string& root);

struct OsFindData {
  std::string name;  // without folder
  bool isFolder = false;
  bool readOnly = false;
  bool isLink = false;  // a reparse point (junction, symbolic link): Windows only
  int64_t size = 0;
  uint64_t creationTime = 0;  // FILETIME values
  uint64_t accessTime = 0;
  uint64_t writeTime = 0;
};
typedef void* OsFind;  // nullptr: no search
// Starts a search with a pattern ("C:\dir\*.*"); *noMatch tells a search
// that failed only because nothing matched.
OsFind OsFindFirst(const std::string& pattern, OsFindData* data, bool* noMatch);
bool OsFindNext(OsFind find, OsFindData* data);
void OsFindClose(OsFind find);

// FILETIME (UTC) to seconds since 1970 on the local wall clock; false on failure.
bool OsFileTimeToLocalSeconds(uint64_t fileTime, int64_t* seconds);
// Temporary folder as the system gives it, in long form where the system can.
std::string OsGetTempPath();
// A number for naming temporary files when no GUID is at hand: the process
// id mixed with a tick count and a count of the calls, so that two processes,
// and two calls within one tick, get different numbers.
uint32_t OsNameSeed();
// A path that names one place whatever the current drive and folder are:
// Windows "X:\" or "X:/" and "\\server\share"; POSIX a leading "/" (after
// "\" became "/").
bool OsIsFullPath(const std::string& path);
