// Where the bits of the compressor's blocks go, part by part of a corpus,
// next to gzip -9 on the same files.
//
// Usage: bit_account [--level fast|default|best] [--jobs N] [--gzip SIZES] CORPUS
// CORPUS holds one folder per part (bench/make_corpus.sh makes bin, text and
// media). Every file is compressed on its own, as the package writer does,
// and its block is checked by ExpandBlock before it is counted. SIZES has
// lines "PATH BYTES" of gzip -9 per file, PATH relative to CORPUS, made by
//   (cd CORPUS && find . -type f | sort | while read -r f; do
//      echo "${f#./} $(gzip -9 -c "$f" | wc -c)"; done) > SIZES
// Without it, zlib's deflate at level 9 with gzip's framing stands in
// (within 0.1% of gzip -9 on the corpus). Files that do not shrink count
// at their own size, as the package stores them raw.
//
// The account walks each block's bit stream code by code and sums the bits
// of each kind of code, with the bytes each kind makes; gzip's side is
// walked the same way in zlib's deflate stream (literals, lengths and
// distances with their extra bits, and the code tables of each block).
// Beside it, a bound for the literals: what the same literals would cost
// with literal-width codes placed at the best places.
// --jobs compresses files on N threads: the sizes are the same, but the
// speed column is only right with one job on an otherwise quiet machine.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "lib/compress.h"
#include "package/block.h"
#if ZANDOR_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

// Kinds of code in a block, in the order the table prints them.
enum Kind {
  kLiteral,
  kZero,
  kNear,
  kShort,
  kLongPrefix,  // the 01 of a long match
  kLongHigh,    // its gamma of the distance's high part
  kLongIndex,   // its index-width low bits
  kLongLength,  // its gamma of the length
  kRepeat,
  kRaw,
  kState,  // literal-width and index-width codes, end of stream, padding
  kKinds
};
const char* const kKindNames[kKinds] = {"literal",   "zero",       "near",      "short",
                                        "long 01",   "long high",  "long index", "long length",
                                        "repeat",    "raw",        "state"};

// gzip's side: literals, the length codes with their extra bits, the
// distance codes with theirs, and each block's header and code tables.
enum GzipKind { kGzLiteral, kGzLength, kGzDistance, kGzTables, kGzKinds };
const char* const kGzipNames[kGzKinds] = {"literal", "length", "distance", "tables+end"};

struct Account {
  double bits[kKinds] = {};
  double bytes[kKinds] = {};   // bytes of output the codes of a kind make
  double codes[kKinds] = {};
  double gzBits[kGzKinds] = {};
  double gzBytes[kGzKinds] = {};
  double gzCodes[kGzKinds] = {};
  double files = 0, input = 0, ours = 0, gzip = 0, seconds = 0;
  double gzWalked = 0;  // deflate bytes that the walk covered
  double litBound = 0;
  void Add(const Account& o) {
    for (int k = 0; k < kKinds; k++) {
      bits[k] += o.bits[k];
      bytes[k] += o.bytes[k];
      codes[k] += o.codes[k];
    }
    for (int k = 0; k < kGzKinds; k++) {
      gzBits[k] += o.gzBits[k];
      gzBytes[k] += o.gzBytes[k];
      gzCodes[k] += o.gzCodes[k];
    }
    files += o.files;
    input += o.input;
    ours += o.ours;
    gzip += o.gzip;
    seconds += o.seconds;
    gzWalked += o.gzWalked;
    litBound += o.litBound;
  }
};

