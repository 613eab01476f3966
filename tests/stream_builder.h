// The tests' one writer of compressed blocks and packages, written from the
// format alone and kept apart from the builder tool's compressor and package
// writer, so that the decoder, the reader and the extraction are checked
// against data that the code under test did not make. To write, it takes
// from package/block.h only the length bonus and the checksum, which the
// worked examples in block_test.cpp pin with literal numbers.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/block.h"
#include "package/package.h"

inline void PutLE32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; i++) out->push_back(uint8_t(value >> (8 * i)));
}
inline void SetLE32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) (*bytes)[at + i] = uint8_t(value >> (8 * i));
}

// A block's bit stream, code by code (the map is above package/block.cpp):
// bits most significant first into 32-bit little-endian words. Beside the
// stream it keeps `output`, what a decoder must make of the codes so far, so
// a block can carry its own expected bytes. A copy from before the start
// adds nothing there: such streams are written only to be refused.
struct StreamBuilder {
  std::vector<uint32_t> words;
  uint32_t word = 0;
  int used = 0;
  std::vector<uint8_t> output;
  uint32_t lastOffset = 1;
  uint32_t indexWidth = 8;
  int literalWidth = 8;  // what a literal before any width code is written with
  uint8_t literalBase = 0;

  void Bit(uint32_t bit) {
    word = word << 1 | (bit & 1);
    if (++used == 32) {
      words.push_back(word);
      word = 0;
      used = 0;
    }
  }
  void Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; i--) Bit(value >> i);
  }
  // 2 and up: every digit below the leading 1, each followed by a bit that
  // says whether another digit comes.
  void Gamma(uint32_t value) {
    int top = 31;
    while (top > 0 && !(value >> top)) top--;
    for (int digit = top - 1; digit >= 0; digit--) {
      Bit(value >> digit);
      Bit(digit > 0);
    }
  }

  void Width8() {
    Bits(0x41, 9);  // 001 0000 0 1
    literalWidth = 8;
    literalBase = 0;
  }
  void Width7(uint8_t base) {
    Bits(0x40, 9);  // 001 0000 0 0
    Bits(base, 8);
    literalWidth = 7;
    literalBase = base;
  }
  void Literal(uint8_t byte) {
    Bit(1);
    Bits(uint8_t(byte - literalBase), literalWidth);
    output.push_back(byte);
  }
  void ZeroByte() {
    Bits(0x11, 7);  // 001 0001
    output.push_back(0);
  }
  void CopyOne(uint32_t distance) {  // 1 to 14; the last offset stays
    Bits(1, 3);
    Bits(distance + 1, 4);
    Copy(distance, 1);
  }
  void Short(uint32_t distance, uint32_t length) {  // 1 to 127, 2 to 5
    Bits(0, 3);
    Bits(distance, 7);
    Bits(length - 2, 2);
    lastOffset = distance;
    Copy(distance, length);
  }
  // count is the coded number; the decoder copies count + bonus.
  void Long(uint32_t distance, uint32_t count) {
    Bits(1, 2);
    Gamma((indexWidth < 32 ? distance >> indexWidth : 0) + 3);
    Bits(indexWidth < 32 ? distance & ((1u << indexWidth) - 1) : distance, int(indexWidth));
    Gamma(count);
    lastOffset = distance;
    Copy(distance, count + BlockLengthBonus(distance));
  }
  void Repeat(uint32_t count) {
    Bits(1, 2);
    Gamma(2);
    Gamma(count);
    Copy(lastOffset, count);
  }
  // The selector l (1 to 3) gives a field of l + 3 bits; 0 picks the
  // narrowest that holds the width.
  void IndexWidth(uint32_t width, uint32_t selector = 0) {
    if (selector == 0) selector = width < 16 ? 1 : width < 32 ? 2 : 3;
    Bits(0, 10);
    Bits(selector, 2);
    Bits(width, int(selector) + 3);
    indexWidth = width;
  }
  // Runs of 256 bytes as plain 8-bit numbers, whatever the literal width.
  void RawRuns(const uint8_t* bytes, size_t runs) {
    Bits(0x21, 8);  // 001 0000 1
    for (size_t run = 0; run < runs; run++) {
      for (size_t i = 0; i < 256; i++) Bits(bytes[run * 256 + i], 8);
      output.insert(output.end(), bytes + run * 256, bytes + run * 256 + 256);
      Bit(run + 1 < runs);
    }
  }
  void End() { Bits(0, 12); }

  // The header ("JC", expanded size, checksum) and the words; a last partial
  // word is filled up with zero bits.
  std::vector<uint8_t> Block(uint32_t expanded, uint32_t checksum) const {
    std::vector<uint8_t> block = {'J', 'C'};
    PutLE32(&block, expanded);
    PutLE32(&block, checksum);
    for (uint32_t w : words) PutLE32(&block, w);
    if (used > 0) PutLE32(&block, word << (32 - used));
    return block;
  }
  std::vector<uint8_t> OutputBlock(bool withChecksum = true) const {
    uint32_t size = uint32_t(output.size());
    return Block(size, withChecksum ? BlockChecksum(output.data(), size) : 0);
  }

 private:
  void Copy(uint32_t distance, uint32_t length) {
    if (distance == 0 || distance > output.size()) return;
    for (uint32_t i = 0; i < length; i++) output.push_back(output[output.size() - distance]);
  }
};

