// Packages laid out by hand for the reader and extraction tests: entries
// with their stored blocks, a prefix, the directory (raw or as a block of
// literals) and the trailer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lib/package_writer.h"
#include "package/block.h"
#include "package/package.h"

const uint64_t kTestCreated = 131000000000000000ull;  // 2016
const uint64_t kTestWritten = 132000000000000000ull;  // 2019

// One entry as the test lays it into the data region; block holds the bytes
// exactly as stored (raw bytes or a compressed block).
struct TestEntry {
  std::string name;
  int32_t kind = kEntryKindFile;
  int32_t size = 0;
  std::vector<uint8_t> block;
  uint64_t creationTime = kTestCreated;
  uint64_t lastWriteTime = kTestWritten;
};

inline TestEntry RawFile(const std::string& name, const std::string& content,
                         uint64_t created = kTestCreated, uint64_t written = kTestWritten) {
  TestEntry entry;
  entry.name = name;
  entry.size = static_cast<int32_t>(content.size());
  entry.block.assign(content.begin(), content.end());
  entry.creationTime = created;
  entry.lastWriteTime = written;
  return entry;
}

inline TestEntry Folder(const std::string& name, int32_t size = 0) {
  TestEntry entry;
  entry.name = name;
  entry.kind = kEntryKindFolder;
  entry.size = size;
  return entry;
}

// Writes bits most significant first into 32-bit little-endian words.
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint32_t word = 0;
  int used = 0;
  void Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; i--) {
      word = word << 1 | ((value >> i) & 1);
      if (++used == 32) Flush();
    }
  }
  void Flush() {
    for (int i = 0; i < 4; i++) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
    word = 0;
    used = 0;
  }
  std::vector<uint8_t> Finish() {
    if (used > 0) {
      word <<= 32 - used;
      Flush();
    }
    return bytes;
  }
};

// A compressed block that holds only 8-bit literals: independent of the
// builder's compressor, and larger than the data, as the tests want.
inline std::vector<uint8_t> LiteralBlock(const std::vector<uint8_t>& data) {
  BitWriter bits;
  bits.Put(1, 3);  // 001
  bits.Put(0, 4);
  bits.Put(0, 1);
  bits.Put(1, 1);  // literal width 8, base 0
  for (uint8_t byte : data) {
    bits.Put(1, 1);
    bits.Put(byte, 8);
  }
  bits.Put(0, 3);
  bits.Put(0, 7);
  bits.Put(0, 2);  // end of stream
  std::vector<uint8_t> stream = bits.Finish();
  std::vector<uint8_t> block = {'J', 'C'};
  uint32_t size = static_cast<uint32_t>(data.size());
  uint32_t checksum = BlockChecksum(data.data(), data.size());
  for (int i = 0; i < 4; i++) block.push_back(static_cast<uint8_t>(size >> (8 * i)));
  for (int i = 0; i < 4; i++) block.push_back(static_cast<uint8_t>(checksum >> (8 * i)));
  block.insert(block.end(), stream.begin(), stream.end());
  return block;
}

// Lays out prefix, blocks, directory (raw, or a literal block) and trailer.
inline std::vector<uint8_t> MakePackage(const std::vector<TestEntry>& entries, size_t prefixSize = 0,
                                        bool compressDirectory = false) {
  std::vector<uint8_t> out(prefixSize, 0xEE);
  std::vector<PackageEntry> directory;
  for (const TestEntry& test : entries) {
    PackageEntry entry;
    entry.name = test.name;
    entry.kind = test.kind;
    entry.size = test.size;
    entry.storedSize = static_cast<int32_t>(test.block.size());
    entry.offset = static_cast<int32_t>(out.size());
    entry.creationTime = test.creationTime;
    entry.lastWriteTime = test.lastWriteTime;
    out.insert(out.end(), test.block.begin(), test.block.end());
    directory.push_back(entry);
  }
  std::vector<uint8_t> raw = EncodeDirectory(directory);
  std::vector<uint8_t> block = compressDirectory ? LiteralBlock(raw) : raw;
  out.insert(out.end(), block.begin(), block.end());
  std::vector<uint8_t> trailer = EncodeTrailer(static_cast<uint32_t>(raw.size()),
                                               static_cast<uint32_t>(block.size()),
                                               static_cast<uint32_t>(prefixSize));
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}
