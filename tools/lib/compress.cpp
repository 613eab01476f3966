// Block compressor of the package builder. The input is cut into pieces
// (one unless the file is large) and each piece into segments; each
// segment is parsed into operations (greedy at the fast level, a
// price-based optimal parse otherwise), then the segment's literal width and
// index width are chosen from the operations it actually uses, and the
// operations are written as codes of the block format read by ExpandBlock
// (see src/package/block.cpp for the code table). The pieces' codes are
// joined into one stream behind the header.
#include "compress.h"

#include <cstring>

#include "compress_parse.h"

namespace {

// Bits are packed most significant first into 32-bit little-endian words.
struct BitSink {
  std::vector<uint32_t> words;
  uint64_t acc = 0;
  int pending = 0;  // bits in acc not yet in words, below 32
};

void PutBits(BitSink& s, uint32_t v, int n) {
  if (n == 0) return;
  s.acc = (s.acc << n) | (v & (0xFFFFFFFFu >> (32 - n)));
  s.pending += n;
  if (s.pending >= 32) {
    s.pending -= 32;
    s.words.push_back(uint32_t(s.acc >> s.pending));
  }
}

inline uint64_t SinkBits(const BitSink& s) { return uint64_t(s.words.size()) * 32 + uint64_t(s.pending); }

void PutGamma(BitSink& s, uint32_t v) {
  int top = 31 - __builtin_clz(v);
  for (int bit = top - 1; bit >= 0; bit--) PutBits(s, ((v >> bit) & 1) << 1 | (bit > 0 ? 1 : 0), 2);
}

void FinishBits(BitSink& s) {
  if (s.pending > 0) s.words.push_back(uint32_t(s.acc << (32 - s.pending)));
  s.pending = 0;
  s.acc = 0;
}

// What the decoder holds when the piece's codes so far are read; 0 for
// what the piece has not set and cannot know from the pieces before it.
struct EmitState {
  int literalWidth = 0;
  uint32_t literalBase = 0;
  int indexWidth = 0;
};

void PutLiteralWidth(BitSink& s, int width, uint32_t base) {
  PutBits(s, 0x20, 8);  // 001 0000 0
  PutBits(s, width == 8 ? 1 : 0, 1);
  if (width == 7) PutBits(s, base, 8);
}

void PutIndexWidth(BitSink& s, int width) {
  int l = width < 16 ? 1 : 2;
  PutBits(s, 0, 10);  // 000 0000000
  PutBits(s, uint32_t(l), 2);
  PutBits(s, uint32_t(width), l + 3);
}

// A base such that every literal byte lies in [base, base + 127] modulo 256;
// -1 when there is none. Prefers keepBase when it fits.
int FindLiteralBase(const bool present[256], int keepBase) {
  int candidates[257];
  int count = 0;
  if (keepBase >= 0) candidates[count++] = keepBase;
  for (int b = 0; b < 256; b++)
    if (present[b]) candidates[count++] = b;
  for (int k = 0; k < count; k++) {
    int b = candidates[k];
    bool fits = true;
    for (int v = 0; v < 256 && fits; v++)
      if (present[v] && ((v - b) & 0xFF) >= 128) fits = false;
    if (fits) return b;
  }
  return -1;
}

// The literal width and base for the literals of ops, given the state
// before them; *next gets them, with the index width unchanged.
void ChooseLiteralMode(const uint8_t* data, const std::vector<ParseOp>& ops, const EmitState& st,
                       EmitState* next) {
  bool present[256] = {};
  size_t literals = 0;
  for (const ParseOp& op : ops) {
    if (op.kind == kOpLiteral) {
      present[data[op.pos]] = true;
      literals++;
    }
  }
  int keep = st.literalWidth == 7 ? int(st.literalBase) : -1;
  int base = FindLiteralBase(present, keep);
  // A 7-bit literal saves one bit; switching costs 17 bits to 7-bit
  // literals and 9 bits back to 8-bit ones.
  int width = 8;
  uint32_t newBase = 0;
  if (base < 0) {
    width = 8;
  } else if (st.literalWidth == 7 && base == keep) {
    width = 7;
    newBase = st.literalBase;
  } else if (literals > 17 || (st.literalWidth == 7 && literals > 8)) {
    width = 7;
    newBase = uint32_t(base);
  }
  *next = st;
  next->literalWidth = width;
  next->literalBase = newBase;
}

// The index width for the long matches of ops, given the state before
// them; *next gets it.
void ChooseIndexWidth(const std::vector<ParseOp>& ops, const EmitState& st, EmitState* next) {
  *next = st;
  uint64_t cost[32] = {};
  bool any = false;
  for (const ParseOp& op : ops) {
    if (op.kind != kOpMatch || IsShortMatch(op.len, op.dist)) continue;
    any = true;
    for (int w = 1; w < 32; w++) cost[w] += uint64_t(GammaBits((op.dist >> w) + 3) + w);
  }
  if (!any) return;
  int best = st.indexWidth > 0 ? st.indexWidth : 8;
  for (int w = 1; w < 32; w++)
    if (cost[w] < cost[best]) best = w;
  const uint64_t switchCost = best < 16 ? 16 : 17;
  if (st.indexWidth == 0 || (best != st.indexWidth && cost[best] + switchCost < cost[st.indexWidth]))
    next->indexWidth = best;
}

// The codes that take the decoder from state st to next.
void PutModes(BitSink& s, EmitState& st, const EmitState& next) {
  if (next.literalWidth != st.literalWidth || next.literalBase != st.literalBase)
    PutLiteralWidth(s, next.literalWidth, next.literalBase);
  if (next.indexWidth != st.indexWidth) PutIndexWidth(s, next.indexWidth);
  st = next;
}

// What a literal is likely to cost in the bytes start..end-1 before they
// are parsed: 8 bits when all of them fit one 7-bit base, else 9.
uint32_t GuessLiteralBits(const uint8_t* data, size_t start, size_t end, const EmitState& st) {
  bool present[256] = {};
  for (size_t i = start; i < end; i++) present[data[i]] = true;
  return FindLiteralBase(present, st.literalWidth == 7 ? int(st.literalBase) : -1) >= 0 ? 8 : 9;
}

void EmitOps(const uint8_t* data, const std::vector<ParseOp>& ops, EmitState& st, BitSink& s) {
  for (size_t k = 0; k < ops.size(); k++) {
    const ParseOp& op = ops[k];
    switch (op.kind) {
      case kOpLiteral:
        PutBits(s, 1, 1);
        PutBits(s, (data[op.pos] - st.literalBase) & 0xFF, st.literalWidth);
        break;
      case kOpZero:
        PutBits(s, 0x11, 7);  // 001 0001
        break;
      case kOpNear:
        PutBits(s, 0x10 | (op.dist + 1), 7);  // 001 vvvv
        break;
      case kOpRepeat:
        PutBits(s, 1, 2);
        PutGamma(s, 2);
        PutGamma(s, op.len);
        break;
      case kOpMatch:
        if (IsShortMatch(op.len, op.dist)) {
          PutBits(s, 0, 3);
          PutBits(s, op.dist, 7);
          PutBits(s, op.len - 2, 2);
        } else {
          PutBits(s, 1, 2);
          PutGamma(s, (op.dist >> st.indexWidth) + 3);
          PutBits(s, op.dist & ((1u << st.indexWidth) - 1), st.indexWidth);
          PutGamma(s, op.len - BlockLengthBonus(op.dist));
        }
        break;
      case kOpRaw: {
        PutBits(s, 0x21, 8);  // 001 0000 1
        for (;;) {
          const uint8_t* raw = data + ops[k].pos;
          for (uint32_t i = 0; i < 256; i += 4)
            PutBits(s, uint32_t(raw[i]) << 24 | raw[i + 1] << 16 | raw[i + 2] << 8 | raw[i + 3], 32);
          bool more = k + 1 < ops.size() && ops[k + 1].kind == kOpRaw;
          PutBits(s, more ? 1 : 0, 1);
          if (!more) break;
          ++k;
        }
        break;
      }
    }
  }
}

}  // namespace