// A block of 8-bit literals only, with its checksum: larger than the data,
// as the package tests want of a compressed entry or directory.
inline std::vector<uint8_t> LiteralBlock(const std::vector<uint8_t>& data) {
  StreamBuilder s;
  s.Width8();
  for (uint8_t byte : data) s.Literal(byte);
  s.End();
  return s.OutputBlock();
}

// ExpandBlock into a destination of destSize bytes (default: the expanded
// size + 8) with canary bytes on both sides.
struct Expansion {
  uint32_t result = 0;
  std::vector<uint8_t> bytes;  // the whole destination
  bool canariesIntact = true;
  std::vector<uint8_t> First(size_t n) const { return std::vector<uint8_t>(bytes.begin(), bytes.begin() + n); }
};

const uint8_t kCanary = 0xA5;

inline Expansion ExpandGuarded(const std::vector<uint8_t>& block, long destSize = -1) {
  const size_t guard = 16;
  size_t size = destSize >= 0 ? size_t(destSize) : BlockExpandedSize(block.data(), block.size()) + kBlockSlack;
  std::vector<uint8_t> buffer(size + 2 * guard, kCanary);
  Expansion e;
  e.result = ExpandBlock(block.data(), block.size(), buffer.data() + guard, size);
  e.bytes.assign(buffer.begin() + guard, buffer.begin() + guard + long(size));
  for (size_t i = 0; i < guard; i++) {
    if (buffer[i] != kCanary || buffer[guard + size + i] != kCanary) e.canariesIntact = false;
  }
  return e;
}

// ----------------------------------------------------------- packages --

const uint64_t kTestCreated = 131000000000000000ull;  // 2016
const uint64_t kTestWritten = 132000000000000000ull;  // 2019

// One entry as it is laid into the data region: block holds the bytes
// exactly as stored (raw bytes or a compressed block).
struct TestEntry {
  std::string name;
  int32_t kind = kEntryKindFile;
  int32_t size = 0;
  std::vector<uint8_t> block;
  uint64_t creationTime = kTestCreated;
  uint64_t lastWriteTime = kTestWritten;
};

