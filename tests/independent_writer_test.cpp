// Packages made the way another building tool might make them: a writer
// here, kept apart from the tool's own writer and compressor, lays down
// trailers, directories and blocks byte by byte, and the reader and the
// extraction must give back exactly the files, bytes and times put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "package/block.h"
#include "package/extract.h"
#include "package/package.h"
#include "platform/file.h"
#include "stream_builder.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

size_t MatchLength(const std::vector<uint8_t>& data, size_t at, size_t distance, size_t limit) {
  size_t n = 0;
  while (n < limit && at + n < data.size() && data[at + n] == data[at + n - distance]) n++;
  return n;
}

// A greedy packer that reaches for every code of the stream: repeat, short
// and long matches (long ones found through a table of 3-byte sequences),
// zero bytes, one-byte copies, raw runs, both literal widths, and index
// width changes along the way.
std::vector<uint8_t> PackBlock(const std::vector<uint8_t>& data, bool withChecksum, std::mt19937* random) {
  StreamBuilder s;
  s.Width8();
  std::map<uint32_t, size_t> seen;  // last position of each 3-byte sequence
  auto remember = [&](size_t at) {
    if (at + 3 <= data.size()) seen[uint32_t(data[at]) | data[at + 1] << 8 | data[at + 2] << 16] = at;
  };
  size_t at = 0;
  while (at < data.size()) {
    size_t start = at;
    size_t left = data.size() - at;
    uint32_t pick = (*random)() % 64;
    if (pick == 0) {
      s.IndexWidth(1 + int((*random)() % 31));
    } else if (pick == 1 && left >= 256) {
      size_t runs = std::min<size_t>(left / 256, 1 + (*random)() % 2);
      s.RawRuns(&data[at], runs);
      at += runs * 256;
      for (size_t i = start; i < at; i++) remember(i);
      continue;
    }
    size_t repeat = at >= s.lastOffset ? MatchLength(data, at, s.lastOffset, 1000) : 0;
    size_t distance = 0, length = 0;
    if (at + 3 <= data.size()) {
      auto it = seen.find(uint32_t(data[at]) | data[at + 1] << 8 | data[at + 2] << 16);
      if (it != seen.end()) {
        distance = at - it->second;
        length = MatchLength(data, at, distance, 5000);
      }
    }
    if (repeat >= 2 && repeat + 1 >= length) {
      s.Repeat(uint32_t(repeat));
      at += repeat;
    } else if (length >= 2 && distance <= 127 && length <= 5) {
      s.Short(uint32_t(distance), uint32_t(length));
      at += length;
    } else if (length >= 2 + BlockLengthBonus(uint32_t(distance)) &&
               uint64_t(distance >> s.indexWidth) < 0x7FFFFFF0u) {
      s.Long(uint32_t(distance), uint32_t(length - BlockLengthBonus(uint32_t(distance))));
      at += length;
    } else if (data[at] == 0) {
      s.ZeroByte();
      at++;
    } else {
      size_t near = 0;
      for (size_t d = 1; d <= 14 && d <= at && near == 0; d++) {
        if (data[at - d] == data[at]) near = d;
      }
      if (near != 0 && pick % 2 == 0) {
        s.CopyOne(uint32_t(near));
      } else {
        if (s.literalWidth == 7 && uint8_t(data[at] - s.literalBase) >= 128) s.Width8();
        if (s.literalWidth == 8 && pick >= 60) s.Width7(uint8_t(data[at] - (*random)() % 128));
        s.Literal(data[at]);
      }
      at++;
    }
    for (size_t i = start; i < at; i++) remember(i);
  }
  s.End();
  EXPECT_EQ(s.output, data) << "the builder's own account of its stream";
  return s.OutputBlock(withChecksum);
}

// Data of several kinds: text with repeats, zeros, noise, far repeats.
std::vector<uint8_t> SampleData(std::mt19937* random, size_t size) {
  static const char* const kWords[] = {"setup ", "install ", "folder ", "Zandor ", "\r\n", "program files "};
  std::vector<uint8_t> data;
  while (data.size() < size) {
    switch ((*random)() % 5) {
      case 0:
        for (const char* c = kWords[(*random)() % 6]; *c; c++) data.push_back(uint8_t(*c));
        break;
      case 1: data.insert(data.end(), (*random)() % 40, 0); break;
      case 2:
        for (uint32_t i = (*random)() % 300; i > 0; i--) data.push_back(uint8_t((*random)()));
        break;
      case 3:
        if (data.size() > 20) {
          size_t from = (*random)() % (data.size() - 10);
          size_t n = std::min<size_t>(data.size() - from, 10 + (*random)() % 200);
          std::vector<uint8_t> copy(data.begin() + long(from), data.begin() + long(from + n));
          data.insert(data.end(), copy.begin(), copy.end());
        }
        break;
      default: data.push_back(uint8_t('A' + (*random)() % 26)); break;
    }
  }
  data.resize(size);
  return data;
}