// Reads a block's stream most significant bit first, counting what it takes.
struct BlockReader {
  const uint8_t* p;
  size_t words;
  size_t word = 0;
  int bit = 0;  // next bit of the current word, 31 down to 0
  uint64_t taken = 0;
  bool overrun = false;
  uint32_t Bit() {
    if (word >= words) {
      overrun = true;
      return 0;
    }
    uint32_t w = LoadLE32(p + 4 * word);
    uint32_t b = (w >> (31 - bit)) & 1;
    if (++bit == 32) {
      bit = 0;
      word++;
    }
    taken++;
    return b;
  }
  uint32_t Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) v = v << 1 | Bit();
    return v;
  }
  uint32_t Gamma() {
    uint32_t v = 1;
    do v = v * 2 + Bit();
    while (Bit() && !overrun && v < 0x80000000u);
    return v;
  }
};

// Sums the codes of a block that ExpandBlock has accepted.
bool AccountBlock(const std::vector<uint8_t>& block, Account* a) {
  BlockReader r{block.data() + kBlockHeaderSize, (block.size() - kBlockHeaderSize) / 4};
  int indexWidth = 8;
  int literalWidth = 8;
  uint32_t literalBase = 0;
  std::vector<uint8_t> lits;
  auto add = [&](Kind k, uint64_t from, double bytes) {
    a->bits[k] += double(r.taken - from);
    a->bytes[k] += bytes;
    a->codes[k] += 1;
  };
  for (;;) {
    if (r.overrun) return false;
    uint64_t start = r.taken;
    if (r.Bit()) {
      lits.push_back(uint8_t(r.Bits(literalWidth) + literalBase));
      add(kLiteral, start, 1);
      continue;
    }
    if (r.Bit()) {  // 01
      uint64_t at = r.taken;
      uint32_t g = r.Gamma();
      if (g == 2) {
        add(kRepeat, start, r.Gamma());
        continue;
      }
      a->bits[kLongPrefix] += 2;
      a->codes[kLongPrefix] += 1;
      add(kLongHigh, at, 0);
      at = r.taken;
      uint32_t low = r.Bits(indexWidth);
      uint32_t d = (g - 3) << indexWidth | low;
      add(kLongIndex, at, 0);
      at = r.taken;
      uint32_t n = r.Gamma() + BlockLengthBonus(d);
      add(kLongLength, at, n);
      continue;
    }
    if (r.Bit()) {  // 001
      uint32_t v = r.Bits(4);
      if (v == 1) {
        add(kZero, start, 1);
      } else if (v >= 2) {
        add(kNear, start, 1);
      } else if (r.Bit()) {
        double bytes = 0;
        do {
          for (int i = 0; i < 64; i++) r.Bits(32);
          bytes += 256;
        } while (r.Bit() && !r.overrun);
        add(kRaw, start, bytes);
      } else {
        literalWidth = r.Bit() ? 8 : 7;
        literalBase = literalWidth == 7 ? r.Bits(8) : 0;
        add(kState, start, 0);
      }
      continue;
    }
    uint32_t o = r.Bits(7);
    uint32_t l = r.Bits(2);
    if (o != 0) {
      add(kShort, start, l + 2);
      continue;
    }
    if (l == 0) {
      add(kState, start, 0);
      break;
    }
    indexWidth = int(r.Bits(int(l) + 3));
    add(kState, start, 0);
  }
  {
    // The fewest bits these literals and the literal-width codes could take
    // with a width code anywhere between them: the best over the states
    // 8-bit (256) and 7-bit with base b, switches costing 9 and 17 bits.
    std::vector<double> dp(257, 1e18);
    dp[256] = 9;
    for (int b = 0; b < 256; b++) dp[b] = 17;
    for (uint8_t x : lits) {
      double m = *std::min_element(dp.begin(), dp.end());
      dp[256] = std::min(dp[256], m + 9) + 9;
      for (int b = 0; b < 256; b++) {
        if (((x - b) & 0xFF) < 128) dp[b] = std::min(dp[b], m + 17) + 8;
        else dp[b] = 1e18;
      }
    }
    a->litBound += *std::min_element(dp.begin(), dp.end());
  }
  // The rest of the last word.
  a->bits[kState] += double(32 * ((block.size() - kBlockHeaderSize) / 4) - r.taken);
  return true;
}

