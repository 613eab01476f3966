// ExpandBlock, BlockExpandedSize and BlockChecksum: the worked examples, one
// test per code of the stream, and every malformed block that must give 0.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/block.h"

namespace {

// Writes streams bit by bit, independently of the compressor, so that each
// code can be tested on its own.
struct StreamBuilder {
  std::vector<uint32_t> words;
  uint32_t cur = 0;
  int used = 0;

  void Bit(uint32_t b) {
    cur = cur << 1 | (b & 1);
    if (++used == 32) {
      words.push_back(cur);
      cur = 0;
      used = 0;
    }
  }
  void Bits(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; i--) Bit(v >> i);
  }
  void Gamma(uint32_t v) {
    int top = 31 - __builtin_clz(v);
    for (int b = top - 1; b >= 0; b--) {
      Bit(v >> b);
      Bit(b > 0);
    }
  }
  void Width8() { Bits(0x41, 9); }  // 001 0000 0 1
  void Width7(uint32_t base) {
    Bits(0x40, 9);  // 001 0000 0 0
    Bits(base, 8);
  }
  void Literal(uint32_t v, int width = 8) {
    Bit(1);
    Bits(v, width);
  }
  void Code4(uint32_t v) {  // 001 vvvv: zero byte or one-byte copy
    Bits(1, 3);
    Bits(v, 4);
  }
  void Short(uint32_t offset, uint32_t len) {
    Bits(0, 3);
    Bits(offset, 7);
    Bits(len - 2, 2);
  }
  void Long(uint32_t d, uint32_t n, int indexWidth = 8) {
    Bits(1, 2);
    Gamma((d >> indexWidth) + 3);
    Bits(d & ((1u << indexWidth) - 1), indexWidth);
    Gamma(n);
  }
  void Repeat(uint32_t n) {
    Bits(1, 2);
    Gamma(2);
    Gamma(n);
  }
  void IndexWidth(uint32_t l, uint32_t v) {
    Bits(0, 10);
    Bits(l, 2);
    Bits(v, int(l) + 3);
  }
  void End() { Bits(0, 12); }

  std::vector<uint8_t> Block(uint32_t expanded, uint32_t checksum = 0) const {
    std::vector<uint8_t> b = {'J', 'C'};
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(expanded >> (8 * i)));
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(checksum >> (8 * i)));
    std::vector<uint32_t> all = words;
    if (used > 0) all.push_back(cur << (32 - used));
    for (uint32_t w : all)
      for (int i = 0; i < 4; i++) b.push_back(uint8_t(w >> (8 * i)));
    return b;
  }
};

const size_t kGuard = 16;
const uint8_t kCanary = 0xA5;

struct Expanded {
  uint32_t result;
  std::vector<uint8_t> bytes;  // the destination only
  bool canariesIntact;
};