// What one entry is, and how the writer stores it.
enum Storage { kStoreRaw, kStorePacked, kStorePackedNoChecksum };

// A file's block is packed here from its content unless written by hand.
struct WriterEntry : TestEntry {
  std::vector<uint8_t> content;
  Storage storage = kStoreRaw;
};

struct WriterOptions {
  size_t prefix = 0;  // bytes before the data region
  bool packDirectory = false;
  bool directoryChecksum = true;
  size_t directoryPadding = 0;  // zero bytes after the last entry
};

std::vector<uint8_t> WritePackage(const std::vector<WriterEntry>& entries, const WriterOptions& options,
                                  std::mt19937* random) {
  std::vector<TestEntry> stored;
  for (WriterEntry e : entries) {
    if (e.kind == kEntryKindFile) {
      e.size = int32_t(e.content.size());
      if (e.block.empty() && !e.content.empty()) {
        e.block = e.storage == kStoreRaw ? e.content : PackBlock(e.content, e.storage == kStorePacked, random);
      }
      // Equal lengths would read as raw: such data is stored raw.
      if (e.block.size() == e.content.size()) e.block = e.content;
    }
    stored.push_back(e);
  }
  PackageLayout layout;
  layout.prefix = options.prefix;
  layout.directoryPadding = options.directoryPadding;
  if (options.packDirectory) {
    layout.packDirectory = [&](const std::vector<uint8_t>& directory) {
      return PackBlock(directory, options.directoryChecksum, random);
    };
  }
  return MakePackage(stored, layout);
}

uint32_t g_progressCalls = 0;
uint32_t g_progressCount = 0;
void CountProgress() {
  g_progressCalls++;
  g_progressCount += uint32_t(CurrentPackageEntry().size);
}

const uint64_t kTime1 = 0x01D2C3B4A5968778ull;
const uint64_t kTime2 = 0x01D9000011112222ull;

WriterEntry File(const std::string& name, const std::string& text, Storage storage, uint64_t created = kTime1,
                 uint64_t written = kTime2) {
  WriterEntry e;
  e.name = name;
  e.content.assign(text.begin(), text.end());
  e.storage = storage;
  e.creationTime = created;
  e.lastWriteTime = written;
  return e;
}

WriterEntry FileBytes(const std::string& name, const std::vector<uint8_t>& bytes, Storage storage) {
  WriterEntry e = File(name, "", storage, kTime2 + 77, kTime2 + 999999);
  e.content = bytes;
  return e;
}

// Folders and entries of other kinds: the size field is all they hold.
WriterEntry OtherKind(const std::string& name, int32_t kind, int32_t size) {
  WriterEntry e;
  e.name = name;
  e.kind = kind;
  e.size = size;
  e.creationTime = e.lastWriteTime = kTime1;
  return e;
}

WriterEntry FolderEntry(const std::string& name, int32_t size = 0) { return OtherKind(name, kEntryKindFolder, size); }

class IndependentWriterTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    g_progressCalls = 0;
    g_progressCount = 0;
    seed_ = std::random_device()();
    std::printf("IndependentWriterTest seed %u\n", seed_);
    random_.seed(seed_);
    package_ = Native("setup.pck");
    dest_ = Native("dest");
  }

  // Writes the package, opens and extracts it, and checks every file, its
  // bytes and times, the folders, the total size and the progress count.
  void Check(const std::vector<WriterEntry>& entries, const WriterOptions& options,
             const std::vector<std::string>& folders) {
    SCOPED_TRACE("seed " + std::to_string(seed_));
    WriteBytes(package_, WritePackage(entries, options, &random_));
    std::error_code ignored;
    fs::remove_all(dest_, ignored);
    g_progressCalls = 0;
    g_progressCount = 0;
    ASSERT_TRUE(OpenPackage(package_, CountProgress)) << PackageOpenResultText(Package().lastResult);
    ASSERT_EQ(Package().entries.size(), entries.size());
    uint32_t total = 0, fileTotal = 0, nonEmptyFiles = 0;
    for (const WriterEntry& e : entries) {
      total += e.kind == 1 ? uint32_t(e.content.size()) : uint32_t(e.size);
      if (e.kind == 1) fileTotal += uint32_t(e.content.size());
      if (e.kind == 1 && !e.content.empty()) nonEmptyFiles++;
    }
    EXPECT_EQ(PackageTotalSize(), total);
    EXPECT_TRUE(ExtractPackage(dest_, "")) << "nothing was left alone";
    ClosePackage();
    EXPECT_EQ(g_progressCount, fileTotal);
    EXPECT_EQ(g_progressCalls, nonEmptyFiles);

    std::vector<std::string> expected;
    for (const std::string& folder : folders) expected.push_back(folder);
    for (const WriterEntry& e : entries) {
      if (e.kind != 1) continue;
      std::string posix = e.name;
      std::replace(posix.begin(), posix.end(), '\\', '/');
      expected.push_back(posix);
      std::string path = dest_ + "/" + posix;
      std::vector<uint8_t> got = ReadBytes(path);
      EXPECT_TRUE(got == e.content) << e.name << ": " << got.size() << " bytes, " << e.content.size() << " packed";
      OsFindData data;
      OsFind find = OsFindFirst(path, &data, nullptr);
      ASSERT_NE(find, nullptr) << e.name;
      OsFindClose(find);
      EXPECT_EQ(data.creationTime, e.creationTime) << e.name;
      EXPECT_EQ(data.writeTime, e.lastWriteTime) << e.name;
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> found;
    if (fs::exists(dest_)) {
      for (const auto& item : fs::recursive_directory_iterator(dest_)) {
        found.push_back(item.path().lexically_relative(dest_).generic_string());
      }
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
  }

  unsigned seed_ = 0;
  std::mt19937 random_;
  std::string package_;
  std::string dest_;
};

TEST(IndependentWriter, PackerRoundTripsThroughExpandBlock) {
  unsigned seed = std::random_device()();
  std::printf("PackerRoundTripsThroughExpandBlock seed %u\n", seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 12; round++) {
    std::vector<uint8_t> data = SampleData(&random, 1 + random() % 90000);
    for (bool withChecksum : {true, false}) {
      Expansion e = ExpandGuarded(PackBlock(data, withChecksum, &random));
      ASSERT_EQ(e.result, data.size()) << "seed " << seed << " round " << round;
      EXPECT_EQ(e.First(data.size()), data) << "seed " << seed << " round " << round;
      EXPECT_TRUE(e.canariesIntact) << "seed " << seed << " round " << round;
    }
  }
}

TEST_F(IndependentWriterTest, StandAlonePackageWithRawDirectory) {
  std::vector<uint8_t> big = SampleData(&random_, 70000);
  Check({File("readme.txt", "Read me first.\r\nThen read me again: Read me first.\r\n", kStorePacked),
         File("raw.bin", "stored as it is", kStoreRaw), FileBytes("big.dat", big, kStorePackedNoChecksum),
         File("empty.txt", "", kStoreRaw)},
        WriterOptions(), {});
}

TEST_F(IndependentWriterTest, AppendedAfterAnExecutableImage) {
  WriterOptions options;
  options.prefix = 51200;
  options.packDirectory = true;
  Check({File("setup.ini", "[Settings]\r\nTitel=Demo\r\n[Settings]\r\n", kStorePacked),
         File("lang\\English.ini", "[Texts]\r\nNext=Next >\r\n", kStorePackedNoChecksum),
         FileBytes("setup.pck", SampleData(&random_, 5000), kStorePacked)},
        options, {"lang"});
}

TEST_F(IndependentWriterTest, EmptyDirectories) {
  for (bool pack : {false, true}) {
    WriterOptions options;
    options.packDirectory = pack;
    options.prefix = pack ? 1000 : 0;
    Check({}, options, {});
    EXPECT_FALSE(fs::exists(dest_)) << "no entry, no folder";
  }
}

TEST_F(IndependentWriterTest, FoldersWithAndWithoutBackslashAndNestedFiles) {
  // "docs\" creates docs; "plain" without its "\" creates only what lies
  // before it (the destination); "a\b" creates a but not b.
  WriterOptions options;
  options.packDirectory = true;
  options.directoryChecksum = false;
  Check({FolderEntry("docs\\", 4096), FolderEntry("plain"), FolderEntry("a\\b"),
         File("docs\\manual.txt", "manual manual manual manual", kStorePacked),
         File("bin\\x86\\tool.exe", "MZ tool tool tool tool tool", kStorePacked),
         File("bin\\x86\\empty.cfg", "", kStoreRaw, kTime2, kTime1), FolderEntry("deep\\er\\est\\")},
        options, {"a", "bin", "bin/x86", "deep", "deep/er", "deep/er/est", "docs"});
}

TEST_F(IndependentWriterTest, EntriesOfAnUnknownKindCarryNoBlock) {
  Check({File("first.txt", "first", kStoreRaw), OtherKind("registry-note", 2, 0), OtherKind("nothing", 77, 0),
         File("second.txt", "second second second second", kStorePacked)},
        WriterOptions(), {});
  // Their size fields still count in the total, and only there.
  Check({OtherKind("odd", 5, 1234), File("after.txt", "after", kStoreRaw)}, WriterOptions(), {});
}

TEST_F(IndependentWriterTest, RawDataThatLooksLikeABlock) {
  // A valid block stored with its stored size equal to its size is content.
  std::vector<uint8_t> block = LiteralBlock({'x', 'y', 'z'});
  Check({FileBytes("block.bin", block, kStoreRaw), File("JC.txt", "JC then text", kStoreRaw),
         File("JCJCJCJCJCJCJCJCJCJCJC", "JCJCJCJCJCJCJCJCJCJCJCJCJC", kStorePacked)},
        WriterOptions(), {});
}

TEST_F(IndependentWriterTest, HandWrittenBlocksOfEveryCode) {
  // One block per file, each code written by hand.
  std::vector<WriterEntry> entries;
  auto add = [&](const std::string& name, void (*codes)(StreamBuilder&), bool checksum) {
    StreamBuilder s;
    codes(s);
    s.End();
    WriterEntry e = FileBytes(name, s.output, checksum ? kStorePacked : kStorePackedNoChecksum);
    e.block = s.OutputBlock(checksum);
    entries.push_back(e);
  };
  add("literals7.txt",
      [](StreamBuilder& s) {
        s.Width7(0x20);
        for (char c : std::string("Hello, World")) s.Literal(uint8_t(c));
      },
      true);
  add("zeros.bin",
      [](StreamBuilder& s) {
        s.Width8();
        s.Literal(0xFF);
        for (int i = 0; i < 9; i++) s.ZeroByte();
        s.Short(1, 5);
      },
      false);
  add("copies.bin",
      [](StreamBuilder& s) {
        s.Width8();
        for (int i = 0; i < 14; i++) s.Literal(uint8_t('a' + i));
        for (uint32_t d = 1; d <= 14; d++) s.CopyOne(d);
        s.Repeat(3);
      },
      true);
  add("matches.bin",
      [](StreamBuilder& s) {
        s.Width8();
        for (int i = 0; i < 400; i++) s.Literal(uint8_t(i * 13));
        s.Long(150, 9);  // no bonus: 9 bytes
        s.Repeat(4);     // still 150
        s.Long(20, 3);   // +4: 7 bytes
        s.Short(100, 5);
        s.Repeat(2);  // the short match set 100
        s.IndexWidth(4);
        s.Long(300, 10);
        s.IndexWidth(17);
        s.Long(2, 36);  // +4: 40 bytes
        s.IndexWidth(31);
        s.Long(345, 3);
      },
      true);
  add("runs.bin",
      [](StreamBuilder& s) {
        std::vector<uint8_t> raw(768);
        for (size_t i = 0; i < raw.size(); i++) raw[i] = uint8_t(i * 97 + 3);
        s.RawRuns(raw.data(), 1);
        s.Width7(0x80);
        s.Literal(0x80);
        s.RawRuns(raw.data() + 256, 2);  // the literal width stays 7 after the run
        s.Literal(0xFF);
        s.Long(700, 11);  // +1: 12 bytes
      },
      false);
  Check(entries, WriterOptions(), {});
}

TEST_F(IndependentWriterTest, OverlappingChecksumWordSizes) {
  // Sizes 4 to 11 end with 0 to 3 bytes past the last whole word.
  std::vector<WriterEntry> entries;
  for (int size = 4; size <= 11; size++) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < size; i++) bytes.push_back(uint8_t(0xF0 + i * 3));
    entries.push_back(FileBytes("size" + std::to_string(size) + ".bin", bytes, kStorePacked));
  }
  Check(entries, WriterOptions(), {});
}