#if ZANDOR_HAVE_ZLIB
// A raw deflate stream, least significant bit first, walked block by block.
struct DeflateReader {
  const uint8_t* p;
  size_t size;
  size_t pos = 0;  // in bits
  bool overrun = false;
  uint32_t Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++, pos++) {
      if (pos / 8 >= size) {
        overrun = true;
        return 0;
      }
      v |= uint32_t((p[pos / 8] >> (pos % 8)) & 1) << i;
    }
    return v;
  }
};

// A canonical Huffman code from code lengths, decoded bit by bit.
struct Huffman {
  int count[16] = {};
  std::vector<int> symbols;
};

Huffman MakeHuffman(const int* lengths, int n) {
  Huffman h;
  for (int i = 0; i < n; i++) h.count[lengths[i]]++;
  h.count[0] = 0;
  int offs[16] = {};
  for (int len = 1; len < 16; len++) offs[len] = offs[len - 1] + h.count[len - 1];
  h.symbols.assign(size_t(n), 0);
  for (int i = 0; i < n; i++)
    if (lengths[i]) h.symbols[size_t(offs[lengths[i]]++)] = i;
  return h;
}

int Decode(DeflateReader& r, const Huffman& h) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len < 16; len++) {
    code |= int(r.Bits(1));
    int count = h.count[len];
    if (code - count < first) return h.symbols[size_t(index + (code - first))];
    index += count;
    first += count;
    first <<= 1;
    code <<= 1;
    if (r.overrun) return -1;
  }
  return -1;
}

const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Walks zlib's level-9 stream of data; the bits of each kind go to a.
bool AccountDeflate(const uint8_t* data, size_t size, Account* a) {
  z_stream z = {};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::vector<uint8_t> out(deflateBound(&z, uLong(size)) + 16);
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = uInt(size);
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  int rc = deflate(&z, Z_FINISH);
  size_t produced = z.total_out;
  deflateEnd(&z);
  if (rc != Z_STREAM_END) return false;

  DeflateReader r{out.data(), produced};
  for (bool last = false; !last;) {
    size_t start = r.pos;
    last = r.Bits(1) != 0;
    uint32_t type = r.Bits(2);
    if (type == 0) {
      r.pos = (r.pos + 7) / 8 * 8;
      uint32_t len = r.Bits(16);
      r.Bits(16);
      r.pos += 8 * size_t(len);
      a->gzBits[kGzLiteral] += 8.0 * len;
      a->gzBytes[kGzLiteral] += len;
      a->gzBits[kGzTables] += double(r.pos - start) - 8.0 * len;
      continue;
    }
    int lengths[320] = {};
    int nlit = 288, ndist = 30;
    if (type == 1) {
      for (int i = 0; i < 288; i++) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
      for (int i = 0; i < 30; i++) lengths[288 + i] = 5;
    } else if (type == 2) {
      nlit = int(r.Bits(5)) + 257;
      ndist = int(r.Bits(5)) + 1;
      int nclen = int(r.Bits(4)) + 4;
      static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
      int clen[19] = {};
      for (int i = 0; i < nclen; i++) clen[order[i]] = int(r.Bits(3));
      Huffman ch = MakeHuffman(clen, 19);
      int total = nlit + ndist;
      int got[320] = {};
      for (int i = 0; i < total;) {
        int sym = Decode(r, ch);
        if (sym < 0) return false;
        if (sym < 16) {
          got[i++] = sym;
        } else {
          int rep = sym == 16 ? 3 + int(r.Bits(2)) : sym == 17 ? 3 + int(r.Bits(3)) : 11 + int(r.Bits(7));
          int value = sym == 16 && i > 0 ? got[i - 1] : 0;
          while (rep-- > 0 && i < total) got[i++] = value;
        }
      }
      for (int i = 0; i < nlit; i++) lengths[i] = got[i];
      for (int i = 0; i < ndist; i++) lengths[288 + i] = got[nlit + i];
    } else {
      return false;
    }
    Huffman lit = MakeHuffman(lengths, nlit);
    Huffman dist = MakeHuffman(lengths + 288, ndist);
    a->gzBits[kGzTables] += double(r.pos - start);
    for (;;) {
      size_t at = r.pos;
      int sym = Decode(r, lit);
      if (sym < 0) return false;
      if (sym < 256) {
        a->gzBits[kGzLiteral] += double(r.pos - at);
        a->gzBytes[kGzLiteral] += 1;
        a->gzCodes[kGzLiteral] += 1;
        continue;
      }
      if (sym == 256) {
        a->gzBits[kGzTables] += double(r.pos - at);
        break;
      }
      int li = sym - 257;
      if (li > 28) return false;
      int len = kLengthBase[li] + int(r.Bits(kLengthExtra[li]));
      a->gzBits[kGzLength] += double(r.pos - at);
      a->gzBytes[kGzLength] += len;
      a->gzCodes[kGzLength] += 1;
      at = r.pos;
      int ds = Decode(r, dist);
      if (ds < 0 || ds > 29) return false;
      r.Bits(kDistExtra[ds]);
      a->gzBits[kGzDistance] += double(r.pos - at);
      a->gzCodes[kGzDistance] += 1;
    }
    if (r.overrun) return false;
  }
  a->gzWalked += double(produced);
  return true;
}

