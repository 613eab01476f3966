// Match finding and parsing for the block compressor.
#include "compress_parse.h"

#include <cstring>

namespace {

const uint32_t kNoPrice = 0xFFFFFFFFu;
const uint32_t kRawBits = 2048 + 9;      // code, 256 bytes, stop bit
const uint32_t kRawMoreBits = 2048 + 1;  // one more 256 bytes of a run
const int kMaxCandidates = 64;

struct Candidate {
  uint32_t len;
  uint32_t dist;
};

// Length of the common prefix of a and b, at most limit.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + uint32_t(__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) n++;
  return n;
}

inline uint32_t Hash3(const uint8_t* p, uint32_t shift) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 2654435761u) >> shift;
}

void InsertUpTo(ParseState& p, size_t pos) {
  const uint8_t* data = p.data;
  size_t with3 = p.size >= 3 ? p.size - 2 : 0;
  for (size_t i = p.inserted; i < pos; i++) {
    if (i < with3) {
      uint32_t h = Hash3(data + i, p.hashShift);
      p.prev[i & p.windowMask] = p.head[h];
      p.head[h] = uint32_t(i + 1);
    }
    if (i + 2 <= p.size) p.head2[data[i] | data[i + 1] << 8] = uint32_t(i + 1);
  }
  if (pos > p.inserted) p.inserted = pos;
}

// Matches at pos of at most maxLen bytes, in order of increasing length;
// for each length the nearest match that the search saw.
int FindMatches(ParseState& p, size_t pos, uint32_t maxLen, Candidate* out) {
  InsertUpTo(p, pos);
  const uint8_t* data = p.data;
  const uint8_t* cur = data + pos;
  int n = 0;
  uint32_t best = 1;
  if (maxLen < 2) return 0;
  uint32_t q = p.head2[cur[0] | cur[1] << 8];
  if (q != 0) {
    uint32_t d = uint32_t(pos - (q - 1));
    if (d < 0x27F) {
      uint32_t len = MatchLength(cur, cur - d, maxLen);
      if (len >= 2) {
        out[n++] = {len, d};
        best = len;
      }
    }
  }
  if (maxLen < 3 || best >= maxLen || best >= p.niceLength) return n;
  q = p.head[Hash3(cur, p.hashShift)];
  uint32_t window = p.windowMask;
  size_t previous = pos;
  for (int depth = p.depth; q != 0 && depth > 0; depth--) {
    size_t cand = q - 1;
    if (cand >= previous) break;  // a slot reused by a newer position
    uint32_t d = uint32_t(pos - cand);
    if (d > window) break;
    previous = cand;
    if (data[cand + best] == cur[best]) {
      uint32_t len = MatchLength(cur, data + cand, maxLen);
      if (len > best) {
        if (n == kMaxCandidates) n--;
        out[n++] = {len, d};
        best = len;
        if (len >= maxLen || len >= p.niceLength) break;
      }
    }
    q = p.prev[cand & p.windowMask];
  }
  return n;
}

// Distance 1..14 of an equal byte for the one-byte copy, 0 when none.
inline uint32_t FindNear(const uint8_t* data, size_t pos) {
  uint32_t limit = pos < 14 ? uint32_t(pos) : 14;
  for (uint32_t d = 1; d <= limit; d++)
    if (data[pos - d] == data[pos]) return d;
  return 0;
}

// The cheapest one-byte operation at pos.
inline ParseOp ByteOp(const uint8_t* data, size_t pos, uint32_t literalBits, uint32_t* bits) {
  if (data[pos] == 0) {
    *bits = 7;
    return {uint32_t(pos), 1, 0, kOpZero};
  }
  uint32_t d = FindNear(data, pos);
  if (d != 0) {
    *bits = 7;
    return {uint32_t(pos), 1, d, kOpNear};
  }
  *bits = literalBits;
  return {uint32_t(pos), 1, 0, kOpLiteral};
}

// Stretches of 256 or more one-byte operations, mostly 9-bit literals, are
// cheaper as raw runs.
void JoinBytesIntoRaw(std::vector<ParseOp>* ops, size_t first, uint32_t literalBits) {
  std::vector<ParseOp>& v = *ops;
  size_t w = first;
  for (size_t r = first; r < v.size();) {
    size_t run = 0;
    while (r + run < v.size() && v[r + run].len == 1) run++;
    bool joined = false;
    while (run >= 256) {
      uint32_t bits = 0;
      for (size_t k = r; k < r + 256; k++) bits += v[k].kind == kOpLiteral ? literalBits : 7;
      if (bits <= (joined ? kRawMoreBits : kRawBits)) break;
      v[w++] = {v[r].pos, 256, 0, kOpRaw};
      r += 256;
      run -= 256;
      joined = true;
    }
    for (; run > 0; run--) v[w++] = v[r++];
    if (r < v.size()) v[w++] = v[r++];
  }
  v.resize(w);
}

void ParseGreedy(ParseState& p, size_t start, size_t end, int indexWidth, uint32_t literalBits,
                 std::vector<ParseOp>* ops) {
  const uint8_t* data = p.data;
  Candidate cands[kMaxCandidates];
  const size_t first = ops->size();
  size_t i = start;
  while (i < end) {
    uint32_t maxLen = uint32_t(end - i);
    int64_t bestGain = 0;
    ParseOp best = {uint32_t(i), 0, 0, kOpLiteral};
    if (p.lastOffset <= i) {
      uint32_t len = MatchLength(data + i, data + i - p.lastOffset, maxLen);
      if (len >= 2) {
        int64_t gain = int64_t(len) * literalBits - RepeatBits(len);
        if (gain > bestGain) {
          bestGain = gain;
          best = {uint32_t(i), len, p.lastOffset, kOpRepeat};
        }
      }
    }
    int n = FindMatches(p, i, maxLen, cands);
    for (int k = 0; k < n; k++) {
      uint32_t len = cands[k].len, d = cands[k].dist;
      int64_t gain = int64_t(len) * literalBits - MatchBits(len, d, indexWidth);
      if (gain > bestGain) {
        bestGain = gain;
        best = {uint32_t(i), len, d, kOpMatch};
      }
    }
    if (best.len == 0) {
      uint32_t bits;
      best = ByteOp(data, i, literalBits, &bits);
    }
    if (best.kind == kOpMatch) p.lastOffset = best.dist;
    ops->push_back(best);
    i += best.len;
  }
  JoinBytesIntoRaw(ops, first, literalBits);
}

