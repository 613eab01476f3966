// The block compressor of the package builder: writes the block format that
// ExpandBlock reads, with checksums.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/block.h"

enum CompressLevel { kLevelFast = 1, kLevelDefault = 2, kLevelBest = 3 };

// Compresses size bytes into *block. Returns false, leaving *block empty,
// when the block would not be smaller than the data: the caller stores the
// data raw then.
bool CompressBlock(const uint8_t* data, size_t size, CompressLevel level,
                   std::vector<uint8_t>* block);

// Appends a 32-bit value as the package format stores it (little-endian).
inline void AppendLE32(std::vector<uint8_t>* out, uint32_t value) {
  // Byte by byte: GCC 12 at -O3 warns falsely about a range insert here.
  for (int shift = 0; shift < 32; shift += 8) out->push_back(uint8_t(value >> shift));
}
