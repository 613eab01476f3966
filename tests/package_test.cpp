// The package reader: trailer, directory, entry walking and the refusal of
// packages whose sizes point outside the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "package/block.h"
#include "package/extract.h"
#include "package/package.h"
#include "stream_builder.h"
#include "test_env.h"

namespace {


// Packages whose directory is a block of literals.
std::vector<uint8_t> MakePackedPackage(const std::vector<TestEntry>& entries, size_t prefix) {
  PackageLayout layout;
  layout.prefix = prefix;
  layout.packDirectory = LiteralBlock;
  return MakePackage(entries, layout);
}

class PackageTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = Native("test.pck");
  }
  void Write(const std::vector<uint8_t>& bytes) { WriteBytes("test.pck", bytes); }
  // Opens a good package first so that a failed open must clear its list.
  void OpenSomethingFirst() {
    Write(MakePackage({RawFile("old.txt", "old")}));
    ASSERT_TRUE(OpenPackage(path_, nullptr));
    ASSERT_EQ(Package().entries.size(), 1u);
  }
  void ExpectRefused(const std::vector<uint8_t>& bytes, const char* why) {
    SCOPED_TRACE(why);
    OpenSomethingFirst();
    Write(bytes);
    EXPECT_FALSE(OpenPackage(path_, nullptr));
    EXPECT_TRUE(Package().entries.empty());
    EXPECT_EQ(PackageTotalSize(), 0u);
    EXPECT_TRUE(Package().open);
  }
  std::string path_;
};

TEST_F(PackageTest, EmptyPackageOpensTrue) {
  Write(MakePackage({}));
  EXPECT_TRUE(OpenPackage(path_, nullptr));
  EXPECT_TRUE(Package().entries.empty());
  EXPECT_EQ(PackageTotalSize(), 0u);
  EXPECT_EQ(Package().directoryStoredSize, 4u);  // the entry count alone, raw
}

TEST_F(PackageTest, NegativeCountIsAnEmptyPackage) {
  std::vector<uint8_t> bytes = MakePackage({});
  SetLE32(&bytes, 0, 0xFFFFFFFF);
  Write(bytes);
  EXPECT_TRUE(OpenPackage(path_, nullptr));
  EXPECT_TRUE(Package().entries.empty());
}

TEST_F(PackageTest, MissingFolderOrEmptyFileIsRefused) {
  OpenSomethingFirst();
  EXPECT_FALSE(OpenPackage(Native("missing.pck"), nullptr));
  EXPECT_TRUE(Package().entries.empty());
  OpenSomethingFirst();
  EXPECT_FALSE(OpenPackage(dir_, nullptr));
  EXPECT_TRUE(Package().entries.empty());
  OpenSomethingFirst();
  Write({});
  EXPECT_FALSE(OpenPackage(path_, nullptr));
  EXPECT_TRUE(Package().entries.empty());
  EXPECT_EQ(Package().lastResult, kPackageMissing);
}

TEST_F(PackageTest, NoMagicGivesEmptyList) {
  std::vector<uint8_t> bytes = MakePackage({RawFile("a.txt", "abc")});
  bytes.back() = 'c';  // "Pacc"
  ExpectRefused(bytes, "last byte changed");
  EXPECT_EQ(Package().lastResult, kPackageNoMagic);
  std::vector<uint8_t> executable(5000, 0x4D);
  ExpectRefused(executable, "an executable without a package");
}

TEST_F(PackageTest, RawDirectoryFieldsAreRead) {
  TestEntry file = RawFile("sub\\a.txt", "hello", 0x0123456789ABCDEFull, 0x01D0000000000001ull);
  Write(MakePackage({Folder("sub\\"), file}, 100));
  ProgressCallback callback = [] {};
  ASSERT_TRUE(OpenPackage(path_, callback));
  EXPECT_EQ(Package().fileName, path_);
  EXPECT_EQ(Package().progress, callback);
  EXPECT_EQ(Package().dataStart, 100);
  ASSERT_EQ(Package().entries.size(), 2u);
  const PackageEntry& folder = Package().entries[0];
  EXPECT_EQ(folder.name, "sub\\");
  EXPECT_EQ(folder.kind, kEntryKindFolder);
  const PackageEntry& entry = Package().entries[1];
  EXPECT_EQ(entry.name, "sub\\a.txt");
  EXPECT_EQ(entry.kind, kEntryKindFile);
  EXPECT_EQ(entry.size, 5);
  EXPECT_EQ(entry.storedSize, 5);
  EXPECT_EQ(entry.offset, 100);
  EXPECT_EQ(entry.creationTime, 0x0123456789ABCDEFull);
  EXPECT_EQ(entry.lastWriteTime, 0x01D0000000000001ull);
  EXPECT_EQ(PackageTotalSize(), 5u);
}

