// Match finding and parsing for the block compressor.
#include "compress_parse.h"

#include <algorithm>
#include <cstring>

namespace {

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

const size_t kLongHashBytes = 8;

inline uint32_t HashLong(const uint8_t* p, uint32_t shift) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return uint32_t((v * 0x9E3779B97F4A7C15ull) >> 32) >> shift;
}

inline uint32_t Hash3(const uint8_t* p, uint32_t shift) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 2654435761u) >> shift;
}

// Walks one chain from pos for at most depth steps, near to far, adding
// each match longer than *best; true once one reaches maxLen or the nice
// length.
bool WalkChain(const ParseState& p, const std::vector<uint32_t>& prev, size_t pos, uint32_t maxLen, int depth,
               Candidate* out, int* n, uint32_t* best) {
  const MatchChains& chains = *p.chains;
  const uint8_t* data = chains.data;
  const uint8_t* cur = data + pos;
  for (uint32_t q = prev[pos]; q != 0 && depth > 0; depth--) {
    size_t cand = q - 1;
    uint32_t d = uint32_t(pos - cand);
    if (d > chains.window) break;
    if (data[cand + *best] == cur[*best]) {
      uint32_t len = MatchLength(cur, data + cand, maxLen);
      if (len > *best) {
        if (*n == kMaxCandidates) (*n)--;
        out[(*n)++] = {len, d};
        *best = len;
        if (len >= maxLen || len >= p.niceLength) return true;
      }
    }
    q = prev[cand];
  }
  return false;
}

