// Compressed blocks of the package format: a 10-byte header ("JC", expanded
// size, checksum) and an LZ77 bit stream. See block.cpp for the format map.
// This header is the contract that the decoder here and the builder's
// compressor both write to: every fact of the format that both sides need
// is named here once.
#pragma once
#include <cstddef>
#include <cstdint>

const uint32_t kBlockHeaderSize = 10;
const uint32_t kBlockSlack = 8;  // destinations are expanded size + 8 bytes
// Header fields: the magic at 0, then little-endian 32-bit values.
const char kBlockMagic[2] = {'J', 'C'};
const uint32_t kBlockSizeAt = 2;      // expanded size
const uint32_t kBlockChecksumAt = 6;  // checksum of the expanded bytes, 0 = none

// Every 32-bit value of the package format is little-endian.
inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void StoreLE32(uint8_t* p, uint32_t value) {
  p[0] = uint8_t(value);
  p[1] = uint8_t(value >> 8);
  p[2] = uint8_t(value >> 16);
  p[3] = uint8_t(value >> 24);
}

// What a long match at distance adds to its coded count (at least 2): within
// 127 bytes the short code already covers lengths up to 5, and far matches
// must be longer to be worth their distance.
inline uint32_t BlockLengthBonus(uint32_t distance) {
  if (distance <= 0x7F) return 4;
  if (distance < 0x27F) return 0;
  if (distance < 0x37FF) return 1;
  if (distance < 0x10000) return 2;
  return 3;
}

// Expands a block of blockSize bytes into dest, which holds destSize bytes
// (at least the expanded size + 8). Returns the bytes written, or 0 when the
// block is malformed, does not fit, or fails its checksum. A stream that ends
// before the expanded size is malformed too: its result is 0, not the count
// of bytes it did write, so no caller can take a short file for a whole one.
uint32_t ExpandBlock(const uint8_t* block, size_t blockSize, uint8_t* dest, size_t destSize);

// The rest of a block that arrives in pieces: more() gives the next piece
// (false, or fewer than 4 bytes, when there is none), which must stay valid
// until the next call. Every piece but the last holds whole 32-bit words.
struct BlockSource {
  bool (*more)(BlockSource* source, const uint8_t** piece, size_t* size) = nullptr;
  void* context = nullptr;
};
// ExpandBlock of a block whose first blockSize bytes (the header and whole
// words) are at block and whose remaining words come from source, so that
// only a piece of the block need be in memory at a time. With a null source
// it is ExpandBlock.
uint32_t ExpandBlockFrom(const uint8_t* block, size_t blockSize, BlockSource* source, uint8_t* dest,
                         size_t destSize);
// Expanded size from the header; 0 when there is no "JC" header.
uint32_t BlockExpandedSize(const uint8_t* block, size_t blockSize);
// The block checksum of size bytes (0 below 4 bytes).
uint32_t BlockChecksum(const uint8_t* data, size_t size);