double ZlibGzipSize(const uint8_t* data, size_t size, const std::string& name) {
  z_stream z = {};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&z, uLong(size)) + 16);
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = uInt(size);
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  double n = double(z.total_out);
  deflateEnd(&z);
  return n + 18 + double(name.size()) + 1;  // header, name, CRC and size
}
#endif

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One table of codes: bits, share of all bits, count, bytes and bits per byte.
void PrintCodeRows(const char* title, int kinds, const char* const* names, const double* bits,
                   const double* codes, const double* bytes) {
  double total = 0;
  for (int k = 0; k < kinds; k++) total += bits[k];
  std::printf("  %-12s %12s %6s %12s %12s %8s\n", title, "bits", "share", "codes", "bytes", "bits/B");
  for (int k = 0; k < kinds; k++) {
    std::printf("  %-12s %12.0f %5.1f%% %12.0f %12.0f", names[k], bits[k], 100 * bits[k] / total, codes[k],
                bytes[k]);
    if (bytes[k] > 0) std::printf(" %8.3f", bits[k] / bytes[k]);
    std::printf("\n");
  }
}

void PrintPart(const std::string& name, const Account& a) {
  std::printf("\n== %s: %.0f files, %.0f bytes; ours %.0f, gzip -9 %.0f: %.4fx",
              name.c_str(), a.files, a.input, a.ours, a.gzip, a.ours / a.gzip);
  if (a.seconds > 0) std::printf(", %.2f MB/s", a.input / 1e6 / a.seconds);
  std::printf("\n");
  double gzTotal = 0;
  for (int k = 0; k < kGzKinds; k++) gzTotal += a.gzBits[k];
  PrintCodeRows("ours", kKinds, kKindNames, a.bits, a.codes, a.bytes);
  double longBits = a.bits[kLongPrefix] + a.bits[kLongHigh] + a.bits[kLongIndex] + a.bits[kLongLength];
  std::printf("  literals and width codes with the widths switched at the best places: %.0f bits\n",
              a.litBound);
  std::printf("  long match: %.0f codes of %.1f bits for %.1f bytes on average\n",
              a.codes[kLongPrefix], longBits / std::max(1.0, a.codes[kLongPrefix]),
              a.bytes[kLongLength] / std::max(1.0, a.codes[kLongPrefix]));
  if (gzTotal > 0) {
    PrintCodeRows("gzip -9", kGzKinds, kGzipNames, a.gzBits, a.gzCodes, a.gzBytes);
    std::printf("  gzip match: %.1f bits for %.1f bytes on average\n",
                (a.gzBits[kGzLength] + a.gzBits[kGzDistance]) / std::max(1.0, a.gzCodes[kGzLength]),
                a.gzBytes[kGzLength] / std::max(1.0, a.gzCodes[kGzLength]));
  }
}

}  // namespace