// Expands into a destination of destSize bytes (default: expanded size + 8)
// with canary bytes on both sides.
Expanded Expand(const std::vector<uint8_t>& block, long destSize = -1) {
  size_t size = destSize >= 0 ? size_t(destSize) : BlockExpandedSize(block.data(), block.size()) + kBlockSlack;
  std::vector<uint8_t> buf(size + 2 * kGuard, kCanary);
  Expanded e;
  e.result = ExpandBlock(block.data(), block.size(), buf.data() + kGuard, size);
  e.bytes.assign(buf.begin() + kGuard, buf.begin() + kGuard + size);
  e.canariesIntact = true;
  for (size_t i = 0; i < kGuard; i++)
    if (buf[i] != kCanary || buf[kGuard + size + i] != kCanary) e.canariesIntact = false;
  return e;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> Head(const Expanded& e, size_t n) {
  return std::vector<uint8_t>(e.bytes.begin(), e.bytes.begin() + n);
}

TEST(BlockChecksum, WorkedExamples) {
  EXPECT_EQ(BlockChecksum(Bytes("abcd").data(), 4), 0xACA5A6A2u);
  EXPECT_EQ(BlockChecksum(Bytes("abcde").data(), 5), 0xD8C2CCC1u);
}

TEST(BlockChecksum, BelowFourBytesIsZero) {
  const uint8_t d[3] = {1, 2, 3};
  for (size_t n = 0; n < 4; n++) EXPECT_EQ(BlockChecksum(d, n), 0u) << n;
}

TEST(BlockChecksum, OverlappingLastWordCountsEveryByte) {
  // Sizes 5..11 end with 1..3 bytes after the last whole word; a change in
  // any byte must change the checksum.
  for (size_t size = 4; size <= 11; size++) {
    std::vector<uint8_t> d(size);
    for (size_t i = 0; i < size; i++) d[i] = uint8_t(i * 37 + 5);
    uint32_t base = BlockChecksum(d.data(), size);
    for (size_t i = 0; i < size; i++) {
      std::vector<uint8_t> e = d;
      e[i] ^= 0x10;
      EXPECT_NE(BlockChecksum(e.data(), size), base) << size << " " << i;
    }
  }
}

TEST(ExpandBlock, WorkedExampleThreeLiterals) {
  std::vector<uint8_t> block = {0x4A, 0x43, 0x03, 0, 0, 0, 0, 0, 0, 0,
                                0x56, 0x6C, 0xD8, 0x20, 0, 0, 0, 0x30};
  Expanded e = Expand(block);
  EXPECT_EQ(e.result, 3u);
  EXPECT_EQ(Head(e, 3), Bytes("abc"));
  EXPECT_TRUE(e.canariesIntact);
}

TEST(ExpandBlock, WorkedExampleShortMatchWithChecksum) {
  std::vector<uint8_t> block = {0x4A, 0x43, 0x08, 0, 0, 0, 0xC1, 0xCC, 0xC5, 0xC2,
                                0x56, 0x6C, 0xD8, 0x20, 0, 0, 0x0F, 0x30};
  Expanded e = Expand(block);
  EXPECT_EQ(e.result, 8u);
  EXPECT_EQ(Head(e, 8), Bytes("abcabcab"));
  EXPECT_TRUE(e.canariesIntact);
}

TEST(ExpandBlock, BuilderReproducesWorkedExample) {
  StreamBuilder s;
  s.Width8();
  for (char ch : std::string("abc")) s.Literal(uint8_t(ch));
  s.Short(3, 5);
  s.End();
  std::vector<uint8_t> block = {0x4A, 0x43, 0x08, 0, 0, 0, 0xC1, 0xCC, 0xC5, 0xC2,
                                0x56, 0x6C, 0xD8, 0x20, 0, 0, 0x0F, 0x30};
  EXPECT_EQ(s.Block(8, 0xC2C5CCC1u), block);
}

// One case per code: the stream after a width-8 code and "ab" literals.
struct CodeCase {
  const char* name;
  void (*codes)(StreamBuilder&);
  std::vector<uint8_t> expect;  // whole output, including the leading "ab"
};

TEST(ExpandBlock, EachCode) {
  const std::vector<uint8_t> ab = {'a', 'b'};
  auto with = [&](std::vector<uint8_t> tail) {
    std::vector<uint8_t> v = ab;
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
  };
  std::vector<uint8_t> raw512;
  for (int i = 0; i < 512; i++) raw512.push_back(uint8_t(i * 7 + 1));
  const CodeCase cases[] = {
      {"zero byte", [](StreamBuilder& s) { s.Code4(1); }, with({0})},
      {"one-byte copy d1", [](StreamBuilder& s) { s.Code4(2); }, with({'b'})},
      {"one-byte copy d2", [](StreamBuilder& s) { s.Code4(3); }, with({'a'})},
      {"short d1 len5", [](StreamBuilder& s) { s.Short(1, 5); }, with({'b', 'b', 'b', 'b', 'b'})},
      {"short d2 len2", [](StreamBuilder& s) { s.Short(2, 2); }, with({'a', 'b'})},
      {"long d2 n2 gets +4", [](StreamBuilder& s) { s.Long(2, 2); }, with({'a', 'b', 'a', 'b', 'a', 'b'})},
      {"repeat has no bonus",
       [](StreamBuilder& s) {
         s.Short(2, 2);
         s.Literal('c');
         s.Repeat(3);
       },
       with({'a', 'b', 'c', 'b', 'c', 'b'})},
      {"repeat after long uses its offset",
       [](StreamBuilder& s) {
         s.Long(1, 2);  // 6 x 'b'
         s.Literal('x');
         s.Repeat(2);  // from distance 1: x x
       },
       with({'b', 'b', 'b', 'b', 'b', 'b', 'x', 'x', 'x'})},
      {"one-byte copy keeps the last offset",
       [](StreamBuilder& s) {
         s.Short(2, 2);   // ab, last offset 2
         s.Code4(3);      // a from distance 2
         s.Repeat(2);     // distance 2: b a
       },
       with({'a', 'b', 'a', 'b', 'a'})},
      {"index width 4",
       [](StreamBuilder& s) {
         s.IndexWidth(1, 4);
         s.Long(2, 2, 4);
       },
       with({'a', 'b', 'a', 'b', 'a', 'b'})},
      {"index width 31 in a 6-bit field",
       [](StreamBuilder& s) {
         s.IndexWidth(3, 31);
         s.Long(1, 3, 31);
       },
       with({'b', 'b', 'b', 'b', 'b', 'b', 'b'})},
      {"literal width 7 base 20",
       [](StreamBuilder& s) {
         s.Width7(0x20);
         s.Literal(0x41, 7);
         s.Literal(0x7F, 7);
       },
       with({0x61, 0x9F})},
      {"literal width 7 base wraps",
       [](StreamBuilder& s) {
         s.Width7(0xF0);
         s.Literal(0x20, 7);
       },
       with({0x10})},
      {"raw run of two",
       [](StreamBuilder& s) {
         s.Bits(0x21, 8);
         for (int i = 0; i < 512; i++) {
           s.Bits(uint8_t(i * 7 + 1), 8);
           if (i == 255) s.Bit(1);
         }
         s.Bit(0);
         s.Literal('z');  // width 8 still applies after the run
       },
       [&] {
         std::vector<uint8_t> v = with(raw512);
         v.push_back('z');
         return v;
       }()},
  };
  for (const CodeCase& c : cases) {
    StreamBuilder s;
    s.Width8();
    s.Literal('a');
    s.Literal('b');
    c.codes(s);
    s.End();
    uint32_t n = uint32_t(c.expect.size());
    for (uint32_t sum : {0u, BlockChecksum(c.expect.data(), n)}) {
      Expanded e = Expand(s.Block(n, sum));
      EXPECT_EQ(e.result, n) << c.name;
      EXPECT_EQ(Head(e, n), c.expect) << c.name;
      EXPECT_TRUE(e.canariesIntact) << c.name;
    }
  }
}

TEST(ExpandBlock, LongMatchBonusByDistance) {
  // gamma length 2 at each distance band: 2 + bonus bytes.
  const struct {
    uint32_t d, bytes;
  } cases[] = {{100, 6}, {127, 6}, {128, 2}, {638, 2}, {639, 3}, {700, 3},
               {14334, 3}, {14335, 4}, {65535, 4}, {65536, 5}, {70000, 5}};
  for (const auto& c : cases) {
    StreamBuilder s;
    s.Width8();
    s.Bits(0x21, 8);  // raw runs supply distinct history
    uint32_t runs = (c.d + 255) / 256;
    std::vector<uint8_t> expect;
    for (uint32_t r = 0; r < runs; r++) {
      for (int i = 0; i < 256; i++) {
        uint8_t b = uint8_t((r * 256 + i) * 2654435761u >> 24);
        s.Bits(b, 8);
        expect.push_back(b);
      }
      s.Bit(r + 1 < runs);
    }
    s.Long(c.d, 2);
    s.End();
    for (uint32_t i = 0; i < c.bytes; i++) expect.push_back(expect[expect.size() - c.d]);
    uint32_t n = uint32_t(expect.size());
    Expanded e = Expand(s.Block(n, BlockChecksum(expect.data(), n)));
    EXPECT_EQ(e.result, n) << c.d;
    EXPECT_EQ(Head(e, n), expect) << c.d;
    EXPECT_TRUE(e.canariesIntact) << c.d;
  }
}

TEST(ExpandBlock, ChecksumZeroIsNotChecked) {
  StreamBuilder s;
  s.Width8();
  for (char ch : std::string("hello")) s.Literal(uint8_t(ch));
  s.End();
  EXPECT_EQ(Expand(s.Block(5, 0)).result, 5u);
  EXPECT_EQ(Expand(s.Block(5, BlockChecksum(Bytes("hello").data(), 5))).result, 5u);
}

TEST(ExpandBlock, ChecksumMismatchGivesZeroButKeepsOutput) {
  StreamBuilder s;
  s.Width8();
  for (char ch : std::string("hello")) s.Literal(uint8_t(ch));
  s.End();
  Expanded e = Expand(s.Block(5, 0x12345678));
  EXPECT_EQ(e.result, 0u);
  EXPECT_EQ(Head(e, 5), Bytes("hello"));
  EXPECT_TRUE(e.canariesIntact);
}

TEST(ExpandBlock, SmallBlockWithChecksumFieldFails) {
  for (uint32_t n = 1; n <= 3; n++) {
    StreamBuilder s;
    s.Width8();
    for (uint32_t i = 0; i < n; i++) s.Literal('q');
    s.End();
    EXPECT_EQ(Expand(s.Block(n, 0)).result, n);
    EXPECT_EQ(Expand(s.Block(n, 1)).result, 0u) << n;
  }
}

TEST(ExpandBlock, TrailingPartialWordIsIgnored) {
  StreamBuilder s;
  s.Width8();
  s.Literal('a');
  s.End();
  std::vector<uint8_t> block = s.Block(1);
  for (int extra = 1; extra <= 3; extra++) {
    block.push_back(0xFF);
    EXPECT_EQ(Expand(block).result, 1u) << extra;
  }
}

TEST(BlockExpandedSize, ReadsHeader) {
  StreamBuilder s;
  s.End();
  std::vector<uint8_t> block = s.Block(0x01020304);
  EXPECT_EQ(BlockExpandedSize(block.data(), block.size()), 0x01020304u);
  EXPECT_EQ(BlockExpandedSize(block.data(), 9), 0u);
  block[1] = 'X';
  EXPECT_EQ(BlockExpandedSize(block.data(), block.size()), 0u);
  EXPECT_EQ(BlockExpandedSize(nullptr, 10), 0u);
}

// Malformed streams; each must give 0 and leave the canaries alone.
struct BadCase {
  const char* name;
  void (*codes)(StreamBuilder&);
  uint32_t expanded;
};

TEST(ExpandBlock, MalformedStreamsFail) {
  const BadCase cases[] = {
      {"literal before width code", [](StreamBuilder& s) { s.Literal('a'); s.End(); }, 1},
      {"short match before start",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Short(2, 2); s.End(); }, 3},
      {"short match at start", [](StreamBuilder& s) { s.Width8(); s.Short(1, 2); s.End(); }, 2},
      {"one-byte copy before start",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Code4(3); s.End(); }, 2},
      {"repeat at start", [](StreamBuilder& s) { s.Width8(); s.Repeat(2); s.End(); }, 2},
      {"long match before start",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Long(300, 2); s.End(); }, 3},
      {"long match distance 0",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Long(0, 2); s.End(); }, 7},
      {"literal past expanded size",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Literal('b'); s.End(); }, 1},
      {"copy past expanded size",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Short(1, 5); s.End(); }, 4},
      {"zero byte past expanded size",
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.Code4(1); s.End(); }, 1},
      {"raw run past expanded size",
       [](StreamBuilder& s) {
         s.Width8();
         s.Bits(0x21, 8);
         for (int i = 0; i < 256; i++) s.Bits(0x55, 8);
         s.Bit(0);
         s.End();
       },
       255},
      {"ends short", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.End(); }, 2},
      {"index width 0", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.IndexWidth(1, 0); s.End(); }, 1},
      {"index width 32", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.IndexWidth(3, 32); s.End(); }, 1},
      {"index width 63", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.IndexWidth(3, 63); s.End(); }, 1},
      {"gamma past 32 bits",
       [](StreamBuilder& s) {
         s.Width8();
         s.Literal('a');
         s.Bits(1, 2);
         for (int i = 0; i < 40; i++) s.Bits(3, 2);  // data 1, continue 1
         s.Bits(0, 2);
         s.Gamma(2);
         s.End();
       },
       8},
      {"length gamma past 32 bits",
       [](StreamBuilder& s) {
         s.Width8();
         s.Literal('a');
         s.Bits(1, 2);
         s.Gamma(2);
         for (int i = 0; i < 40; i++) s.Bits(3, 2);
         s.Bits(0, 2);
         s.End();
       },
       3},
      {"no end code in the last word",
       [](StreamBuilder& s) {
         // 9 + 3 x 9 + 4 x 7 bits fill two words exactly; zero padding of a
         // partial word would read as an end code.
         s.Width8();
         for (int i = 0; i < 3; i++) s.Literal('a');
         for (int i = 0; i < 4; i++) s.Code4(1);
       },
       7},
      {"stream runs off the block inside a raw run",
       [](StreamBuilder& s) {
         s.Width8();
         s.Bits(0x21, 8);
         for (int i = 0; i < 100; i++) s.Bits(0xFF, 8);
       },
       256},
  };
  for (const BadCase& c : cases) {
    StreamBuilder s;
    c.codes(s);
    std::vector<uint8_t> block = s.Block(c.expanded);
    Expanded e = Expand(block);
    EXPECT_EQ(e.result, 0u) << c.name;
    EXPECT_TRUE(e.canariesIntact) << c.name;
  }
}