TEST_F(IndependentWriterTest, ManyFilesAtRandom) {
  std::vector<WriterEntry> entries;
  std::vector<std::string> folders = {"f0", "f1", "f1/g"};
  entries.push_back(FolderEntry("f0\\"));
  const char* const kFolders[] = {"", "f0\\", "f1\\", "f1\\g\\"};
  for (int i = 0; i < 40; i++) {
    std::string name = std::string(kFolders[random_() % 4]) + "file" + std::to_string(i) + ".dat";
    size_t size = random_() % 5 == 0 ? 0 : 1 + random_() % 20000;
    WriterEntry e = FileBytes(name, SampleData(&random_, size), Storage(random_() % 3));
    e.creationTime = kTime1 + random_();
    e.lastWriteTime = kTime2 + random_();
    entries.push_back(e);
  }
  // Sub-folders from file names; f0 also from its folder entry.
  std::vector<std::string> present;
  for (const WriterEntry& e : entries) {
    if (e.kind != 1) continue;
    if (e.name.compare(0, 3, "f0\\") == 0) present.push_back("f0");
    if (e.name.compare(0, 3, "f1\\") == 0) present.push_back("f1");
    if (e.name.compare(0, 5, "f1\\g\\") == 0) {
      present.push_back("f1");
      present.push_back("f1/g");
    }
  }
  present.push_back("f0");
  std::sort(present.begin(), present.end());
  present.erase(std::unique(present.begin(), present.end()), present.end());
  WriterOptions options;
  options.prefix = random_() % 3000;
  options.packDirectory = random_() % 2 == 0;
  Check(entries, options, present);
}

