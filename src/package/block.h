// Compressed blocks of the package format: a 10-byte header ("JC", expanded
// size, checksum) and an LZ77 bit stream. See block.cpp for the format map.
#pragma once
#include <cstddef>
#include <cstdint>

const uint32_t kBlockHeaderSize = 10;
const uint32_t kBlockSlack = 8;  // destinations are expanded size + 8 bytes

// Expands a block of blockSize bytes into dest, which holds destSize bytes
// (at least the expanded size + 8). Returns the bytes written, or 0 when the
// block is malformed, does not fit, or fails its checksum. A stream that ends
// before the expanded size is malformed too: its result is 0, not the count
// of bytes it did write, so no caller can take a short file for a whole one.
uint32_t ExpandBlock(const uint8_t* block, size_t blockSize, uint8_t* dest, size_t destSize);
// Expanded size from the header; 0 when there is no "JC" header.
uint32_t BlockExpandedSize(const uint8_t* block, size_t blockSize);
// The block checksum of size bytes (0 below 4 bytes).
uint32_t BlockChecksum(const uint8_t* data, size_t size);