TEST_F(PackageTest, CompressedDirectoryIsExpanded) {
  std::vector<TestEntry> entries = {Folder("a\\"), RawFile("a\\b.txt", "bee"), RawFile("c.txt", "sea")};
  Write(MakePackage(entries));
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  uint32_t rawSize = Package().directoryStoredSize;
  Write(MakePackedPackage(entries, 0));
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  ASSERT_EQ(Package().entries.size(), 3u);
  EXPECT_NE(Package().directoryStoredSize, rawSize);
  EXPECT_EQ(Package().entries[2].name, "c.txt");
  EXPECT_EQ(Package().entries[2].offset, 3);
}

TEST_F(PackageTest, TotalSizeCountsEveryEntry) {
  TestEntry other;
  other.name = "strange";
  other.kind = 7;
  other.size = 1000;
  Write(MakePackage({Folder("f\\", 50), RawFile("a", "12345"), other, RawFile("empty", "")}));
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  EXPECT_EQ(Package().entries.size(), 4u);
  EXPECT_EQ(PackageTotalSize(), 1055u);
}

TEST_F(PackageTest, EntryWalkingVisitsEveryEntryInOrder) {
  Write(MakePackage({RawFile("one", "1"), RawFile("two", "22"), RawFile("three", "333")}));
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  std::vector<std::string> names;
  ResetEntryCursor();
  EXPECT_EQ(CurrentPackageEntry().name, "");
  while (NextPackageEntry()) names.push_back(CurrentPackageEntry().name);
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_FALSE(NextPackageEntry());
  EXPECT_EQ(CurrentPackageEntry().name, "");
  ResetEntryCursor();
  ASSERT_TRUE(NextPackageEntry());
  EXPECT_EQ(CurrentPackageEntry().name, "one");
}

TEST_F(PackageTest, CloseKeepsTheListUntilTheNextOpen) {
  Write(MakePackage({RawFile("one", "1")}));
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  EXPECT_TRUE(Package().open);
  // A reader that stopped part-way leaves the package file open.
  Package().dataFile = OsOpenFile(path_, kOsOpenRead);
  ASSERT_NE(Package().dataFile, nullptr);
  EXPECT_TRUE(ClosePackage());
  EXPECT_FALSE(Package().open);
  EXPECT_EQ(Package().dataFile, nullptr);
  EXPECT_EQ(Package().entries.size(), 1u);
}

TEST_F(PackageTest, ResetForgetsEverything) {
  Write(MakePackage({RawFile("one", "1")}));
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  ResetPackageReader();
  EXPECT_FALSE(Package().open);
  EXPECT_TRUE(Package().entries.empty());
  EXPECT_TRUE(Package().fileName.empty());
}

// Offsets into a package made of one 5-byte file, stored at 0, and a raw
// directory; the trailer is the last 16 bytes.
struct Malformation {
  const char* why;
  void (*change)(std::vector<uint8_t>* bytes);
  PackageOpenResult expected;
};

size_t TrailerAt(const std::vector<uint8_t>& bytes) { return bytes.size() - 16; }

