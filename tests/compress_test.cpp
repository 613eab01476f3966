// CompressBlock: seeded round trips through ExpandBlock at every level over
// data of many shapes, the block header, determinism, and the codes that the
// compressor must use where they pay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "lib/compress.h"
#include "package/block.h"
#include "stream_builder.h"

namespace {

const CompressLevel kLevels[] = {kLevelFast, kLevelDefault, kLevelBest};

// Expands the block between canaries and compares every byte with the
// original.
void ExpectRoundTrip(const std::vector<uint8_t>& data, const std::vector<uint8_t>& block,
                     const std::string& what) {
  ASSERT_GE(block.size(), kBlockHeaderSize) << what;
  ASSERT_EQ(BlockExpandedSize(block.data(), block.size()), data.size()) << what;
  Expansion e = ExpandGuarded(block);
  ASSERT_EQ(e.result, data.size()) << what;
  EXPECT_TRUE(e.First(data.size()) == data) << what;
  ASSERT_TRUE(e.canariesIntact) << what;
}

// Data generators; each takes the generator and a size.
using Shape = std::vector<uint8_t> (*)(std::mt19937&, size_t);

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

std::vector<uint8_t> Runs(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v;
  while (v.size() < n) {
    uint8_t b = rng() % 4 == 0 ? 0 : uint8_t(rng());
    size_t len = 1 + rng() % (rng() % 8 == 0 ? 3000 : 20);
    for (size_t i = 0; i < len && v.size() < n; i++) v.push_back(b);
  }
  return v;
}

std::vector<uint8_t> TextLike(std::mt19937& rng, size_t n) {
  static const char* words[] = {"the ",   "install ", "folder ", "of ",     "a ",   "file\r\n",
                                "setup ", "package ", "Zandor ", "block ", "is ",  "copied. ",
                                "and ",   "registry ", "key ",   "value\n", "to ", "{}"};
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const char* w = words[rng() % (sizeof(words) / sizeof(words[0]))];
    for (const char* p = w; *p && v.size() < n; p++) v.push_back(uint8_t(*p));
  }
  return v;
}

// Records of a table with small changes: repeat offsets, one-byte copies,
// and matches at every distance band.
std::vector<uint8_t> Structured(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v;
  std::vector<uint8_t> record = RandomBytes(rng, 24);
  while (v.size() < n) {
    if (rng() % 5 == 0) record[rng() % record.size()] = uint8_t(rng());
    for (uint8_t b : record)
      if (v.size() < n) v.push_back(b);
    if (rng() % 7 == 0 && v.size() > 0) {
      size_t back = 1 + rng() % v.size();
      size_t len = 3 + rng() % 40;
      size_t from = v.size() - back;
      for (size_t i = 0; i < len && v.size() < n; i++) v.push_back(v[from + i]);
    }
  }
  return v;
}

// Long stretches copied from far back, for distances beyond 65,536.
std::vector<uint8_t> FarRepeats(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v = RandomBytes(rng, n < 70000 ? n : 70000);
  while (v.size() < n) {
    static const size_t backs[] = {100, 300, 700, 1000, 15000, 40000, 66000, 69999};
    size_t back = backs[rng() % 8];
    if (back > v.size()) back = v.size();
    size_t len = 2 + rng() % 300;
    size_t from = v.size() - back;
    for (size_t i = 0; i < len && v.size() < n; i++) v.push_back(v[from + i]);
    for (size_t i = rng() % 4; i > 0 && v.size() < n; i--) v.push_back(uint8_t(rng()));
  }
  return v;
}

// Bytes of a 96-value window (7-bit literals with a base) mixed with repeats.
std::vector<uint8_t> NarrowAlphabet(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v;
  uint8_t base = uint8_t(rng());
  while (v.size() < n) {
    if (v.size() > 8 && rng() % 3 == 0) {
      size_t from = v.size() - 1 - rng() % (v.size() < 500 ? v.size() : 500);
      for (size_t i = 0; i < 6 && v.size() < n; i++) v.push_back(v[from + i]);
    } else {
      v.push_back(uint8_t(base + rng() % 96));
    }
  }
  return v;
}

