// The package writer of the builder tool: file blocks one after another,
// then the directory and the trailer that OpenPackage reads. Output goes to
// a temporary file beside the target and is renamed into place at the end,
// so a failure never leaves a half-written package under the final name;
// or, for a package that goes into another one, to memory.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lib/compress.h"
#include "package/package.h"

// Sizes, offsets and the whole host file stay below 2 GiB.
const int64_t kMaxPackageBytes = 0x7FFFFFFF;
// The most program-file bytes a solid setup.pck holds. The installer
// expands the one block whole into memory at start-up, and a 32-bit
// process can count on a free range of this size there (its 2 GiB of
// address space hold the program, the system DLLs and their heaps too);
// larger program folders are packed per file.
const int64_t kMaxSolidBytes = int64_t(256) << 20;

struct PackageWriter {
  std::FILE* out = nullptr;
  std::vector<uint8_t>* memory = nullptr;  // set: the bytes go here, not to a file
  std::string path;      // final name
  std::string tempPath;  // where the bytes go until FinishPackage
  CompressLevel level = kLevelDefault;
  int64_t position = 0;  // bytes written so far
  int32_t dataStart = 0;
  std::vector<PackageEntry> entries;
  std::string error;  // set when a call answers false
};

// Packs size bytes as a block: compressed when that is smaller than the
// data, else stored (StoreBlock). A block is never as long as the data,
// since equal lengths mean "raw" to the reader; so every byte a package
// holds is covered by a block checksum.
void PackBlock(const uint8_t* data, size_t size, CompressLevel level, std::vector<uint8_t>* block);
// A block that stores the bytes as they are, in raw runs of 256 bytes and
// literals for the rest, with the header and checksum of any block: about
// 14 bytes plus 1 bit per 256 bytes larger than the data (and 1 bit per
// byte of the last part below 256 bytes), so always larger than the data.
void StoreBlock(const uint8_t* data, size_t size, std::vector<uint8_t>* block);
// The directory bytes of entries (count, then name, zero and eight fields).
std::vector<uint8_t> EncodeDirectory(const std::vector<PackageEntry>& entries);
// The 16-byte trailer.
std::vector<uint8_t> EncodeTrailer(uint32_t unpackedSize, uint32_t storedSize, uint32_t dataStart);

// Starts a package at path; prefix (the installer stub, or nothing) comes
// first and the data region begins right after it.
bool BeginPackage(PackageWriter* writer, const std::string& path, const std::vector<uint8_t>& prefix,
                  CompressLevel level);
// Starts a package, with nothing before it, that is written into *memory.
void BeginPackageInMemory(PackageWriter* writer, std::vector<uint8_t>* memory, CompressLevel level);
bool AddFolderEntry(PackageWriter* writer, const std::string& name, uint64_t creationTime,
                    uint64_t lastWriteTime);
bool AddFileEntry(PackageWriter* writer, const std::string& name, const uint8_t* data, size_t size,
                  uint64_t creationTime, uint64_t lastWriteTime);
// Adds a file whose block PackBlock has made already (on another thread):
// the same bytes as AddFileEntry of the data.
bool AddPackedFileEntry(PackageWriter* writer, const std::string& name, size_t size,
                        const std::vector<uint8_t>& block, uint64_t creationTime, uint64_t lastWriteTime);
// Writes the directory and the trailer and moves the file into place.
bool FinishPackage(PackageWriter* writer);
// Drops the temporary file, or empties the memory; the target is left as it
// was.
void AbandonPackage(PackageWriter* writer);
