// Block compressor of the package builder. The input is cut into segments;
// each segment is parsed into operations (greedy at the fast level, a
// price-based optimal parse otherwise), then the segment's literal width and
// index width are chosen from the operations it actually uses, and the
// operations are written as codes of the block format read by ExpandBlock
// (see src/package/block.cpp for the code table).
#include "compress.h"

#include <cstring>

#include "compress_parse.h"

namespace {

// Bits are packed most significant first into 32-bit little-endian words.
struct BitSink {
  std::vector<uint8_t>* out;
  uint64_t acc = 0;
  int pending = 0;  // bits in acc not yet written, below 32
};

void PutBits(BitSink& s, uint32_t v, int n) {
  if (n == 0) return;
  s.acc = (s.acc << n) | (v & (0xFFFFFFFFu >> (32 - n)));
  s.pending += n;
  if (s.pending >= 32) {
    s.pending -= 32;
    AppendLE32(s.out, uint32_t(s.acc >> s.pending));
  }
}

void PutGamma(BitSink& s, uint32_t v) {
  int top = 31 - __builtin_clz(v);
  for (int bit = top - 1; bit >= 0; bit--) PutBits(s, ((v >> bit) & 1) << 1 | (bit > 0 ? 1 : 0), 2);
}

void FinishBits(BitSink& s) {
  if (s.pending > 0) AppendLE32(s.out, uint32_t(s.acc << (32 - s.pending)));
  s.pending = 0;
  s.acc = 0;
}

struct EmitState {
  int literalWidth = 0;  // 0 until the first literal-width code
  uint32_t literalBase = 0;
  int indexWidth = 8;
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

void ChooseLiteralMode(const uint8_t* data, const std::vector<ParseOp>& ops, EmitState& st,
                       BitSink& s) {
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
  if (width != st.literalWidth || newBase != st.literalBase) {
    PutLiteralWidth(s, width, newBase);
    st.literalWidth = width;
    st.literalBase = newBase;
  }
}

void ChooseIndexWidth(const std::vector<ParseOp>& ops, EmitState& st, BitSink& s) {
  uint64_t cost[32] = {};
  bool any = false;
  for (const ParseOp& op : ops) {
    if (op.kind != kOpMatch || IsShortMatch(op.len, op.dist)) continue;
    any = true;
    for (int w = 1; w < 32; w++) cost[w] += uint64_t(GammaBits((op.dist >> w) + 3) + w);
  }
  if (!any) return;
  int best = st.indexWidth;
  for (int w = 1; w < 32; w++)
    if (cost[w] < cost[best]) best = w;
  const uint64_t switchCost = best < 16 ? 16 : 17;
  if (best != st.indexWidth && cost[best] + switchCost < cost[st.indexWidth]) {
    PutIndexWidth(s, best);
    st.indexWidth = best;
  }
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

bool CompressBlock(const uint8_t* data, size_t size, CompressLevel level,
                   std::vector<uint8_t>* block) {
  if (!block) return false;
  block->clear();
  if (!data || size == 0 || size > 0x7FFFFFF0u) return false;

  std::vector<uint8_t>& out = *block;
  out.reserve(size / 2 + 64);
  out.resize(kBlockHeaderSize);
  out[0] = uint8_t(kBlockMagic[0]);
  out[1] = uint8_t(kBlockMagic[1]);
  StoreLE32(&out[kBlockSizeAt], uint32_t(size));
  StoreLE32(&out[kBlockChecksumAt], BlockChecksum(data, size));

  BitSink sink;
  sink.out = &out;
  EmitState st;
  ParseState parse;
  BeginParse(parse, data, size, level);
  std::vector<ParseOp> ops;
  for (size_t start = 0; start < size; start += kSegmentSize) {
    size_t end = start + kSegmentSize < size ? start + kSegmentSize : size;
    ops.clear();
    ParseSegment(parse, start, end, st.indexWidth, st.literalWidth == 7 ? 8 : 9, &ops);
    ChooseLiteralMode(data, ops, st, sink);
    ChooseIndexWidth(ops, st, sink);
    EmitOps(data, ops, st, sink);
    if (out.size() >= size) break;  // already no smaller than the data
  }
  if (st.literalWidth == 0) PutLiteralWidth(sink, 8, 0);
  PutBits(sink, 0, 12);  // end of stream
  FinishBits(sink);
  if (out.size() >= size) {
    block->clear();
    return false;
  }
  return true;
}