// Compressible halves around an incompressible middle: raw runs.
std::vector<uint8_t> Mixed(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v = TextLike(rng, n / 3);
  std::vector<uint8_t> r = RandomBytes(rng, n / 3);
  v.insert(v.end(), r.begin(), r.end());
  std::vector<uint8_t> t = Structured(rng, n - v.size());
  v.insert(v.end(), t.begin(), t.end());
  return v;
}

struct ShapeCase {
  const char* name;
  Shape make;
};

const ShapeCase kShapes[] = {
    {"random", RandomBytes}, {"runs", Runs},           {"text", TextLike},
    {"structured", Structured}, {"far repeats", FarRepeats}, {"narrow", NarrowAlphabet},
    {"mixed", Mixed},
};

TEST(CompressBlock, RoundTripsEveryShapeAndLevel) {
  const uint32_t seed = std::random_device()();
  std::printf("CompressBlock round-trip seed: %u\n", seed);
  std::mt19937 rng(seed);
  const size_t sizes[] = {1, 3, 4, 5, 17, 100, 255, 256, 1000, 4096, 70000, 200000};
  for (const ShapeCase& shape : kShapes) {
    for (size_t size : sizes) {
      std::vector<uint8_t> data = shape.make(rng, size);
      for (CompressLevel level : kLevels) {
        std::string what = std::string(shape.name) + " size " + std::to_string(size) + " level " +
                           std::to_string(int(level)) + " seed " + std::to_string(seed);
        std::vector<uint8_t> block;
        if (CompressBlock(data.data(), data.size(), level, &block)) {
          EXPECT_LT(block.size(), data.size()) << what;
          ExpectRoundTrip(data, block, what);
        } else {
          EXPECT_TRUE(block.empty()) << what;
        }
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST(CompressBlock, CompressibleShapesDoCompress) {
  std::mt19937 rng(7);
  for (const ShapeCase& shape : kShapes) {
    if (std::string(shape.name) == "random") continue;
    std::vector<uint8_t> data = shape.make(rng, 100000);
    for (CompressLevel level : kLevels) {
      std::vector<uint8_t> block;
      EXPECT_TRUE(CompressBlock(data.data(), data.size(), level, &block))
          << shape.name << " level " << int(level);
    }
  }
}

TEST(CompressBlock, HeaderHoldsSizeAndChecksum) {
  std::mt19937 rng(11);
  std::vector<uint8_t> data = TextLike(rng, 5000);
  std::vector<uint8_t> block;
  ASSERT_TRUE(CompressBlock(data.data(), data.size(), kLevelDefault, &block));
  EXPECT_EQ(block[0], 'J');
  EXPECT_EQ(block[1], 'C');
  EXPECT_EQ(BlockExpandedSize(block.data(), block.size()), 5000u);
  uint32_t sum = LoadLE32(&block[6]);
  EXPECT_EQ(sum, BlockChecksum(data.data(), data.size()));
  EXPECT_NE(sum, 0u);
  EXPECT_EQ((block.size() - kBlockHeaderSize) % 4, 0u) << "whole words";
}

TEST(CompressBlock, DamagedBlockFailsItsChecksum) {
  std::mt19937 rng(12);
  std::vector<uint8_t> data = Structured(rng, 20000);
  std::vector<uint8_t> block;
  ASSERT_TRUE(CompressBlock(data.data(), data.size(), kLevelDefault, &block));
  std::vector<uint8_t> out(data.size() + kBlockSlack);
  int rejected = 0;
  for (size_t at = kBlockHeaderSize; at < block.size(); at += 97) {
    std::vector<uint8_t> bad = block;
    bad[at] ^= 0x40;
    uint32_t n = ExpandBlock(bad.data(), bad.size(), out.data(), out.size());
    if (n == 0) rejected++;
    else EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin())) << at;
  }
  EXPECT_GT(rejected, 0);
}

TEST(CompressBlock, RefusesWhatDoesNotShrink) {
  std::mt19937 rng(3);
  std::vector<uint8_t> block = {1, 2, 3};
  std::vector<uint8_t> random = RandomBytes(rng, 10000);
  for (CompressLevel level : kLevels) {
    EXPECT_FALSE(CompressBlock(random.data(), random.size(), level, &block));
    EXPECT_TRUE(block.empty());
  }
  const uint8_t tiny[3] = {'a', 'a', 'a'};
  EXPECT_FALSE(CompressBlock(tiny, 3, kLevelBest, &block));
  EXPECT_FALSE(CompressBlock(tiny, 0, kLevelBest, &block));
  EXPECT_FALSE(CompressBlock(nullptr, 10, kLevelBest, &block));
  EXPECT_FALSE(CompressBlock(tiny, 3, kLevelBest, nullptr));
}

TEST(CompressBlock, IsDeterministic) {
  std::mt19937 rng(5);
  std::vector<uint8_t> data = Mixed(rng, 150000);
  for (CompressLevel level : kLevels) {
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(CompressBlock(data.data(), data.size(), level, &a));
    std::vector<uint8_t> copy = data;  // another address
    ASSERT_TRUE(CompressBlock(copy.data(), copy.size(), level, &b));
    EXPECT_EQ(a, b) << int(level);
  }
}

// Sizes that only the right code reaches; each bound sits between what the
// code gives and what the data costs without it.
TEST(CompressBlock, UsesTheCodesThatPay) {
  std::mt19937 rng(9);
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    size_t maxBlock;
    CompressLevel fromLevel;  // the greedy fast level skips some codes
  };
  std::vector<Case> cases;
  // 1 MiB of zeros: long matches from distance 1.
  cases.push_back({"zeros", std::vector<uint8_t>(1 << 20, 0), 2000, kLevelFast});
  // Random half then zeros: the random half in raw runs (1 + 1/2048 bytes
  // per byte) rather than 9-bit literals.
  {
    std::vector<uint8_t> v = RandomBytes(rng, 8192);
    v.resize(16384, 0);
    cases.push_back({"raw runs", v, 8192 + 300, kLevelDefault});
  }
  // Letters of a 26-value window: 7-bit literals and one-byte copies bring
  // it below 8 bits a byte; 8-bit literals would not.
  {
    std::vector<uint8_t> v(20000);
    for (auto& b : v) b = uint8_t('a' + rng() % 26);
    cases.push_back({"7-bit literals", v, 19200, kLevelFast});
  }
  // Records of 16 bytes, each one of eight with a byte changed: the parse
  // must keep more than the cheapest way's last offset at a position to
  // price the repeats after the changed byte right (16,230 bytes with one).
  {
    std::mt19937 fixed(5);
    std::vector<std::vector<uint8_t>> records(8, std::vector<uint8_t>(16));
    for (auto& r : records)
      for (auto& b : r) b = uint8_t(fixed());
    std::vector<uint8_t> v;
    while (v.size() < 60000) {
      std::vector<uint8_t> r = records[fixed() % 8];
      r[fixed() % 16] = uint8_t(fixed());
      v.insert(v.end(), r.begin(), r.end());
    }
    cases.push_back({"last offsets", v, 16160, kLevelDefault});
  }
  for (const Case& c : cases) {
    for (CompressLevel level : kLevels) {
      if (level < c.fromLevel) continue;
      std::vector<uint8_t> block;
      ASSERT_TRUE(CompressBlock(c.data.data(), c.data.size(), level, &block)) << c.name;
      EXPECT_LE(block.size(), c.maxBlock) << c.name << " level " << int(level);
      ExpectRoundTrip(c.data, block, c.name);
    }
  }
}

// A repeat far back behind bytes that hold its every triple: copies of it
// with every seventh byte changed, from another first byte in each copy, so
// that every triple is in most copies and no copy holds an 8-byte run of
// it. The repeat costs one match, not a match for each few bytes.
TEST(CompressBlock, FindsFarRepeatsBehindCommonTriples) {
  std::mt19937 rng(11);
  const std::vector<uint8_t> original = RandomBytes(rng, 512);
  std::vector<uint8_t> data = original;
  for (size_t n = 0; data.size() < (256 << 10); n++) {
    std::vector<uint8_t> copy = original;
    for (size_t i = n % 7; i < copy.size(); i += 7) copy[i] = uint8_t(rng());
    data.insert(data.end(), copy.begin(), copy.end());
  }
  std::vector<uint8_t> repeated = data;
  repeated.insert(repeated.end(), original.begin(), original.end());
  for (CompressLevel level : {kLevelDefault, kLevelBest}) {
    std::vector<uint8_t> without, with;
    ASSERT_TRUE(CompressBlock(data.data(), data.size(), level, &without));
    ASSERT_TRUE(CompressBlock(repeated.data(), repeated.size(), level, &with));
    EXPECT_LE(with.size(), without.size() + 40) << "level " << int(level);
    ExpectRoundTrip(repeated, with, "far repeat");
  }
}

// A file in pieces: each piece must set the decoder's state itself, since
// the piece before it may leave another literal width, index width and last
// offset. The first piece is text with far repeats (7-bit literals, a wide
// index); each later piece begins with a run that a repeat of distance 1
// would take, then binary records with near matches (8-bit literals, a
// narrow index), then text again, so every state differs at every cut.
std::vector<uint8_t> PieceStates(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v;
  while (v.size() < n) {
    size_t piece = v.size() / kPieceSize;
    size_t end = std::min(n, (piece + 1) * kPieceSize);
    if (piece > 0)
      for (int i = 0; i < 300 && v.size() < end; i++) v.push_back('x');
    std::vector<uint8_t> part = piece % 2 == 0 ? FarRepeats(rng, (end - v.size()) / 2) : Structured(rng, (end - v.size()) / 2);
    if (piece % 2 == 0)
      for (uint8_t& b : part) b = uint8_t(0x20 + b % 90);
    v.insert(v.end(), part.begin(), part.end());
    std::vector<uint8_t> text = TextLike(rng, end - v.size());
    v.insert(v.end(), text.begin(), text.end());
  }
  return v;
}

// Blocks of files above the piece threshold expand to the input, whether
// the pieces are made one after another by CompressBlock or out of order
// from the shared chains, and both give the same block.
TEST(CompressBlock, PiecesJoinIntoOneBlockThatExpands) {
  const uint32_t seed = std::random_device()();
  std::printf("PiecesJoinIntoOneBlockThatExpands seed: %u\n", seed);
  std::mt19937 rng(seed);
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    size_t pieces;
  };
  std::vector<Case> cases;
  cases.push_back({"piece states", PieceStates(rng, 3 * kPieceSize + 777), 4});
  cases.push_back({"structured", Structured(rng, kPieceThreshold + 1), 3});  // a 1-byte last piece
  cases.push_back({"far repeats", FarRepeats(rng, kPieceThreshold + kPieceSize / 2), 3});
  for (const Case& c : cases) {
    std::string what = std::string(c.name) + " seed " + std::to_string(seed);
    ASSERT_EQ(CountBlockPieces(c.data.size()), c.pieces) << what;
    for (CompressLevel level : {kLevelFast, kLevelDefault}) {
      std::vector<uint8_t> block;
      ASSERT_TRUE(CompressBlock(c.data.data(), c.data.size(), level, &block)) << what;
      ExpectRoundTrip(c.data, block, what + " level " + std::to_string(int(level)));
      if (HasFatalFailure()) return;
      MatchChains chains;
      PrepareBlockPieces(c.data.data(), c.data.size(), &chains);
      std::vector<BlockPiece> pieces(CountBlockPieces(c.data.size()));
      for (size_t i = pieces.size(); i > 0; i--) CompressBlockPiece(chains, level, i - 1, &pieces[i - 1]);
      std::vector<uint8_t> joined;
      ASSERT_TRUE(JoinBlockPieces(c.data.data(), c.data.size(), pieces, &joined)) << what;
      EXPECT_EQ(joined, block) << what;
    }
  }
  EXPECT_EQ(CountBlockPieces(kPieceThreshold), 1u);
}

TEST(CompressBlock, BetterLevelsAreNotLarger) {
  std::mt19937 rng(21);
  std::vector<uint8_t> data = Mixed(rng, 120000);
  std::vector<uint8_t> fast, def, best;
  ASSERT_TRUE(CompressBlock(data.data(), data.size(), kLevelFast, &fast));
  ASSERT_TRUE(CompressBlock(data.data(), data.size(), kLevelDefault, &def));
  ASSERT_TRUE(CompressBlock(data.data(), data.size(), kLevelBest, &best));
  EXPECT_LE(def.size(), fast.size());
  EXPECT_LE(best.size(), def.size());
}

}  // namespace