const Malformation kMalformations[] = {
    {"stored size larger than the file",
     [](std::vector<uint8_t>* b) { SetLE32(b, TrailerAt(*b) + 4, 0x10000); }, kPackageBadTrailer},
    {"stored size negative", [](std::vector<uint8_t>* b) { SetLE32(b, TrailerAt(*b) + 4, 0xFFFFFFF0); },
     kPackageBadTrailer},
    {"data start beyond the directory", [](std::vector<uint8_t>* b) { SetLE32(b, TrailerAt(*b) + 8, 20); },
     kPackageBadTrailer},
    {"data start negative", [](std::vector<uint8_t>* b) { SetLE32(b, TrailerAt(*b) + 8, 0x80000000); },
     kPackageBadTrailer},
    {"directory of two gigabytes claimed",
     [](std::vector<uint8_t>* b) { SetLE32(b, TrailerAt(*b), 0x7FFFFFF0); }, kPackageBadTrailer},
    {"compressed directory that does not expand",
     [](std::vector<uint8_t>* b) { SetLE32(b, TrailerAt(*b), 30); }, kPackageBadDirectory},
    {"directory ends in the middle of an entry",
     [](std::vector<uint8_t>* b) {
       // Shorten the directory by moving the trailer over its last 4 bytes.
       std::vector<uint8_t> trailer(b->end() - 16, b->end());
       b->resize(b->size() - 20);
       b->insert(b->end(), trailer.begin(), trailer.end());
       size_t t = TrailerAt(*b);
       uint32_t size = (*b)[t] | (*b)[t + 1] << 8;
       SetLE32(b, t, size - 4);
       SetLE32(b, t + 4, size - 4);
     },
     kPackageBadDirectory},
    {"entry count larger than the directory holds", [](std::vector<uint8_t>* b) { SetLE32(b, 5, 2); },
     kPackageBadDirectory},
    {"entry count huge", [](std::vector<uint8_t>* b) { SetLE32(b, 5, 0x7FFFFFFF); }, kPackageBadDirectory},
    {"name without its zero byte",
     [](std::vector<uint8_t>* b) {
       for (size_t i = 9; i < TrailerAt(*b); i++) (*b)[i] = 'x';
     },
     kPackageBadDirectory},
    {"file block runs into the directory",
     [](std::vector<uint8_t>* b) { SetLE32(b, 5 + 4 + 6 + 8, 6); }, kPackageDataOverrun},
    {"file with data but no block", [](std::vector<uint8_t>* b) { SetLE32(b, 5 + 4 + 6 + 8, 0); },
     kPackageBadEntry},
    {"file with a negative stored size",
     [](std::vector<uint8_t>* b) { SetLE32(b, 5 + 4 + 6 + 8, 0xFFFFFFFB); }, kPackageBadEntry},
    {"file shorter than the trailer", [](std::vector<uint8_t>* b) { b->erase(b->begin(), b->end() - 10); },
     kPackageNoMagic},
};

TEST_F(PackageTest, MalformedPackagesAreRefused) {
  // Layout: "hello" at 0, directory at 5: count, "a.txt\0", eight fields.
  const std::vector<uint8_t> good = MakePackage({RawFile("a.txt", "hello")});
  ASSERT_EQ(good[9], 'a');
  Write(good);
  ASSERT_TRUE(OpenPackage(path_, nullptr));
  for (const Malformation& m : kMalformations) {
    std::vector<uint8_t> bytes = good;
    m.change(&bytes);
    ExpectRefused(bytes, m.why);
    EXPECT_EQ(Package().lastResult, m.expected) << m.why << ": " << PackageOpenResultText(Package().lastResult);
    // A package that is there but damaged is a failed extraction; a file
    // with no package at all extracts to nothing, quietly.
    bool noPackage = m.expected == kPackageNoMagic;
    EXPECT_EQ(PackageIsDamaged(), !noPackage) << m.why;
    EXPECT_EQ(ExtractPackage(Native("out"), ""), noPackage) << m.why;
  }
}

TEST_F(PackageTest, StoredSizesMustNotPassTheDirectoryTogether) {
  // Each block alone fits; laid back to back they reach into the directory.
  std::vector<uint8_t> bytes = MakePackage({RawFile("a", "aaaa"), RawFile("b", "bbbb")});
  // Directory: count (4), "a\0" (2), kind, size, stored at 6+8.
  SetLE32(&bytes, 8 + 4 + 2 + 8, 8);
  ExpectRefused(bytes, "two blocks overlap the directory");
  EXPECT_EQ(Package().lastResult, kPackageDataOverrun);
}

