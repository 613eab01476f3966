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

// A large file is compressed in pieces that several threads can work on:
// each piece is parsed and written on its own, from a fixed cut of the
// input, and their bit strings are joined into the file's one block. A
// piece may copy from anywhere earlier in the file, but it starts with no
// last offset and sets its own literal width and index width, so it needs
// nothing of the piece before it. The cut depends on the size alone, so the
// block is the same whatever number of threads made it.
const size_t kPieceThreshold = size_t(2) << 20;  // files above this are cut
const size_t kPieceSize = size_t(1) << 20;

// Where earlier bytes with the same first three bytes start, for every
// position of a file: built once, then only read by its pieces.
struct MatchChains {
  const uint8_t* data = nullptr;
  size_t size = 0;
  uint32_t window = 0;          // the farthest distance searched
  std::vector<uint32_t> prev;   // position + 1 of the previous alike, 0: none
  // The same by the first 8 bytes: far back, where the first three are
  // common, this chain still reaches the long matches.
  std::vector<uint32_t> prevLong;
  // Distance to the previous position with the same first two bytes when
  // it is below 0x27F, the reach of two-byte matches; 0 otherwise.
  std::vector<uint16_t> near2;
};

// One piece's codes: whole 32-bit words, then tailBits more bits, the last
// of them in the low bits of tail.
struct BlockPiece {
  std::vector<uint32_t> words;
  uint32_t tail = 0;
  int tailBits = 0;
  bool overflow = false;  // stopped: no smaller than the whole file
};

// The number of pieces of a file of size bytes: 1 up to kPieceThreshold.
size_t CountBlockPieces(size_t size);
// Builds the chains that the pieces of data read.
void PrepareBlockPieces(const uint8_t* data, size_t size, MatchChains* chains);
// Compresses piece index of the data the chains were built for.
void CompressBlockPiece(const MatchChains& chains, CompressLevel level, size_t index,
                        BlockPiece* piece);
// Writes the header and the pieces, in order, as one block. Returns false,
// leaving *block empty, when the block would not be smaller than the data.
bool JoinBlockPieces(const uint8_t* data, size_t size, const std::vector<BlockPiece>& pieces,
                     std::vector<uint8_t>* block);

// Appends a 32-bit value as the package format stores it (little-endian).
inline void AppendLE32(std::vector<uint8_t>* out, uint32_t value) {
  // Byte by byte: GCC 12 at -O3 warns falsely about a range insert here.
  for (int shift = 0; shift < 32; shift += 8) out->push_back(uint8_t(value >> shift));
}
