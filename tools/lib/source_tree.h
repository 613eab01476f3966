// The files and folders that go into a package, found by walking a source
// folder: their stored names, sizes and times.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One file or folder found under a source folder, or a file made in memory.
struct SourceItem {
  std::string name;  // stored name: "\" separators, folders end in "\"
  std::filesystem::path path;
  const std::vector<uint8_t>* bytes = nullptr;  // set: the content, not read from path
  bool folder = false;
  int64_t size = 0;
  uint64_t creationTime = 0;
  uint64_t lastWriteTime = 0;
};

// Lists every folder and regular file below root with its stored name,
// sorted byte-wise. Times are clamped to SOURCE_DATE_EPOCH (unix seconds)
// when it is set. False, with *error set, for a name that cannot be stored,
// a link to a folder, anything that is neither file nor folder, a file of
// 2 GiB or more, or a walk that fails.
bool CollectTree(const std::filesystem::path& root, std::vector<SourceItem>* items, std::string* error);
// False, with *error naming both, when two items would be one file on
// Windows.
bool CheckDuplicates(const std::vector<SourceItem>& items, std::string* error);
// Byte-wise by stored name: a folder's "\" name sorts before its contents
// because it is their prefix.
void SortByName(std::vector<SourceItem>* items);
// The order of a solid package, where alike files must sit together for
// the one block to find their common bytes: every folder first, in
// SortByName order (so each comes before its subfolders), then the files
// by extension (without case), then by name. Only the order changes; each
// entry keeps its name, so every file lands where it would otherwise.
void SortForSolid(std::vector<SourceItem>* items);
int64_t TotalBytes(const std::vector<SourceItem>& items);
// Reads exactly expected bytes; false when the file is shorter or longer.
bool ReadFileBytes(const std::filesystem::path& path, int64_t expected, std::vector<uint8_t>* bytes);

// Unix time (seconds, nanoseconds) to FILETIME; 0 before 1601 is impossible
// for unsigned inputs, so every input maps.
uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds);