TEST_F(PackageTest, RandomDamageNeverReadsOutsideTheFile) {
  // Run under the sanitizers this finds reads outside buffers; on its own
  // it checks that an accepted package always fits its file.
  unsigned seed = std::random_device()();
  std::printf("RandomDamageNeverReadsOutsideTheFile seed %u\n", seed);
  std::mt19937 random(seed);
  std::vector<TestEntry> entries = {Folder("d\\"), RawFile("d\\one.txt", "first file"),
                                    RawFile("two.bin", "JC not a block"), RawFile("empty", "")};
  const std::vector<uint8_t> good = MakePackedPackage(entries, 64);
  for (int round = 0; round < 400; round++) {
    std::vector<uint8_t> bytes = good;
    int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; i++) {
      size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: bytes[at] = static_cast<uint8_t>(random()); break;
        default: bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(at % 16)); break;
      }
    }
    Write(bytes);
    if (!OpenPackage(path_, nullptr)) {
      EXPECT_TRUE(Package().entries.empty()) << "seed " << seed << " round " << round;
      continue;
    }
    int64_t end = Package().dataStart;
    for (const PackageEntry& entry : Package().entries) {
      if (entry.kind == kEntryKindFile && entry.size > 0) end += entry.storedSize;
    }
    EXPECT_LE(end, static_cast<int64_t>(bytes.size()) - 16) << "seed " << seed << " round " << round;
  }
}

// Signed programs: the trailer is looked for before the certificate table.
struct SignedCase {
  const char* why;
  bool pe32plus;
  size_t padding;
  void (*change)(std::vector<uint8_t>* bytes, size_t directory);  // may be null
  PackageOpenResult expected;
};

const SignedCase kSignedCases[] = {
    {"PE32, table right after the trailer", false, 0, nullptr, kPackageOpened},
    {"PE32+, seven alignment zeros", true, 7, nullptr, kPackageOpened},
    {"PE32, three alignment zeros", false, 3, nullptr, kPackageOpened},
    {"eight zeros are more than alignment", true, 8, nullptr, kPackageNoMagic},
    {"non-zero padding", false, 4, [](std::vector<uint8_t>* b, size_t d) { (*b)[LoadLE32(b->data() + d) - 2] = 1; },
     kPackageNoMagic},
    {"not signed: empty security directory", false, 0,
     [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d, 0), SetLE32(b, d + 4, 0); }, kPackageNoMagic},
    {"table of size zero", true, 0, [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d + 4, 0); },
     kPackageBadSignature},
    {"table size past the end of the file", false, 0,
     [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d + 4, 25); }, kPackageBadSignature},
    {"table that stops before the end of the file", true, 0,
     [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d + 4, 23); }, kPackageBadSignature},
    {"table position plus size wraps around", false, 0,
     [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d, 0xFFFFFFF0), SetLE32(b, d + 4, 0x20); },
     kPackageBadSignature},
    {"table position beyond the file", true, 0, [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d, 0x7FFFFFF0); },
     kPackageBadSignature},
    {"table position inside the headers", false, 0, [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, d, 8); },
     kPackageBadSignature},
    {"only four data directories", false, 0,
     [](std::vector<uint8_t>* b, size_t) { SetLE32(b, kSignedOptionalAt + 92, 4); }, kPackageNoMagic},
    {"optional header too short for directory 4", true, 0,
     [](std::vector<uint8_t>* b, size_t) { (*b)[kSignedPeAt + 20] = 0x90; }, kPackageNoMagic},
    {"unknown optional header", false, 0, [](std::vector<uint8_t>* b, size_t) { (*b)[kSignedOptionalAt] = 0x07; },
     kPackageNoMagic},
    {"PE header beyond the file", true, 0, [](std::vector<uint8_t>* b, size_t) { SetLE32(b, 0x3C, 0xFFFFFFF0); },
     kPackageNoMagic},
    {"no \"PE\" signature", false, 0, [](std::vector<uint8_t>* b, size_t) { (*b)[kSignedPeAt] = 'X'; },
     kPackageNoMagic},
    {"signed trailer that points outside the file", true, 0,
     [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, LoadLE32(b->data() + d) - 12, 0x10000); },
     kPackageBadTrailer},
    // The certificate entries themselves.
    {"certificate of the wrong type", false, 0,
     [](std::vector<uint8_t>* b, size_t d) { (*b)[LoadLE32(b->data() + d) + 6] = 1; }, kPackageBadSignature},
    {"certificate that is no DER sequence", true, 0,
     [](std::vector<uint8_t>* b, size_t d) { (*b)[LoadLE32(b->data() + d) + 8] = 0x31; }, kPackageBadSignature},
    {"entry longer than its certificate by 8 bytes", false, 0,
     [](std::vector<uint8_t>* b, size_t d) { (*b)[LoadLE32(b->data() + d) + 9] -= 8; }, kPackageBadSignature},
    {"entry length beyond the table", true, 0,
     [](std::vector<uint8_t>* b, size_t d) { SetLE32(b, LoadLE32(b->data() + d), 25); }, kPackageBadSignature},
    {"entry ending in 5 alignment zeros", false, 0,
     [](std::vector<uint8_t>* b, size_t d) {
       (*b)[LoadLE32(b->data() + d) + 9] -= 5;
       for (size_t i = b->size() - 5; i < b->size(); i++) (*b)[i] = 0;
     },
     kPackageOpened},
    {"alignment bytes that are not zero", true, 0,
     [](std::vector<uint8_t>* b, size_t d) { (*b)[LoadLE32(b->data() + d) + 9] -= 5; }, kPackageBadSignature},
    {"a second certificate entry", false, 0,
     [](std::vector<uint8_t>* b, size_t d) {
       const uint8_t second[16] = {16, 0, 0, 0, 0, 2, 2, 0, 0x30, 6, 1, 2, 3, 4, 5, 6};
       b->insert(b->end(), second, second + 16);
       SetLE32(b, d + 4, LoadLE32(b->data() + d + 4) + 16);
     },
     kPackageOpened},
    // The signature leaves the table out of its digest: a whole package
    // appended inside the lengthened last entry keeps it valid, and must
    // not be read.
    {"package injected into the certificate table", true, 0,
     [](std::vector<uint8_t>* b, size_t d) {
       const size_t at = b->size();
       std::vector<uint8_t> injected = MakePackage({RawFile("evil.txt", "evil")}, at);
       b->insert(b->end(), injected.begin() + static_cast<long>(at), injected.end());
       const uint32_t table = LoadLE32(b->data() + d);
       SetLE32(b, table, LoadLE32(b->data() + table) + uint32_t(b->size() - at));
       SetLE32(b, d + 4, uint32_t(b->size() - table));
     },
     kPackageInCertificateTable},
};