size_t CountBlockPieces(size_t size) {
  return size > kPieceThreshold ? (size + kPieceSize - 1) / kPieceSize : 1;
}

void PrepareBlockPieces(const uint8_t* data, size_t size, MatchChains* chains) {
  BuildMatchChains(data, size, chains);
}

void CompressBlockPiece(const MatchChains& chains, CompressLevel level, size_t index,
                        BlockPiece* piece) {
  const size_t size = chains.size;
  const bool whole = CountBlockPieces(size) == 1;
  const size_t start = whole ? 0 : index * kPieceSize;
  const size_t end = whole || size - start < kPieceSize ? size : start + kPieceSize;
  BitSink sink;
  EmitState st;
  if (start == 0) st.indexWidth = 8;  // the decoder's first index width
  ParseState parse;
  BeginParse(parse, chains, level);
  std::vector<ParseOp> ops;
  for (size_t from = start; from < end; from += kSegmentSize) {
    size_t to = end - from > kSegmentSize ? from + kSegmentSize : end;
    // The parse is priced with the widths it will be written with: a
    // guess first, and at the best level once more with the widths chosen
    // for the first parse when they differ from the guess.
    const uint32_t lastOffset = parse.lastOffset;
    uint32_t literalBits = GuessLiteralBits(chains.data, from, to, st);
    int indexWidth = st.indexWidth > 0 ? st.indexWidth : 8;
    EmitState next;
    for (int pass = 0;; pass++) {
      ops.clear();
      parse.lastOffset = lastOffset;
      ParseSegment(parse, from, to, indexWidth, literalBits, &ops);
      EmitState chosen;
      ChooseLiteralMode(chains.data, ops, st, &chosen);
      ChooseIndexWidth(ops, chosen, &next);
      const uint32_t chosenBits = next.literalWidth == 7 ? 8 : 9;
      if (level != kLevelBest || pass == 1 || (chosenBits == literalBits && next.indexWidth == indexWidth))
        break;
      literalBits = chosenBits;
      indexWidth = next.indexWidth;
    }
    PutModes(sink, st, next);
    EmitOps(chains.data, ops, st, sink);
    // No smaller than the whole file already: the file is stored raw.
    if (SinkBits(sink) >= uint64_t(size) * 8) {
      piece->overflow = true;
      break;
    }
  }
  piece->words.swap(sink.words);
  piece->tail = uint32_t(sink.acc) & uint32_t((uint64_t(1) << sink.pending) - 1);
  piece->tailBits = sink.pending;
}