int main(int argc, char** argv) {
  CompressLevel level = kLevelDefault;
  int jobs = 1;
  std::string corpus, sizesPath;
  for (int a = 1; a < argc; a++) {
    std::string arg = argv[a];
    if (arg == "--level" && a + 1 < argc) {
      std::string v = argv[++a];
      level = v == "fast" ? kLevelFast : v == "best" ? kLevelBest : kLevelDefault;
    } else if (arg == "--jobs" && a + 1 < argc) {
      jobs = std::max(1, std::atoi(argv[++a]));
    } else if (arg == "--gzip" && a + 1 < argc) {
      sizesPath = argv[++a];
    } else {
      corpus = arg;
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "usage: %s [--level fast|default|best] [--jobs N] [--gzip SIZES] CORPUS\n",
                 argv[0]);
    return 2;
  }
  std::map<std::string, double> gzipSizes;
  if (!sizesPath.empty()) {
    FILE* f = std::fopen(sizesPath.c_str(), "r");
    if (!f) {
      std::fprintf(stderr, "cannot read %s\n", sizesPath.c_str());
      return 2;
    }
    char name[1024];
    double bytes;
    while (std::fscanf(f, "%1023s %lf", name, &bytes) == 2) gzipSizes[name] = bytes;
    std::fclose(f);
  }

  const std::vector<std::string> files = CorpusFiles(corpus);

  std::map<std::string, Account> parts;
  std::mutex mutex;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (size_t i; (i = next++) < files.size() && !failed;) {
      const std::string& rel = files[i];
      std::vector<uint8_t> data;
      if (!ReadWhole((corpus + "/" + rel).c_str(), &data) || data.empty()) continue;
      Account a;
      a.files = 1;
      a.input = double(data.size());
      std::vector<uint8_t> block;
      double start = Now();
      bool packed = CompressBlock(data.data(), data.size(), level, &block);
      a.seconds = Now() - start;
      if (packed) {
        std::vector<uint8_t> out(data.size() + kBlockSlack);
        if (ExpandBlock(block.data(), block.size(), out.data(), out.size()) != data.size() ||
            std::memcmp(out.data(), data.data(), data.size()) != 0 || !AccountBlock(block, &a)) {
          std::printf("ROUND TRIP FAILED: %s\n", rel.c_str());
          failed = true;
          return;
        }
        a.ours = double(block.size());
      } else {
        a.ours = double(data.size());
        a.bits[kRaw] = 8.0 * double(data.size());
        a.bytes[kRaw] = double(data.size());
      }
      auto known = gzipSizes.find(rel);
#if ZANDOR_HAVE_ZLIB
      a.gzip = known != gzipSizes.end() ? known->second : ZlibGzipSize(data.data(), data.size(), BaseName(rel));
      AccountDeflate(data.data(), data.size(), &a);
#else
      if (known == gzipSizes.end()) {
        std::printf("no gzip size for %s\n", rel.c_str());
        failed = true;
        return;
      }
      a.gzip = known->second;
#endif
      std::string part = CorpusPart(rel);
      std::lock_guard<std::mutex> guard(mutex);
      parts[part].Add(a);
      parts["ALL"].Add(a);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < jobs; t++) threads.emplace_back(work);
  for (std::thread& t : threads) t.join();
  if (failed || parts.empty()) return 1;
  for (const auto& part : parts)
    if (part.first != "ALL") PrintPart(part.first, part.second);
  PrintPart("ALL", parts["ALL"]);
  return 0;
}
