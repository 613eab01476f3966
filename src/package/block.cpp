// Block decoder of the package format.
//
// A block, all integers little-endian:
//
//   offset 0   2 bytes   "JC"
//   offset 2   4 bytes   expanded size E
//   offset 6   4 bytes   checksum of the E expanded bytes, 0 = none
//   offset 10  4 x k     bit stream of 32-bit words, each read from its most
//                        significant bit down; 1 to 3 bytes after the last
//                        whole word are ignored
//
// Codes of the bit stream ("gamma": start at 1, then (data bit, continue
// bit) pairs until a continue bit of 0; the smallest value is 2):
//
//   1   v:litWidth                   byte (v + litBase) & 0xFF
//   01  gamma 2, gamma n             copy n from the last offset
//   01  gamma g>=3, low:indexWidth,  d = (g-3) << indexWidth | low,
//       gamma n                      copy n + bonus(d), last offset := d
//   001 0001                         one zero byte
//   001 v:4 (2..15)                  copy 1 from distance v-1
//   001 0000 1 {8 bits x 256, bit}   raw runs of 256 bytes while bit is 1
//   001 0000 0 w [base:8 if w=0]     literal width 7+w, base (0 for 8)
//   000 o:7 (1..127) l:2             copy l+2 from o, last offset := o
//   000 0000000 00                   end of stream
//   000 0000000 l:2 (1..3) v:(l+3)   index width := v
//
// Rejected (result 0): a wrong magic, E larger than the destination, a
// literal before the first literal-width code, an index width of 0 or above
// 31, a gamma number above 32 bits, a copy from before the start of the
// output, output past E, an end of stream before E bytes or after the last
// word of the block, and a checksum mismatch.
#include "package/block.h"

#include <cstring>

namespace {

// The tag register of the format, widened to 64 bits so that one refill
// serves a whole code. Past the last word the cursor supplies zero words and
// counts them; zero bits decode as the end-of-stream code, so a stream that
// runs off its block always stops and is then caught by ConsumedPastEnd.
struct BitCursor {
  const uint8_t* next;  // next whole word
  const uint8_t* end;   // end of the last whole word
  uint64_t bits;        // unread bits, left-aligned
  int count;            // number of unread bits in `bits`
  int overrun;          // zero words supplied past `end`
  BlockSource* source;  // gives the words after `end`; nullptr: none
};

// The next piece of a streamed block, when there is one.
bool NextPiece(BitCursor& c) {
  if (c.source == nullptr || c.source->more == nullptr) return false;
  const uint8_t* piece = nullptr;
  size_t size = 0;
  if (!c.source->more(c.source, &piece, &size) || piece == nullptr || size < 4) return false;
  c.next = piece;
  c.end = piece + (size & ~size_t(3));
  return true;
}

// Leaves at least 33 bits in the register.
inline void Refill(BitCursor& c) {
  if (c.count <= 32) {
    uint32_t word = 0;
    if (c.next < c.end || NextPiece(c)) {
      word = LoadLE32(c.next);
      c.next += 4;
    } else {
      c.overrun++;
    }
    c.bits |= uint64_t(word) << (32 - c.count);
    c.count += 32;
  }
}

// n from 1 to 32, and at least n bits in the register.
inline uint32_t TakeBits(BitCursor& c, int n) {
  uint32_t v = uint32_t(c.bits >> (64 - n));
  c.bits <<= n;
  c.count -= n;
  return v;
}

inline bool ConsumedPastEnd(const BitCursor& c) { return c.overrun * 32 > c.count; }

// Gamma codes of up to four pairs, keyed by the next 8 bits: value in the
// low byte, bits used in the high byte, 0 when the code is longer.
struct GammaTable {
  uint16_t entry[256];
};

GammaTable MakeGammaTable() {
  GammaTable t;
  for (int top = 0; top < 256; top++) {
    uint32_t v = 1;
    int used = 0;
    t.entry[top] = 0;
    while (used < 8) {
      v = v * 2 + ((top >> (7 - used)) & 1);
      int more = (top >> (6 - used)) & 1;
      used += 2;
      if (!more) {
        t.entry[top] = uint16_t(v | used << 8);
        break;
      }
    }
  }
  return t;
}

const GammaTable kGamma = MakeGammaTable();

inline bool TakeGamma(BitCursor& c, uint32_t* out) {
  Refill(c);
  uint32_t e = kGamma.entry[c.bits >> 56];
  if (e != 0) {
    int used = int(e >> 8);
    c.bits <<= used;
    c.count -= used;
    *out = e & 0xFF;
    return true;
  }
  uint32_t v = 1;
  for (;;) {
    if (c.count < 2) Refill(c);
    uint32_t pair = TakeBits(c, 2);
    if (v & 0x80000000u) return false;
    v = v * 2 + (pair >> 1);
    if (!(pair & 1)) break;
  }
  *out = v;
  return true;
}

bool HasBlockHeader(const uint8_t* block, size_t blockSize) {
  return block && blockSize >= kBlockHeaderSize && block[0] == kBlockMagic[0] && block[1] == kBlockMagic[1];
}

// Copies n bytes from distance d behind op; the caller has checked both
// against the buffer. Chunks of 8 may write up to 7 bytes past op + n while
// they stay below wildEnd.
inline uint8_t* CopyMatch(uint8_t* op, uint32_t d, uint32_t n, const uint8_t* wildEnd) {
  const uint8_t* from = op - d;
  if (d >= 8 && size_t(wildEnd - op) >= size_t(n) + 8) {
    uint8_t* stop = op + n;
    do {
      std::memcpy(op, from, 8);
      op += 8;
      from += 8;
    } while (op < stop);
    return stop;
  }
  if (d == 1) {
    std::memset(op, op[-1], n);
    return op + n;
  }
  for (uint32_t i = 0; i < n; i++) op[i] = from[i];
  return op + n;
}

}  // namespace