bool JoinBlockPieces(const uint8_t* data, size_t size, const std::vector<BlockPiece>& pieces,
                     std::vector<uint8_t>* block) {
  if (!block) return false;
  block->clear();
  uint64_t bits = 12 + 31;  // end of stream, last word
  for (const BlockPiece& piece : pieces) {
    if (piece.overflow) return false;
    bits += uint64_t(piece.words.size()) * 32 + uint64_t(piece.tailBits);
  }
  if (kBlockHeaderSize + bits / 32 * 4 >= size) return false;
  BitSink sink;
  sink.words.reserve(size_t(bits / 32));
  for (const BlockPiece& piece : pieces) {
    for (uint32_t word : piece.words) PutBits(sink, word, 32);
    PutBits(sink, piece.tail, piece.tailBits);
  }
  PutBits(sink, 0, 12);  // end of stream
  FinishBits(sink);
  std::vector<uint8_t>& out = *block;
  out.reserve(kBlockHeaderSize + 4 * sink.words.size());
  out.resize(kBlockHeaderSize);
  out[0] = uint8_t(kBlockMagic[0]);
  out[1] = uint8_t(kBlockMagic[1]);
  StoreLE32(&out[kBlockSizeAt], uint32_t(size));
  StoreLE32(&out[kBlockChecksumAt], BlockChecksum(data, size));
  for (uint32_t word : sink.words) AppendLE32(&out, word);
  return true;
}

bool CompressBlock(const uint8_t* data, size_t size, CompressLevel level,
                   std::vector<uint8_t>* block) {
  if (!block) return false;
  block->clear();
  if (!data || size == 0 || size > 0x7FFFFFF0u) return false;
  MatchChains chains;
  PrepareBlockPieces(data, size, &chains);
  std::vector<BlockPiece> pieces(CountBlockPieces(size));
  for (size_t i = 0; i < pieces.size(); i++) {
    CompressBlockPiece(chains, level, i, &pieces[i]);
    if (pieces[i].overflow) return false;
  }
  return JoinBlockPieces(data, size, pieces, block);
}