TEST(ExpandBlock, BadHeadersFail) {
  StreamBuilder s;
  s.Width8();
  s.Literal('a');
  s.End();
  std::vector<uint8_t> good = s.Block(1);
  std::vector<uint8_t> out(16, kCanary);
  EXPECT_EQ(ExpandBlock(nullptr, good.size(), out.data(), out.size()), 0u);
  EXPECT_EQ(ExpandBlock(good.data(), good.size(), nullptr, 16), 0u);
  EXPECT_EQ(ExpandBlock(good.data(), 9, out.data(), out.size()), 0u);
  std::vector<uint8_t> bad = good;
  bad[0] = 'j';
  Expanded e = Expand(bad, 16);
  EXPECT_EQ(e.result, 0u);
  EXPECT_EQ(e.bytes, std::vector<uint8_t>(16, kCanary)) << "wrong magic must not write";
  // Expanded size larger than the destination.
  EXPECT_EQ(Expand(good, 0).result, 0u);
  EXPECT_EQ(Expand(good, 1).result, 1u) << "no slack needed for a literal";
  // Header without any stream word.
  std::vector<uint8_t> bare(good.begin(), good.begin() + 10);
  e = Expand(bare);
  EXPECT_EQ(e.result, 0u);
  EXPECT_TRUE(e.canariesIntact);
}

TEST(ExpandBlock, CopiesExactlyIntoATightDestination) {
  // A destination without slack must still receive every byte, without a
  // byte beyond it.
  StreamBuilder s;
  s.Width8();
  for (int i = 0; i < 20; i++) s.Literal(uint8_t('A' + i));
  s.Long(20, 30);  // 20 < 128: 34 bytes, overlapping
  s.Short(9, 5);
  s.End();
  std::vector<uint8_t> expect;
  for (int i = 0; i < 20; i++) expect.push_back(uint8_t('A' + i));
  for (int i = 0; i < 34; i++) expect.push_back(expect[expect.size() - 20]);
  for (int i = 0; i < 5; i++) expect.push_back(expect[expect.size() - 9]);
  for (long slack : {0L, 3L, 8L, 40L}) {
    Expanded e = Expand(s.Block(uint32_t(expect.size())), long(expect.size()) + slack);
    EXPECT_EQ(e.result, expect.size()) << slack;
    EXPECT_EQ(Head(e, expect.size()), expect) << slack;
    EXPECT_TRUE(e.canariesIntact) << slack;
  }
}

}  // namespace
