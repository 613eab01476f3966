// ExpandBlock, BlockExpandedSize and BlockChecksum: the worked examples, one
// test per code of the stream, and every malformed block that must give 0.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/block.h"
#include "stream_builder.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// The two worked examples of the format: "abc" as three literals without a
// checksum, and "abcabcab" as three literals and a short match, checksummed.
const std::vector<uint8_t> kThreeLiterals = {0x4A, 0x43, 0x03, 0, 0, 0, 0, 0, 0, 0,
                                             0x56, 0x6C, 0xD8, 0x20, 0, 0, 0, 0x30};
const std::vector<uint8_t> kShortMatch = {0x4A, 0x43, 0x08, 0, 0, 0, 0xC1, 0xCC, 0xC5, 0xC2,
                                          0x56, 0x6C, 0xD8, 0x20, 0, 0, 0x0F, 0x30};

TEST(BlockChecksum, WorkedExamples) {
  // Whole words, then one more word ending at the last byte; the rotation
  // carries the top bit round and the + 1 wraps.
  const struct {
    std::string bytes;
    uint32_t checksum;
  } cases[] = {
      {"", 0},
      {"a", 0},
      {"ab", 0},
      {"abc", 0},
      {"abcd", 0xACA5A6A2u},
      {"abcde", 0xD8C2CCC1u},
      {"abcdef", 0xDFC1C3C2u},
      {"abcdefg", 0xDAC0C6CFu},
      {"abcdefgh", 0xC5C3C1CCu},
      {"abcdefghijk", 0xE7FAF9E5u},
      {std::string(4, '\0'), 0x00000001u},
      {std::string("\0\0\0\x80", 4), 0x80000002u},
      {std::string(4, '\xFF'), 0xFFFFFFFFu},
      {std::string("\x80\0\0\0\x01", 5), 0x03000180u},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> data = Bytes(c.bytes);
    EXPECT_EQ(BlockChecksum(data.data(), data.size()), c.checksum) << c.bytes.size() << " bytes";
  }
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

TEST(ExpandBlock, WorkedExamples) {
  Expansion e = ExpandGuarded(kThreeLiterals);
  EXPECT_EQ(e.result, 3u);
  EXPECT_EQ(e.First(3), Bytes("abc"));
  EXPECT_TRUE(e.canariesIntact);
  e = ExpandGuarded(kShortMatch);
  EXPECT_EQ(e.result, 8u);
  EXPECT_EQ(e.First(8), Bytes("abcabcab"));
  EXPECT_TRUE(e.canariesIntact);
}

// The tests' stream builder (stream_builder.h) writes both worked examples
// bit for bit; the package tests build their blocks with it.
TEST(ExpandBlock, BuilderReproducesTheWorkedExamples) {
  EXPECT_EQ(LiteralBlock(Bytes("abc")), kThreeLiterals);
  StreamBuilder s;
  s.Width8();
  for (char ch : std::string("abc")) s.Literal(uint8_t(ch));
  s.Short(3, 5);
  s.End();
  EXPECT_EQ(s.output, Bytes("abcabcab"));
  EXPECT_EQ(s.OutputBlock(), kShortMatch);
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
      {"zero byte", [](StreamBuilder& s) { s.ZeroByte(); }, with({0})},
      {"one-byte copy d1", [](StreamBuilder& s) { s.CopyOne(1); }, with({'b'})},
      {"one-byte copy d2", [](StreamBuilder& s) { s.CopyOne(2); }, with({'a'})},
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
         s.Short(2, 2);  // ab, last offset 2
         s.CopyOne(2);   // a from distance 2
         s.Repeat(2);    // distance 2: b a
       },
       with({'a', 'b', 'a', 'b', 'a'})},
      {"index width 4",
       [](StreamBuilder& s) {
         s.IndexWidth(4);
         s.Long(2, 2);
       },
       with({'a', 'b', 'a', 'b', 'a', 'b'})},
      {"index width 31 in a 6-bit field",
       [](StreamBuilder& s) {
         s.IndexWidth(31, 3);
         s.Long(1, 3);
       },
       with({'b', 'b', 'b', 'b', 'b', 'b', 'b'})},
      {"literal width 7 base 20: fields 41 and 7F",
       [](StreamBuilder& s) {
         s.Width7(0x20);
         s.Literal(0x61);
         s.Literal(0x9F);
       },
       with({0x61, 0x9F})},
      {"literal width 7 base wraps: field 20",
       [](StreamBuilder& s) {
         s.Width7(0xF0);
         s.Literal(0x10);
       },
       with({0x10})},
      {"raw run of two",
       [](StreamBuilder& s) {
         std::vector<uint8_t> raw;
         for (int i = 0; i < 512; i++) raw.push_back(uint8_t(i * 7 + 1));
         s.RawRuns(raw.data(), 2);
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
    EXPECT_EQ(s.output, c.expect) << c.name << ": the builder's own account";
    uint32_t n = uint32_t(c.expect.size());
    for (uint32_t sum : {0u, BlockChecksum(c.expect.data(), n)}) {
      Expansion e = ExpandGuarded(s.Block(n, sum));
      EXPECT_EQ(e.result, n) << c.name;
      EXPECT_EQ(e.First(n), c.expect) << c.name;
      EXPECT_TRUE(e.canariesIntact) << c.name;
    }
  }
}