inline void Relax(ParseState& p, size_t to, uint32_t price, uint8_t kind, uint32_t len,
                  uint32_t dist, uint32_t offset) {
  if (price < p.price[to]) {
    p.price[to] = price;
    p.fromKind[to] = kind;
    p.fromLen[to] = len;
    p.fromDist[to] = dist;
    p.offsetAt[to] = offset;
  }
}

// Cheapest path through the segment by the bit prices of the codes. The last
// offset is tracked along the cheapest path to each position only, which
// prices the repeat code well enough in practice.
void ParseOptimal(ParseState& p, size_t start, size_t end, int indexWidth, uint32_t literalBits,
                  std::vector<ParseOp>* ops) {
  const uint8_t* data = p.data;
  const size_t n = end - start;
  if (p.price.size() < n + 1) {
    p.price.resize(n + 1);
    p.fromLen.resize(n + 1);
    p.fromDist.resize(n + 1);
    p.offsetAt.resize(n + 1);
    p.fromKind.resize(n + 1);
  }
  for (size_t k = 0; k <= n; k++) p.price[k] = kNoPrice;
  p.price[0] = 0;
  p.offsetAt[0] = p.lastOffset;
  p.fromKind[0] = kOpLiteral;
  Candidate cands[kMaxCandidates];

  size_t k = 0;
  while (k < n) {
    const size_t i = start + k;
    const uint32_t base = p.price[k];
    const uint32_t last = p.offsetAt[k];
    uint32_t bits;
    ParseOp one = ByteOp(data, i, literalBits, &bits);
    Relax(p, k + 1, base + bits, one.kind, 1, one.dist, last);
    if (k + 256 <= n)
      Relax(p, k + 256, base + (p.fromKind[k] == kOpRaw ? kRawMoreBits : kRawBits), kOpRaw, 256,
            0, last);

    const uint32_t maxLen = uint32_t(n - k);
    uint32_t longest = 0;
    if (last <= i && maxLen >= 2) {
      uint32_t len = MatchLength(data + i, data + i - last, maxLen);
      if (len >= 2) {
        longest = len;
        uint32_t from = len > p.niceLength ? len : 2;
        for (uint32_t l = from; l <= len; l++)
          Relax(p, k + l, base + RepeatBits(l), kOpRepeat, l, last, last);
      }
    }
    int count = FindMatches(p, i, maxLen, cands);
    uint32_t covered = 1;
    for (int c = 0; c < count; c++) {
      const uint32_t d = cands[c].dist, len = cands[c].len;
      uint32_t from = len >= p.niceLength ? len : covered + 1;
      for (uint32_t l = from; l <= len; l++) {
        uint32_t mb = MatchBits(l, d, indexWidth);
        if (mb < (1u << 20)) Relax(p, k + l, base + mb, kOpMatch, l, d, d);
      }
      covered = len;
      if (len > longest) longest = len;
    }
    // A long match is taken whole: the positions it covers are not
    // searched, which keeps runs and duplicated regions fast.
    if (longest >= p.niceLength) {
      k += longest;
      continue;
    }
    k++;
  }

  size_t first = ops->size();
  for (size_t at = n; at > 0;) {
    uint32_t len = p.fromLen[at];
    ops->push_back({uint32_t(start + at - len), len, p.fromDist[at], p.fromKind[at]});
    at -= len;
  }
  for (size_t a = first, b = ops->size() - 1; a < b; a++, b--) {
    ParseOp t = (*ops)[a];
    (*ops)[a] = (*ops)[b];
    (*ops)[b] = t;
  }
  p.lastOffset = p.offsetAt[n];
}

}  // namespace

void BeginParse(ParseState& p, const uint8_t* data, size_t size, CompressLevel level) {
  p.data = data;
  p.size = size;
  p.level = level;
  p.lastOffset = 1;
  p.inserted = 0;
  int bits = 10;
  while (bits < 20 && (size_t(1) << bits) < size) bits++;
  p.hashShift = uint32_t(32 - bits);
  p.head.assign(size_t(1) << bits, 0);
  p.head2.assign(1 << 16, 0);
  size_t window = 1 << 10;
  while (window < size && window < (size_t(1) << 24)) window <<= 1;
  p.windowMask = uint32_t(window - 1);
  p.prev.assign(window, 0);
  switch (level) {
    case kLevelFast:
      p.depth = 4;
      p.niceLength = 32;
      break;
    case kLevelBest:
      p.depth = 256;
      p.niceLength = 256;
      break;
    default:
      p.depth = 16;
      p.niceLength = 64;
      break;
  }
}

void ParseSegment(ParseState& p, size_t start, size_t end, int indexWidth, uint32_t literalBits,
                  std::vector<ParseOp>* ops) {
  if (p.level == kLevelFast)
    ParseGreedy(p, start, end, indexWidth, literalBits, ops);
  else
    ParseOptimal(p, start, end, indexWidth, literalBits, ops);
}