// Matches at pos of at most maxLen bytes, in order of increasing length;
// for each length the nearest match that the search saw. The 3-byte chain
// is walked first; where it gives out (a common first three bytes fill it
// with near positions), the 8-byte chain reaches the long matches far back.
int FindMatches(const ParseState& p, size_t pos, uint32_t maxLen, Candidate* out) {
  const MatchChains& chains = *p.chains;
  const uint8_t* cur = chains.data + pos;
  int n = 0;
  uint32_t best = 1;
  if (maxLen < 2) return 0;
  if (uint32_t d = chains.near2[pos]) {
    uint32_t len = MatchLength(cur, cur - d, maxLen);
    out[n++] = {len, d};
    best = len;
  }
  if (maxLen < 3 || best >= maxLen || best >= p.niceLength) return n;
  if (WalkChain(p, chains.prev, pos, maxLen, p.depth, out, &n, &best)) return n;
  if (maxLen >= kLongHashBytes && !chains.prevLong.empty()) {
    WalkChain(p, chains.prevLong, pos, maxLen, p.longDepth, out, &n, &best);
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
  const uint8_t* data = p.chains->data;
  Candidate cands[kMaxCandidates];
  const size_t first = ops->size();
  size_t i = start;
  while (i < end) {
    uint32_t maxLen = uint32_t(end - i);
    int64_t bestGain = 0;
    ParseOp best = {uint32_t(i), 0, 0, kOpLiteral};
    if (p.lastOffset != 0 && p.lastOffset <= i) {
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

// Up to p.states ways to reach each position, each with its own last
// offset: the cheapest way to a position need not leave the offset that a
// repeat right after it wants. A way with the same offset as a kept one
// replaces it when cheaper; otherwise it replaces the dearest when the
// slots are full.
inline void Relax(ParseState& p, size_t to, uint32_t price, uint32_t offset, uint8_t kind,
                  uint32_t len, uint32_t dist, uint8_t from) {
  const int states = p.states;
  const size_t base = to * size_t(states);
  int n = p.count[to];
  int slot = -1;
  for (int j = 0; j < n; j++) {
    if (p.offsetAt[base + j] == offset) {
      if (price >= p.price[base + j]) return;
      slot = j;
      break;
    }
  }
  if (slot < 0) {
    if (n < states) {
      slot = n;
      p.count[to] = uint8_t(n + 1);
    } else {
      slot = 0;
      for (int j = 1; j < n; j++)
        if (p.price[base + j] > p.price[base + slot]) slot = j;
      if (price >= p.price[base + slot]) return;
    }
  }
  p.price[base + slot] = price;
  p.offsetAt[base + slot] = offset;
  p.fromKind[base + slot] = kind;
  p.fromLen[base + slot] = len;
  p.fromDist[base + slot] = dist;
  p.fromState[base + slot] = from;
}

// Cheapest path through the segment by the bit prices of the codes, with
// the last offset carried along each kept way.
void ParseOptimal(ParseState& p, size_t start, size_t end, int indexWidth, uint32_t literalBits,
                  std::vector<ParseOp>* ops) {
  const uint8_t* data = p.chains->data;
  const size_t n = end - start;
  const size_t states = size_t(p.states);
  const size_t cells = (n + 1) * states;
  if (p.price.size() < cells) {
    p.price.resize(cells);
    p.offsetAt.resize(cells);
    p.fromLen.resize(cells);
    p.fromDist.resize(cells);
    p.fromKind.resize(cells);
    p.fromState.resize(cells);
  }
  if (p.count.size() < n + 1) p.count.resize(n + 1);
  std::memset(p.count.data(), 0, n + 1);
  p.count[0] = 1;
  p.price[0] = 0;
  p.offsetAt[0] = p.lastOffset;
  p.fromKind[0] = kOpLiteral;
  Candidate cands[kMaxCandidates];

  size_t k = 0;
  while (k < n) {
    const size_t i = start + k;
    const size_t cell = k * states;
    const int ways = p.count[k];
    const uint32_t maxLen = uint32_t(n - k);
    uint32_t bits;
    const ParseOp one = ByteOp(data, i, literalBits, &bits);
    int cheapest = 0;
    uint32_t longest = 0;
    for (int j = 0; j < ways; j++) {
      const uint32_t base = p.price[cell + j];
      const uint32_t last = p.offsetAt[cell + j];
      if (base < p.price[cell + cheapest]) cheapest = j;
      Relax(p, k + 1, base + bits, last, one.kind, 1, one.dist, uint8_t(j));
      if (k + 256 <= n)
        Relax(p, k + 256, base + (p.fromKind[cell + j] == kOpRaw ? kRawMoreBits : kRawBits), last,
              kOpRaw, 256, 0, uint8_t(j));
      if (last != 0 && last <= i && maxLen >= 2) {
        uint32_t len = MatchLength(data + i, data + i - last, maxLen);
        if (len >= 2) {
          if (len > longest) longest = len;
          uint32_t from = len > p.niceLength ? len : 2;
          for (uint32_t l = from; l <= len; l++)
            Relax(p, k + l, base + RepeatBits(l), last, kOpRepeat, l, last, uint8_t(j));
        }
      }
    }
    // An explicit match sets the last offset, so only the cheapest way to
    // this position can be the best start of one.
    const uint32_t base = p.price[cell + cheapest];
    int count = FindMatches(p, i, maxLen, cands);
    uint32_t covered = 1;
    for (int c = 0; c < count; c++) {
      const uint32_t d = cands[c].dist, len = cands[c].len;
      uint32_t from = len >= p.niceLength ? len : covered + 1;
      for (uint32_t l = from; l <= len; l++) {
        uint32_t mb = MatchBits(l, d, indexWidth);
        if (mb < (1u << 20)) Relax(p, k + l, base + mb, d, kOpMatch, l, d, uint8_t(cheapest));
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

  int way = 0;
  for (int j = 1; j < p.count[n]; j++)
    if (p.price[n * states + j] < p.price[n * states + way]) way = j;
  p.lastOffset = p.offsetAt[n * states + way];
  size_t first = ops->size();
  for (size_t at = n; at > 0;) {
    const size_t cell = at * states + size_t(way);
    uint32_t len = p.fromLen[cell];
    ops->push_back({uint32_t(start + at - len), len, p.fromDist[cell], p.fromKind[cell]});
    way = p.fromState[cell];
    at -= len;
  }
  for (size_t a = first, b = ops->size() - 1; a < b; a++, b--) {
    ParseOp t = (*ops)[a];
    (*ops)[a] = (*ops)[b];
    (*ops)[b] = t;
  }
}

}  // namespace

void BuildMatchChains(const uint8_t* data, size_t size, MatchChains* chains) {
  chains->data = data;
  chains->size = size;
  chains->window = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(size);
  chains->prev.assign(size, 0);
  chains->near2.assign(size, 0);
  std::vector<uint32_t> head2(1 << 16, 0);
  for (size_t i = 0; i + 1 < size; i++) {
    uint32_t& last = head2[data[i] | data[i + 1] << 8];
    if (last != 0 && i + 1 - last < 0x27F) chains->near2[i] = uint16_t(i + 1 - last);
    last = uint32_t(i + 1);
  }
  int bits = 10;
  while (bits < 20 && (size_t(1) << bits) < size) bits++;
  const uint32_t shift = uint32_t(32 - bits);
  std::vector<uint32_t> head(size_t(1) << bits, 0);
  const size_t with3 = size >= 3 ? size - 2 : 0;
  for (size_t i = 0; i < with3; i++) {
    uint32_t h = Hash3(data + i, shift);
    chains->prev[i] = head[h];
    head[h] = uint32_t(i + 1);
  }
  chains->prevLong.assign(size, 0);
  std::fill(head.begin(), head.end(), 0);
  const size_t withLong = size >= kLongHashBytes ? size - kLongHashBytes + 1 : 0;
  for (size_t i = 0; i < withLong; i++) {
    uint32_t h = HashLong(data + i, shift);
    chains->prevLong[i] = head[h];
    head[h] = uint32_t(i + 1);
  }
}

void BeginParse(ParseState& p, const MatchChains& chains, CompressLevel level) {
  p.chains = &chains;
  p.level = level;
  p.lastOffset = 0;
  switch (level) {
    case kLevelFast:
      p.depth = 4;
      p.longDepth = 0;
      p.niceLength = 32;
      p.states = 1;
      break;
    case kLevelBest:
      p.depth = 128;
      p.longDepth = 256;
      p.niceLength = 512;
      p.states = 4;
      break;
    default:
      p.depth = 16;
      p.longDepth = 4;
      p.niceLength = 64;
      p.states = 2;
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