TEST_F(PackageTest, SignedProgramsCarryThePackageBeforeTheCertificateTable) {
  const std::vector<uint8_t> package = MakePackage({RawFile("a.txt", "hello")}, kSignedPrefix);
  for (const SignedCase& c : kSignedCases) {
    SCOPED_TRACE(c.why);
    SignedLayout layout;
    layout.pe32plus = c.pe32plus;
    layout.padding = c.padding;
    std::vector<uint8_t> bytes = SignPackage(package, layout);
    if (c.change) c.change(&bytes, SecurityDirectoryAt(c.pe32plus));
    OpenSomethingFirst();
    Write(bytes);
    EXPECT_EQ(OpenPackage(path_, nullptr), c.expected == kPackageOpened);
    EXPECT_EQ(Package().lastResult, c.expected) << PackageOpenResultText(Package().lastResult);
    // A damaged table is a failed extraction; no package extracts nothing.
    EXPECT_EQ(PackageIsDamaged(), c.expected != kPackageOpened && c.expected != kPackageNoMagic);
    std::error_code ignored;
    std::filesystem::remove_all(Native("out"), ignored);
    EXPECT_EQ(ExtractPackage(Native("out"), ""), !PackageIsDamaged());
    ClosePackage();
    if (c.expected != kPackageOpened) {
      EXPECT_TRUE(Package().entries.empty());
      continue;
    }
    ASSERT_EQ(Package().entries.size(), 1u);
    EXPECT_EQ(Package().dataStart, int32_t(kSignedPrefix));
    EXPECT_EQ(Package().directoryPosition + Package().directoryStoredSize + 16, int64_t(package.size()));
    const std::vector<uint8_t> written = ReadBytes("out/a.txt");
    EXPECT_EQ(std::string(written.begin(), written.end()), "hello");
  }
}

// An unsigned program with a package appended opens as before, whatever its
// headers say: the security directory is read only when "Pack" is missing.
TEST_F(PackageTest, UnsignedProgramIgnoresTheSecurityDirectory) {
  SignedLayout layout;
  layout.tableSize = 0;
  std::vector<uint8_t> bytes = SignPackage(MakePackage({RawFile("a.txt", "hello")}, kSignedPrefix), layout);
  SetLE32(&bytes, SecurityDirectoryAt(false), 0x7FFFFFF0);
  Write(bytes);
  EXPECT_TRUE(OpenPackage(path_, nullptr));
  EXPECT_EQ(Package().entries.size(), 1u);
}

}  // namespace
