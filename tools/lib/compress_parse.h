// Parsing for the block compressor: the match finder over a whole file and
// the parsers that turn a segment of a piece into operations of the block
// format, priced in bits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "compress.h"

// Segments are parsed and priced one at a time; matches never cross a
// segment's end, which costs next to nothing at this size.
const size_t kSegmentSize = 1 << 16;

enum : uint8_t {
  kOpLiteral,  // one byte, literal width bits
  kOpZero,     // one zero byte
  kOpNear,     // one byte from dist 1..14
  kOpMatch,    // len bytes from dist: short code when it fits, else long
  kOpRepeat,   // len bytes from the last offset
  kOpRaw,      // 256 bytes stored; neighbours are joined into one run
};

struct ParseOp {
  uint32_t pos;
  uint32_t len;
  uint32_t dist;
  uint8_t kind;
};

inline int GammaBits(uint32_t v) { return 2 * (31 - __builtin_clz(v)); }

inline bool IsShortMatch(uint32_t len, uint32_t d) { return d <= 127 && len <= 5; }

// Bits of a match of len bytes at distance d; a huge price when no code
// can express it.
inline uint32_t MatchBits(uint32_t len, uint32_t d, int indexWidth) {
  if (IsShortMatch(len, d)) return 12;
  uint32_t bonus = BlockLengthBonus(d);
  if (len < bonus + 2) return 1u << 20;
  return uint32_t(2 + GammaBits((d >> indexWidth) + 3) + indexWidth + GammaBits(len - bonus));
}

inline uint32_t RepeatBits(uint32_t len) { return uint32_t(4 + GammaBits(len)); }

// The parse of one piece, with its own last offset, over the file's shared
// chains. Nothing here is shared between pieces.
struct ParseState {
  const MatchChains* chains = nullptr;
  CompressLevel level = kLevelDefault;
  uint32_t lastOffset = 0;  // 0: none yet, so no repeat code
  int depth = 0;
  int longDepth = 0;  // steps along the 8-byte chain
  uint32_t niceLength = 0;
  int states = 1;  // last offsets kept per position by the optimal parse
  // optimal parse scratch, `states` entries per position of a segment + 1
  std::vector<uint32_t> price;
  std::vector<uint32_t> offsetAt;
  std::vector<uint32_t> fromLen;
  std::vector<uint32_t> fromDist;
  std::vector<uint8_t> fromKind;
  std::vector<uint8_t> fromState;
  std::vector<uint8_t> count;
};

// Builds the chains of data: one pass over the whole file, before any piece
// is parsed.
void BuildMatchChains(const uint8_t* data, size_t size, MatchChains* chains);
// Starts the parse of a piece.
void BeginParse(ParseState& p, const MatchChains& chains, CompressLevel level);
// Appends the operations for bytes start..end-1 to *ops. literalBits is the
// price of a literal under the current literal width (8 or 9 with prefix).
void ParseSegment(ParseState& p, size_t start, size_t end, int indexWidth, uint32_t literalBits,
                  std::vector<ParseOp>* ops);