uint32_t BlockExpandedSize(const uint8_t* block, size_t blockSize) {
  return HasBlockHeader(block, blockSize) ? LoadLE32(block + kBlockSizeAt) : 0;
}

uint32_t BlockChecksum(const uint8_t* data, size_t size) {
  if (!data || size < 4) return 0;
  uint32_t acc = 0;
  size_t pos = 0;
  for (;;) {
    uint32_t w = LoadLE32(data + pos);
    acc += w;
    acc ^= ((w << 1) | (w >> 31)) + 1;
    if (pos + 4 == size) break;
    pos = (pos + 8 <= size) ? pos + 4 : size - 4;
  }
  return acc;
}

uint32_t ExpandBlock(const uint8_t* block, size_t blockSize, uint8_t* dest, size_t destSize) {
  return ExpandBlockFrom(block, blockSize, nullptr, dest, destSize);
}

uint32_t ExpandBlockFrom(const uint8_t* block, size_t blockSize, BlockSource* source, uint8_t* dest,
                         size_t destSize) {
  if (!dest || !HasBlockHeader(block, blockSize)) return 0;
  const uint32_t expanded = LoadLE32(block + kBlockSizeAt);
  const uint32_t checksum = LoadLE32(block + kBlockChecksumAt);
  if (expanded > destSize) return 0;
  // The words of a streamed block run on into the source's pieces, so the
  // first piece must end on a whole word.
  if (source != nullptr && ((blockSize - kBlockHeaderSize) & 3) != 0) return 0;

  BitCursor c;
  c.next = block + kBlockHeaderSize;
  c.end = c.next + ((blockSize - kBlockHeaderSize) & ~size_t(3));
  c.bits = 0;
  c.count = 0;
  c.overrun = 0;
  c.source = source;

  uint8_t* op = dest;
  uint8_t* const outEnd = dest + expanded;
  const uint8_t* const wildEnd = dest + destSize;
  uint32_t lastOffset = 1;
  int indexWidth = 8;
  int literalWidth = 0;  // none until the stream sets it
  uint32_t literalBase = 0;

  for (;;) {
    Refill(c);
    if (c.bits >> 63) {  // 1: literal
      if (literalWidth == 0 || op == outEnd) return 0;
      c.bits <<= 1;
      c.count -= 1;
      *op++ = uint8_t(TakeBits(c, literalWidth) + literalBase);
      continue;
    }
    uint32_t prefix = uint32_t(c.bits >> 61);  // 3 bits: 01x, 001 or 000
    if (prefix >= 2) {  // 01: match
      c.bits <<= 2;
      c.count -= 2;
      uint32_t g, n, d, bonus = 0;
      if (!TakeGamma(c, &g)) return 0;
      if (g == 2) {
        d = lastOffset;
      } else {
        Refill(c);
        if (g - 3 > (0xFFFFFFFFu >> indexWidth)) return 0;
        d = ((g - 3) << indexWidth) | TakeBits(c, indexWidth);
        bonus = BlockLengthBonus(d);
        lastOffset = d;
      }
      if (!TakeGamma(c, &n)) return 0;
      n += bonus;
      if (n < bonus || n > size_t(outEnd - op) || d > size_t(op - dest) || d == 0) return 0;
      op = CopyMatch(op, d, n, wildEnd);
      continue;
    }
    c.bits <<= 3;
    c.count -= 3;
    if (prefix == 1) {  // 001
      uint32_t v = TakeBits(c, 4);
      if (v == 1) {
        if (op == outEnd) return 0;
        *op++ = 0;
      } else if (v >= 2) {
        if (op == outEnd || v - 1 > size_t(op - dest)) return 0;
        *op = op[-int(v - 1)];
        op++;
      } else if (TakeBits(c, 1)) {  // raw runs
        do {
          if (size_t(outEnd - op) < 256) return 0;
          for (int i = 0; i < 256; i += 4) {
            Refill(c);
            uint32_t four = TakeBits(c, 32);
            op[0] = uint8_t(four >> 24);
            op[1] = uint8_t(four >> 16);
            op[2] = uint8_t(four >> 8);
            op[3] = uint8_t(four);
            op += 4;
          }
          Refill(c);
          if (ConsumedPastEnd(c)) return 0;
        } while (TakeBits(c, 1));
      } else if (TakeBits(c, 1)) {
        literalWidth = 8;
        literalBase = 0;
      } else {
        literalWidth = 7;
        literalBase = TakeBits(c, 8);
      }
      continue;
    }
    // 000
    uint32_t o = TakeBits(c, 7);
    uint32_t l = TakeBits(c, 2);
    if (o != 0) {
      uint32_t n = l + 2;
      if (n > size_t(outEnd - op) || o > size_t(op - dest)) return 0;
      lastOffset = o;
      op = CopyMatch(op, o, n, wildEnd);
      continue;
    }
    if (l == 0) break;  // end of stream
    uint32_t width = TakeBits(c, int(l) + 3);
    if (width == 0 || width > 31) return 0;
    indexWidth = int(width);
  }

  if (ConsumedPastEnd(c) || op != outEnd) return 0;
  if (checksum != 0 && BlockChecksum(dest, expanded) != checksum) return 0;
  return expanded;
}