inline TestEntry RawFile(const std::string& name, const std::string& content, uint64_t created = kTestCreated,
                         uint64_t written = kTestWritten) {
  TestEntry entry;
  entry.name = name;
  entry.size = int32_t(content.size());
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

struct PackageLayout {
  size_t prefix = 0;            // bytes before the data region, "MZ" first
  size_t directoryPadding = 0;  // zero bytes after the last entry
  // Makes the stored directory from the plain one; none stores it plain.
  std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> packDirectory;
};

// Prefix, the blocks back to back, the directory and the 16-byte trailer.
// A packed directory exactly as long as the plain one would read as plain,
// so it is stored plain.
inline std::vector<uint8_t> MakePackage(const std::vector<TestEntry>& entries, const PackageLayout& layout) {
  std::vector<uint8_t> file;
  for (size_t i = 0; i < layout.prefix; i++) file.push_back(i < 2 ? uint8_t("MZ"[i]) : uint8_t(i * 31));
  std::vector<uint8_t> directory;
  PutLE32(&directory, uint32_t(entries.size()));
  for (const TestEntry& e : entries) {
    directory.insert(directory.end(), e.name.begin(), e.name.end());
    directory.push_back(0);
    for (uint32_t field : {uint32_t(e.kind), uint32_t(e.size), uint32_t(e.block.size()), uint32_t(file.size()),
                           uint32_t(e.creationTime), uint32_t(e.creationTime >> 32), uint32_t(e.lastWriteTime),
                           uint32_t(e.lastWriteTime >> 32)}) {
      PutLE32(&directory, field);
    }
    file.insert(file.end(), e.block.begin(), e.block.end());
  }
  directory.insert(directory.end(), layout.directoryPadding, 0);
  std::vector<uint8_t> stored = layout.packDirectory ? layout.packDirectory(directory) : directory;
  if (stored.size() == directory.size()) stored = directory;
  file.insert(file.end(), stored.begin(), stored.end());
  PutLE32(&file, uint32_t(directory.size()));
  PutLE32(&file, uint32_t(stored.size()));
  PutLE32(&file, uint32_t(layout.prefix));
  file.insert(file.end(), {'P', 'a', 'c', 'k'});
  return file;
}

inline std::vector<uint8_t> MakePackage(const std::vector<TestEntry>& entries, size_t prefix = 0) {
  PackageLayout layout;
  layout.prefix = prefix;
  return MakePackage(entries, layout);
}

// A signed program as Authenticode leaves it: a PE header in the prefix
// whose security directory (a file offset and a size) names a certificate
// table appended after the package and its alignment zeros.
const size_t kSignedPrefix = 0x200;  // room for the headers that SignPackage writes
const size_t kSignedPeAt = 0x80;
const size_t kSignedOptionalAt = kSignedPeAt + 24;

struct SignedLayout {
  bool pe32plus = false;
  size_t padding = 0;     // zero bytes between "Pack" and the table
  // Bytes of the certificate table: one certificate entry whose DER value
  // (a SEQUENCE of 0xC5 bytes) fills it; at most 137 bytes.
  size_t tableSize = 24;
};

// Where the security directory's position and size fields are.
inline size_t SecurityDirectoryAt(bool pe32plus) { return kSignedOptionalAt + (pe32plus ? 112 : 96) + 4 * 8; }

// Signs a package made with a prefix of at least kSignedPrefix bytes.
inline std::vector<uint8_t> SignPackage(std::vector<uint8_t> file, const SignedLayout& layout) {
  SetLE32(&file, 0x3C, uint32_t(kSignedPeAt));
  SetLE32(&file, kSignedPeAt, 0x00004550);  // "PE\0\0"
  const uint32_t optionalSize = layout.pe32plus ? 0xF0 : 0xE0;
  file[kSignedPeAt + 20] = uint8_t(optionalSize);
  file[kSignedPeAt + 21] = 0;
  file[kSignedOptionalAt] = 0x0B;
  file[kSignedOptionalAt + 1] = layout.pe32plus ? 0x02 : 0x01;
  SetLE32(&file, kSignedOptionalAt + (layout.pe32plus ? 108 : 92), 16);  // data directories
  file.insert(file.end(), layout.padding, 0);
  SetLE32(&file, SecurityDirectoryAt(layout.pe32plus), uint32_t(file.size()));
  SetLE32(&file, SecurityDirectoryAt(layout.pe32plus) + 4, uint32_t(layout.tableSize));
  const size_t table = file.size();
  file.insert(file.end(), layout.tableSize, 0xC5);
  if (layout.tableSize >= 10) {
    SetLE32(&file, table, uint32_t(layout.tableSize));
    SetLE32(&file, table + 4, 0x00020200);  // revision 2.0, PKCS #7 SignedData
    file[table + 8] = 0x30;
    file[table + 9] = uint8_t(layout.tableSize - 10);
  }
  return file;
}
