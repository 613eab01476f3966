// The package container: data blocks, a directory and a 16-byte trailer at
// the end of the host file. One package is open at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

typedef void (*ProgressCallback)();

enum : int32_t { kEntryKindFolder = 0, kEntryKindFile = 1 };

const uint32_t kPackageTrailerSize = 16;
const uint32_t kPackageEntryFixedSize = 32;  // eight 32-bit fields after the name
const uint32_t kPackageMagic = 0x6B636150;   // "Pack" read little-endian
// A directory expands into one buffer; no real package comes near this.
const uint32_t kMaxDirectorySize = 64u << 20;

// Why a package was refused; OpenPackage itself only answers true or false.
enum PackageOpenResult {
  kPackageOpened = 0,
  kPackageMissing,         // no file, a folder, or an empty file
  kPackageUnreadable,      // the file would not open or read
  kPackageNoMagic,         // the last four bytes are not "Pack"
  kPackageBadTrailer,      // the trailer points outside the file
  kPackageBadDirectory,    // the directory does not expand or ends inside an entry
  kPackageBadEntry,        // an entry's sizes cannot be right
  kPackageDataOverrun,     // the blocks run past the directory
  kPackageBadSignature,    // a signed program whose certificate table cannot be right
  kPackageInCertificateTable,  // a signed program that ends in "Pack" inside its certificate table
};
struct PackageEntry {
  std::string name;
  int32_t kind = 0;
  int32_t size = 0;
  int32_t storedSize = 0;
  int32_t offset = 0;
  uint64_t creationTime = 0;   // FILETIME
  uint64_t lastWriteTime = 0;  // FILETIME
};

struct PackageReader {
  std::string fileName;
  bool open = false;  // from OpenPackage, even a refused one, to ClosePackage
  int32_t dataStart = 0;
  uint32_t totalSize = 0;
  ProgressCallback progress = nullptr;
  std::vector<PackageEntry> entries;
  size_t cursor = 0;  // 0: before the first entry; entries[cursor - 1] is current
  // Set by OpenPackage for the tools: where the directory block begins.
  int64_t directoryPosition = 0;
  uint32_t directoryStoredSize = 0;
  // The package file while ExtractPackage reads it; nullptr otherwise.
  OsFile dataFile = nullptr;
  PackageOpenResult lastResult = kPackageMissing;
};

PackageReader& Package();
void ResetPackageReader();

const char* PackageOpenResultText(PackageOpenResult result);

// Opens the package at the end of the file at path and loads its directory.
// The entry list is cleared first, so a refused package has no entries.
bool OpenPackage(const std::string& path, ProgressCallback progress);
// Ends the open span and closes the package file if a reader left it open;
// always true.
bool ClosePackage();
// True when the last OpenPackage found "Pack" at the end of the file but
// could not use what it points to: a damaged package rather than none.
bool PackageIsDamaged();
void ResetEntryCursor();
bool NextPackageEntry();
const PackageEntry& CurrentPackageEntry();
uint32_t PackageTotalSize();