TEST(ExpandBlock, LongMatchBonusByDistance) {
  // Gamma count 2 either side of each band's edges: 2 + bonus bytes.
  const struct {
    uint32_t d, bytes;
  } cases[] = {{1, 6},       {100, 6},     {126, 6},     {127, 6},     {128, 2},     {129, 2},
               {638, 2},     {639, 3},     {640, 3},     {700, 3},     {14334, 3},   {14335, 4},
               {14336, 4},   {65535, 4},   {65536, 5},   {65537, 5},   {70000, 5}};
  for (const auto& c : cases) {
    uint32_t runs = (c.d + 255) / 256;  // raw runs supply distinct history
    std::vector<uint8_t> expect;
    for (uint32_t i = 0; i < runs * 256; i++) expect.push_back(uint8_t(i * 2654435761u >> 24));
    StreamBuilder s;
    s.Width8();
    s.RawRuns(expect.data(), runs);
    s.Long(c.d, 2);
    s.End();
    for (uint32_t i = 0; i < c.bytes; i++) expect.push_back(expect[expect.size() - c.d]);
    EXPECT_EQ(s.output, expect) << c.d << ": the builder's own account";
    uint32_t n = uint32_t(expect.size());
    Expansion e = ExpandGuarded(s.Block(n, BlockChecksum(expect.data(), n)));
    EXPECT_EQ(e.result, n) << c.d;
    EXPECT_EQ(e.First(n), expect) << c.d;
    EXPECT_TRUE(e.canariesIntact) << c.d;
  }
}

StreamBuilder Hello() {
  StreamBuilder s;
  s.Width8();
  for (char ch : std::string("hello")) s.Literal(uint8_t(ch));
  s.End();
  return s;
}

TEST(ExpandBlock, ChecksumZeroIsNotChecked) {
  EXPECT_EQ(ExpandGuarded(Hello().Block(5, 0)).result, 5u);
  EXPECT_EQ(ExpandGuarded(Hello().OutputBlock()).result, 5u);
}

TEST(ExpandBlock, ChecksumMismatchGivesZeroButKeepsOutput) {
  Expansion e = ExpandGuarded(Hello().Block(5, 0x12345678));
  EXPECT_EQ(e.result, 0u);
  EXPECT_EQ(e.First(5), Bytes("hello"));
  EXPECT_TRUE(e.canariesIntact);
}

TEST(ExpandBlock, SmallBlockWithChecksumFieldFails) {
  for (uint32_t n = 1; n <= 3; n++) {
    StreamBuilder s;
    s.Width8();
    for (uint32_t i = 0; i < n; i++) s.Literal('q');
    s.End();
    EXPECT_EQ(ExpandGuarded(s.Block(n, 0)).result, n);
    EXPECT_EQ(ExpandGuarded(s.Block(n, 1)).result, 0u) << n;
  }
}

TEST(ExpandBlock, TrailingPartialWordIsIgnored) {
  std::vector<uint8_t> block = LiteralBlock({'a'});
  for (int extra = 1; extra <= 3; extra++) {
    block.push_back(0xFF);
    EXPECT_EQ(ExpandGuarded(block).result, 1u) << extra;
  }
}

TEST(BlockExpandedSize, ReadsHeader) {
  StreamBuilder s;
  s.End();
  std::vector<uint8_t> block = s.Block(0x01020304, 0);
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
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.CopyOne(2); s.End(); }, 2},
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
       [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.ZeroByte(); s.End(); }, 1},
      {"raw run past expanded size",
       [](StreamBuilder& s) {
         const std::vector<uint8_t> run(256, 0x55);
         s.Width8();
         s.RawRuns(run.data(), 1);
         s.End();
       },
       255},
      {"ends short", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.End(); }, 2},
      {"index width 0", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.IndexWidth(0); s.End(); }, 1},
      {"index width 32", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.IndexWidth(32); s.End(); }, 1},
      {"index width 63", [](StreamBuilder& s) { s.Width8(); s.Literal('a'); s.IndexWidth(63); s.End(); }, 1},
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
         for (int i = 0; i < 4; i++) s.ZeroByte();
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
    Expansion e = ExpandGuarded(s.Block(c.expanded, 0));
    EXPECT_EQ(e.result, 0u) << c.name;
    EXPECT_TRUE(e.canariesIntact) << c.name;
  }
}

TEST(ExpandBlock, BadHeadersFail) {
  std::vector<uint8_t> good = LiteralBlock({'a'});
  std::vector<uint8_t> out(16, kCanary);
  EXPECT_EQ(ExpandBlock(nullptr, good.size(), out.data(), out.size()), 0u);
  EXPECT_EQ(ExpandBlock(good.data(), good.size(), nullptr, 16), 0u);
  EXPECT_EQ(ExpandBlock(good.data(), 9, out.data(), out.size()), 0u);
  std::vector<uint8_t> bad = good;
  bad[0] = 'j';
  Expansion e = ExpandGuarded(bad, 16);
  EXPECT_EQ(e.result, 0u);
  EXPECT_EQ(e.bytes, std::vector<uint8_t>(16, kCanary)) << "wrong magic must not write";
  // Expanded size larger than the destination.
  EXPECT_EQ(ExpandGuarded(good, 0).result, 0u);
  EXPECT_EQ(ExpandGuarded(good, 1).result, 1u) << "no slack needed for a literal";
  // Header without any stream word.
  std::vector<uint8_t> bare(good.begin(), good.begin() + 10);
  e = ExpandGuarded(bare);
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
  const std::vector<uint8_t>& expect = s.output;
  ASSERT_EQ(expect.size(), 59u);
  for (long slack : {0L, 3L, 8L, 40L}) {
    Expansion e = ExpandGuarded(s.Block(uint32_t(expect.size()), 0), long(expect.size()) + slack);
    EXPECT_EQ(e.result, expect.size()) << slack;
    EXPECT_EQ(e.First(expect.size()), expect) << slack;
    EXPECT_TRUE(e.canariesIntact) << slack;
  }
}

}  // namespace