TEST_F(IndependentWriterTest, TinyFilesHighAnsiNamesAndAPaddedDirectory) {
  // Blocks of 1 to 3 bytes carry checksum 0; names are ANSI bytes above 7F.
  WriterOptions options;
  options.directoryPadding = 12;
  Check({File("a", "a", kStorePacked), File("bc", "bc", kStorePacked), File("def", "def", kStorePacked),
         File("\xDC" "bersicht\\Gr\xF6\xDF" "e.txt", "Gr\xF6\xDF" "e Gr\xF6\xDF" "e Gr\xF6\xDF" "e", kStorePacked)},
        options, {"\xDC" "bersicht"});
  options.packDirectory = true;
  Check({File("x.txt", "x", kStoreRaw)}, options, {});
}

TEST_F(IndependentWriterTest, NoCopyListOnAnIndependentPackage) {
  // A listed file that exists is left alone and costs the progress count
  // its size; a listed empty file that exists is left alone without that.
  std::vector<WriterEntry> entries = {File("keep.opt", "new settings new settings", kStorePacked),
                                      File("empty.opt", "", kStoreRaw), File("new.opt", "fresh", kStoreRaw),
                                      File("prog.exe", "program program program", kStorePacked)};
  WriteBytes(package_, WritePackage(entries, WriterOptions(), &random_));
  Write("dest/keep.opt", "old");
  Write("dest/empty.opt", "old empty");
  ASSERT_TRUE(OpenPackage(package_, CountProgress));
  EXPECT_FALSE(ExtractPackage(dest_, "opt|"));
  ClosePackage();
  EXPECT_EQ(g_progressCount, PackageTotalSize() - 25);
  EXPECT_EQ(g_progressCalls, 2u);
  EXPECT_EQ(Read("dest/keep.opt"), "old");
  EXPECT_EQ(fs::file_size(dest_ + "/empty.opt"), 9u);
  EXPECT_EQ(fs::file_size(dest_ + "/new.opt"), 5u);

  // Only the empty file is listed and present: nothing counted is missing.
  fs::remove(dest_ + "/keep.opt");
  fs::remove(dest_ + "/new.opt");
  g_progressCount = 0;
  ASSERT_TRUE(OpenPackage(package_, CountProgress));
  EXPECT_TRUE(ExtractPackage(dest_, "opt|"));
  EXPECT_EQ(g_progressCount, PackageTotalSize());
  EXPECT_EQ(fs::file_size(dest_ + "/empty.opt"), 9u);
}

}  // namespace
