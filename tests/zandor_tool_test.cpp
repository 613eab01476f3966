// The zandor builder tool: pack, list, verify and extract round trips,
// determinism, build onto a stub, and clear failures on bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lib/names.h"
#include "lib/package_writer.h"
#include "lib/parallel_pack.h"
#include "lib/source_tree.h"
#include "lib/zandor_commands.h"
#include "package/package.h"
#include "platform/file.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

class ZandorToolTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    unsetenv("SOURCE_DATE_EPOCH");
    root_ = dir_;
  }
  void TearDown() override {
    unsetenv("SOURCE_DATE_EPOCH");
    TempFolderTest::TearDown();
  }
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    ZandorContext context;
    context.selfPath = (root_ / "bin" / "zandor").string();
    context.out = &out_;
    context.err = &err_;
    return RunZandor(args, context);
  }
  std::string P(const std::string& relative) const { return Native(relative); }
  // A seeded tree with text, random bytes, an empty file, nested and empty
  // folders and a Latin-1 name.
  void MakeTree(const fs::path& top, unsigned seed) {
    std::mt19937 random(seed);
    Write(top / "readme.txt", "Read me, please.\r\n");
    std::vector<uint8_t> noise(70000);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(random() % 7);
    WriteBytes(top / "bin" / "data.bin", noise);
    WriteBytes(top / "bin" / "empty.dat", {});
    std::string text;
    for (int i = 0; i < 3000; i++) text += "line " + std::to_string(random() % 50) + "\n";
    Write(top / "docs" / "deep" / "notes.txt", text);
    Write(top / u8"docs" / u8"caf\u00e9 \u20ac.txt", "latin");
    fs::create_directories(top / "empty folder");
  }
  // A stub that zandor takes for its installer stub: a PE header for the
  // machine, the installer's manifest name and its inner package's name.
  static std::vector<uint8_t> StubBytes(size_t size, uint16_t machine = 0x014C) {
    std::vector<uint8_t> stub(std::max<size_t>(size, 0x200));
    for (size_t i = 0; i < stub.size(); i++) stub[i] = static_cast<uint8_t>(i * 7);
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[0x3C] = 0x80;
    stub[0x3D] = stub[0x3E] = stub[0x3F] = 0;
    const uint8_t pe[] = {'P', 'E', 0, 0, static_cast<uint8_t>(machine & 0xFF), static_cast<uint8_t>(machine >> 8)};
    std::copy(std::begin(pe), std::end(pe), stub.begin() + 0x80);
    const std::string marks = "name=\"Zandor.Install\" setup.pck";
    std::copy(marks.begin(), marks.end(), stub.begin() + 0x100);
    return stub;
  }
  fs::path root_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(ZandorToolTest, PackVerifyExtractRoundTrip) {
  unsigned seed = std::random_device()();
  std::printf("PackVerifyExtractRoundTrip seed %u\n", seed);
  MakeTree(root_ / "src", seed);
  ASSERT_EQ(Run({"pack", P("src"), "-o", P("out.pck")}), kZandorOk) << err_.str();
  ASSERT_EQ(Run({"verify", P("out.pck")}), kZandorOk) << err_.str();
  ASSERT_EQ(Run({"list", P("out.pck")}), kZandorOk) << err_.str();
  EXPECT_NE(out_.str().find(u8"docs\\caf\u00e9 \u20ac.txt"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("folder\t0\t0\t"), std::string::npos);
  ASSERT_EQ(Run({"extract", P("out.pck"), P("x")}), kZandorOk) << err_.str();
  int files = 0;
  for (const auto& item : fs::recursive_directory_iterator(root_ / "src")) {
    // The native installer writes the stored single-byte names.
    fs::path copy = root_ / "x";
    for (const fs::path& part : item.path().lexically_relative(root_ / "src")) {
      std::string ansi, why;
      ASSERT_TRUE(ToPackageComponent(part.u8string(), &ansi, &why));
      copy /= ansi;
    }
    ASSERT_TRUE(fs::exists(copy)) << copy;
    if (item.is_directory()) continue;
    files++;
    EXPECT_EQ(ReadBytes(item.path()), ReadBytes(copy)) << copy << " seed " << seed;
    auto source = fs::last_write_time(item.path()).time_since_epoch();
    auto extracted = fs::last_write_time(copy).time_since_epoch();
    // Stored times have a 100 ns grain.
    EXPECT_LT(std::abs(std::chrono::duration_cast<std::chrono::nanoseconds>(source - extracted).count()), 100)
        << copy;
  }
  EXPECT_EQ(files, 5);
  EXPECT_TRUE(fs::is_directory(root_ / "x" / "empty folder"));
}

TEST_F(ZandorToolTest, EntriesAreSortedWithFoldersFirstAndBackslashes) {
  Write(root_ / "src" / "b.txt", "b");
  Write(root_ / "src" / "a" / "z.txt", "z");
  Write(root_ / "src" / "a b.txt", "ab");
  ASSERT_EQ(Run({"pack", P("src"), "-o", P("out.pck")}), kZandorOk) << err_.str();
  ASSERT_TRUE(OpenPackage(P("out.pck"), nullptr));
  std::vector<std::string> names;
  for (const PackageEntry& entry : Package().entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a b.txt", "a\\", "a\\z.txt", "b.txt"}));
  EXPECT_EQ(Package().dataStart, 0);
  EXPECT_EQ(Package().entries[1].kind, kEntryKindFolder);
}

TEST_F(ZandorToolTest, PackingTwiceGivesIdenticalBytes) {
  MakeTree(root_ / "src", 7);
  for (const char* level : {"fast", "default", "best"}) {
    ASSERT_EQ(Run({"pack", P("src"), "-o", P("one.pck"), "--level", level}), kZandorOk) << err_.str();
    ASSERT_EQ(Run({"pack", "--level", level, P("src"), "-o", P("two.pck")}), kZandorOk) << err_.str();
    EXPECT_EQ(ReadBytes(root_ / "one.pck"), ReadBytes(root_ / "two.pck")) << level;
    EXPECT_EQ(Run({"verify", P("one.pck")}), kZandorOk) << level << err_.str();
  }
}

// Blocks are made on several threads but written in name order, so the
// package and the installer are the same bytes for any thread count.
TEST_F(ZandorToolTest, ThreadCountDoesNotChangeTheOutput) {
  MakeTree(root_ / "src", 11);
  std::mt19937 random(11);
  std::vector<uint8_t> noise(40000), code(300000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  for (size_t i = 0; i < code.size(); i++) code[i] = static_cast<uint8_t>(i % 251 < 40 ? random() : i * 13);
  WriteBytes(root_ / "src" / "noise.bin", noise);  // stored raw
  WriteBytes(root_ / "src" / "lib" / "big.dll", code);
  // Above the piece threshold: its pieces go to several threads. Copies of
  // one stretch with a changed byte now and then, so that every level
  // packs it quickly.
  std::vector<uint8_t> huge(kPieceThreshold + kPieceSize / 3);
  for (size_t i = 0; i < huge.size(); i++)
    huge[i] = i < 65536 ? static_cast<uint8_t>(random()) : random() % 997 == 0 ? 7 : huge[i - 65536];
  WriteBytes(root_ / "src" / "lib" / "huge.dll", huge);
  for (int i = 0; i < 30; i++) Write(root_ / "src" / "many" / ("f" + std::to_string(i) + ".txt"), std::string(i * 97, 'a' + i % 26));
  for (const char* level : {"fast", "default", "best"}) {
    ASSERT_EQ(Run({"pack", P("src"), "-o", P("one.pck"), "--level", level, "--threads", "1"}), kZandorOk) << err_.str();
    std::vector<uint8_t> serial = ReadBytes(root_ / "one.pck");
    for (const char* threads : {"2", "5"}) {
      ASSERT_EQ(Run({"pack", P("src"), "-o", P("n.pck"), "--level", level, "--threads", threads}), kZandorOk);
      EXPECT_EQ(ReadBytes(root_ / "n.pck"), serial) << level << " on " << threads << " threads";
    }
    ASSERT_EQ(Run({"pack", P("src"), "-o", P("n.pck"), "--level", level}), kZandorOk);
    EXPECT_EQ(ReadBytes(root_ / "n.pck"), serial) << level << " on every core";
  }
  ASSERT_EQ(Run({"verify", P("n.pck")}), kZandorOk) << err_.str();
  // The installer: the program packed in memory, then the setup files.
  WriteBytes(root_ / "stub.exe", StubBytes(0x200));
  Write(root_ / "setup" / "setup.ini", "[Settings]\r\n");
  ASSERT_EQ(Run({"build", P("setup"), "-o", P("one.exe"), "--program", P("src"), "--stub", P("stub.exe"),
                 "--threads", "1", "--no-check"}),
            kZandorOk);
  ASSERT_EQ(Run({"build", P("setup"), "-o", P("n.exe"), "--program", P("src"), "--stub", P("stub.exe"),
                 "--threads", "3", "--no-check"}),
            kZandorOk);
  EXPECT_EQ(ReadBytes(root_ / "n.exe"), ReadBytes(root_ / "one.exe"));
}

TEST_F(ZandorToolTest, CompressibleFilesAreCompressedAndTheRestStoredChecked) {
  // Noise goes into a stored block, a little larger than the bytes, so one
  // flipped byte in it is found by verify and refused by extract.
  Write(root_ / "src" / "text.txt", std::string(20000, 'a'));
  std::vector<uint8_t> noise(5000);
  std::mt19937 random(1);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  WriteBytes(root_ / "src" / "noise.bin", noise);
  ASSERT_EQ(Run({"pack", P("src"), "-o", P("out.pck")}), kZandorOk) << err_.str();
  ASSERT_TRUE(OpenPackage(P("out.pck"), nullptr));
  ASSERT_EQ(Package().entries.size(), 2u);
  const PackageEntry noiseEntry = Package().entries[0];
  EXPECT_EQ(noiseEntry.name, "noise.bin");
  EXPECT_GT(noiseEntry.storedSize, 5000);
  EXPECT_LE(noiseEntry.storedSize, 5000 + 14 + 3 + 9 * 136 / 8);  // 19 runs, 136 bytes as literals
  EXPECT_LT(Package().entries[1].storedSize, 1000);
  ClosePackage();
  out_.str("");
  EXPECT_EQ(Run({"verify", P("out.pck")}), kZandorOk) << err_.str();
  EXPECT_NE(out_.str().find("all blocks and checksums good"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"extract", P("out.pck"), P("good")}), kZandorOk) << err_.str();
  EXPECT_EQ(ReadBytes(root_ / "good" / "noise.bin"), noise);

  for (size_t at : {size_t(12), size_t(2000), size_t(noiseEntry.storedSize - 40)}) {
    SCOPED_TRACE(at);
    std::vector<uint8_t> bytes = ReadBytes(root_ / "out.pck");
    bytes[size_t(noiseEntry.offset) + at] ^= 0x01;
    WriteBytes(root_ / "bad.pck", bytes);
    EXPECT_EQ(Run({"verify", P("bad.pck")}), kZandorFailed);
    EXPECT_NE(err_.str().find("\"noise.bin\": the block does not expand or fails its checksum"), std::string::npos);
    fs::remove_all(root_ / "x");
    EXPECT_EQ(Run({"extract", P("bad.pck"), P("x")}), kZandorFailed);
    EXPECT_FALSE(fs::exists(root_ / "x" / "noise.bin"));
  }
}

TEST_F(ZandorToolTest, SourceDateEpochClampsTimes) {
  Write(root_ / "src" / "a.txt", "a");
  setenv("SOURCE_DATE_EPOCH", "1000000000", 1);
  ASSERT_EQ(Run({"pack", P("src"), "-o", P("out.pck")}), kZandorOk) << err_.str();
  ASSERT_TRUE(OpenPackage(P("out.pck"), nullptr));
  EXPECT_EQ(Package().entries[0].lastWriteTime, UnixToFileTime(1000000000, 0));
  EXPECT_EQ(Package().entries[0].creationTime, UnixToFileTime(1000000000, 0));
}

TEST_F(ZandorToolTest, VerifyNamesTheDamagedEntry) {
  Write(root_ / "src" / "good.txt", "good");
  Write(root_ / "src" / "zzz.txt", std::string(5000, 'z'));
  ASSERT_EQ(Run({"pack", P("src"), "-o", P("out.pck")}), kZandorOk) << err_.str();
  ASSERT_TRUE(OpenPackage(P("out.pck"), nullptr));
  const size_t zzz = size_t(Package().entries[1].offset);
  ClosePackage();
  std::vector<uint8_t> bytes = ReadBytes(root_ / "out.pck");
  bytes[zzz + 12] ^= 0x40;  // inside zzz.txt's stream, after its 10-byte header
  WriteBytes(root_ / "bad.pck", bytes);
  EXPECT_EQ(Run({"verify", P("bad.pck")}), kZandorFailed);
  EXPECT_NE(err_.str().find("entry 2 \"zzz.txt\": the block does not expand or fails its checksum"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(Run({"extract", P("bad.pck"), P("x")}), kZandorFailed);
  EXPECT_FALSE(fs::exists(root_ / "x" / "zzz.txt"));
  EXPECT_TRUE(fs::exists(root_ / "x" / "good.txt"));
  bytes[zzz + 12] ^= 0x40;
  bytes[zzz + 2] ^= 1;  // zzz.txt's header names another size
  WriteBytes(root_ / "bad.pck", bytes);
  EXPECT_EQ(Run({"verify", P("bad.pck")}), kZandorFailed);
  EXPECT_NE(err_.str().find("entry 2 \"zzz.txt\": the block is not a compressed block of the entry's size"),
            std::string::npos)
      << err_.str();
  Write(root_ / "plain.txt", "no package here");
  EXPECT_EQ(Run({"verify", P("plain.txt")}), kZandorFailed);
  EXPECT_NE(err_.str().find("Pack"), std::string::npos) << err_.str();
}

TEST_F(ZandorToolTest, BuildAppendsToTheStub) {
  std::vector<uint8_t> stub = StubBytes(3000);
  WriteBytes(root_ / "stub.exe", stub);
  Write(root_ / "setup" / "setup.ini", "[Settings]\r\nTitel=Demo\r\n");
  Write(root_ / "setup" / "English.lng", "[Texts]\r\n");
  Write(root_ / "setup" / "setup.pck", "stale, replaced by --program");
  MakeTree(root_ / "program", 3);
  ASSERT_EQ(Run({"build", P("setup"), "-o", P("Install.exe"), "--program", P("program"), "--stub", P("stub.exe"),
                 "--no-check"}),
            kZandorOk)
      << err_.str();
  std::vector<uint8_t> built = ReadBytes(root_ / "Install.exe");
  ASSERT_GT(built.size(), stub.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), built.begin()));
  ASSERT_TRUE(OpenPackage(P("Install.exe"), nullptr));
  EXPECT_EQ(Package().dataStart, 3000);
  std::vector<std::string> names;
  for (const PackageEntry& entry : Package().entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"English.lng", "setup.ini", "setup.pck"}));
  EXPECT_EQ(Run({"verify", P("Install.exe")}), kZandorOk) << err_.str();
  ASSERT_EQ(Run({"extract", P("Install.exe"), P("work")}), kZandorOk) << err_.str();
  ASSERT_EQ(Run({"extract", P("work/setup.pck"), P("installed")}), kZandorOk) << err_.str();
  EXPECT_EQ(ReadBytes(root_ / "installed" / "bin" / "data.bin"), ReadBytes(root_ / "program" / "bin" / "data.bin"));
  // Building twice gives the same installer.
  ASSERT_EQ(Run({"build", P("setup"), "-o", P("Again.exe"), "--program", P("program"), "--stub", P("stub.exe"),
                 "--no-check"}),
            kZandorOk);
  EXPECT_EQ(ReadBytes(root_ / "Again.exe"), built);
  // A stub that already carries a package is refused.
  EXPECT_EQ(Run({"build", P("setup"), "-o", P("Twice.exe"), "--stub", P("Install.exe"), "--no-check"}),
            kZandorFailed);
  EXPECT_NE(err_.str().find("already carries a package"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(root_ / "Twice.exe"));
}

// --solid: the program files go raw into setup.pck, folders first and
// then the files by extension and name, and the installer compresses
// setup.pck as one checked block; every file still lands under its own
// name, and the bytes do not depend on the thread count.
TEST_F(ZandorToolTest, SolidBuildStoresTheProgramRawInOneBlock) {
  MakeTree(root_ / "program", 5);
  Write(root_ / "program" / "b.DLL", std::string(5000, 'x'));
  Write(root_ / "program" / "a" / "c.dll", std::string(4000, 'y'));
  Write(root_ / "program" / "a" / "z.txt", "zzzz zzzz zzzz");
  WriteBytes(root_ / "stub.exe", StubBytes(0x400));
  Write(root_ / "setup" / "setup.ini", "[Settings]\r\n");
  WriteBytes(root_ / "Uninstall.exe", std::vector<uint8_t>(3000, 0x90));
  auto build = [&](const char* output, const char* threads) {
    return Run({"build", P("setup"), "-o", P(output), "--program", P("program"), "--stub", P("stub.exe"),
                "--uninstaller", P("Uninstall.exe"), "--threads", threads, "--no-check", "--solid"});
  };
  ASSERT_EQ(build("one.exe", "1"), kZandorOk) << err_.str();
  ASSERT_EQ(build("n.exe", "3"), kZandorOk) << err_.str();
  EXPECT_EQ(ReadBytes(root_ / "n.exe"), ReadBytes(root_ / "one.exe"));
  ASSERT_EQ(Run({"verify", P("one.exe")}), kZandorOk) << err_.str();
  EXPECT_NE(out_.str().find("all blocks and checksums good"), std::string::npos) << out_.str();
  ASSERT_EQ(Run({"extract", P("one.exe"), P("work")}), kZandorOk) << err_.str();
  ASSERT_TRUE(OpenPackage(P("one.exe"), nullptr));
  const PackageEntry outer = Package().entries.back();
  EXPECT_EQ(outer.name, "setup.pck");
  EXPECT_LT(outer.storedSize, outer.size / 2);
  ASSERT_TRUE(OpenPackage(P("work/setup.pck"), nullptr));
  std::vector<std::string> names;
  for (const PackageEntry& entry : Package().entries) {
    names.push_back(entry.name);
    if (entry.kind == kEntryKindFile) {
      EXPECT_EQ(entry.storedSize, entry.size) << entry.name;
    }
  }
  ClosePackage();
  EXPECT_EQ(names, (std::vector<std::string>{"a\\", "bin\\", "docs\\", "docs\\deep\\", "empty folder\\",
                                             "bin\\data.bin", "bin\\empty.dat", "uninstall.dat", "a\\c.dll",
                                             "b.DLL", "Uninstall.exe", "a\\z.txt", "docs\\caf\xe9 \x80.txt",
                                             "docs\\deep\\notes.txt", "readme.txt"}));
  // Each file lands where the per-file installer puts it.
  ASSERT_EQ(Run({"extract", P("work/setup.pck"), P("installed")}), kZandorOk) << err_.str();
  EXPECT_EQ(ReadBytes(root_ / "installed" / "a" / "c.dll"), ReadBytes(root_ / "program" / "a" / "c.dll"));
  EXPECT_EQ(ReadBytes(root_ / "installed" / "docs" / "deep" / "notes.txt"),
            ReadBytes(root_ / "program" / "docs" / "deep" / "notes.txt"));
  EXPECT_EQ(ReadBytes(root_ / "installed" / "Uninstall.exe"), ReadBytes(root_ / "Uninstall.exe"));
  // The same package from pack --solid, told apart by verify.
  ASSERT_EQ(Run({"pack", P("program"), "-o", P("solid.pck"), "--solid"}), kZandorOk) << err_.str();
  ASSERT_EQ(Run({"verify", P("solid.pck")}), kZandorOk) << err_.str();
  EXPECT_NE(out_.str().find("stored raw for a solid installer"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"list", P("solid.pck"), "--solid"}), kZandorUsage);
}

// Past the limit a solid package may hold, the build says so and packs per
// file.
TEST_F(ZandorToolTest, SolidFallsBackToPerFilePastItsLimit) {
  fs::create_directories(root_ / "program");
  {
    std::ofstream big(root_ / "program" / "big.bin", std::ios::binary);
    big.seekp(kMaxSolidBytes);
    big.put('x');
  }
  ASSERT_EQ(Run({"pack", P("program"), "-o", P("big.pck"), "--solid", "--level", "fast"}), kZandorOk) << err_.str();
  EXPECT_NE(err_.str().find("packing them per file"), std::string::npos) << err_.str();
  ASSERT_TRUE(OpenPackage(P("big.pck"), nullptr));
  EXPECT_LT(Package().entries[0].storedSize, Package().entries[0].size / 100);
  ClosePackage();
}

// The program files get the uninstaller and a prepared uninstall.dat that
// lists them, unless the author ships either.
TEST_F(ZandorToolTest, BuildAddsTheUninstallerAndItsRecord) {
  WriteBytes(root_ / "stub.exe", StubBytes(0x200));
  Write(root_ / "Uninstall.exe", "MZ uninstaller");
  Write(root_ / "setup" / "setup.ini",
        "[Info]\r\nTitel=Viewer\r\nVersion=2.1\r\n[Task]\r\nMutexString=ViewerRuns\r\n");
  Write(root_ / "program" / "View.exe", "view");
  Write(root_ / "program" / "docs" / "deep" / "a.txt", "a");
  std::string buildErr;
  auto build = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"build", P("setup"), "-o", P("Install.exe"), "--program", P("program"),
                                     "--stub", P("stub.exe"), "--no-check"};
    args.insert(args.end(), extra.begin(), extra.end());
    fs::remove_all(root_ / "work");
    fs::remove_all(root_ / "installed");
    if (Run(args) != kZandorOk) return std::vector<std::string>{"failed: " + err_.str()};
    buildErr = err_.str();
    Run({"extract", P("Install.exe"), P("work")});
    Run({"extract", P("work/setup.pck"), P("installed")});
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root_ / "installed")) {
      names.push_back(entry.path().lexically_relative(root_ / "installed").generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(build({"--uninstaller", P("Uninstall.exe")}),
            (std::vector<std::string>{"Uninstall.exe", "View.exe", "docs", "docs/deep", "docs/deep/a.txt",
                                      "uninstall.dat"}));
  EXPECT_EQ(Read(root_ / "installed" / "Uninstall.exe"), "MZ uninstaller");
  EXPECT_EQ(Read(root_ / "installed" / "uninstall.dat"),
            "[Settings]\r\nProgName = Viewer\r\nVersion = 2.1\r\nMutexString = ViewerRuns\r\n"
            "[Files]\r\nF0001 = Uninstall.exe\r\nF0002 = View.exe\r\nF0003 = docs\\deep\\a.txt\r\n"
            "[Dirs]\r\nD0001 = docs\\\r\nD0002 = docs\\deep\\\r\n");
  // Without --uninstaller the one beside zandor is taken; there is none
  // here, so only the record goes in, and a note says so.
  EXPECT_EQ(build({}), (std::vector<std::string>{"View.exe", "docs", "docs/deep", "docs/deep/a.txt",
                                                 "uninstall.dat"}));
  EXPECT_NE(buildErr.find("--uninstaller"), std::string::npos) << buildErr;
  EXPECT_EQ(build({"--uninstaller", P("none.exe")}).front().substr(0, 7), "failed:");
  // The author's own files are packed as they are.
  Write(root_ / "program" / "uninstall.dat", "[Settings]\r\nNoDelAll = 1\r\n");
  Write(root_ / "program" / "uninstall.exe", "author's");
  EXPECT_EQ(build({"--uninstaller", P("Uninstall.exe")}),
            (std::vector<std::string>{"View.exe", "docs", "docs/deep", "docs/deep/a.txt", "uninstall.dat",
                                      "uninstall.exe"}));
  EXPECT_EQ(Read(root_ / "installed" / "uninstall.dat"), "[Settings]\r\nNoDelAll = 1\r\n");
}

// A build whose program files could not be installed or removed stops:
// program files without Uninstall.exe (unless --no-uninstaller or
// NoUninstall=1 says so), and a given setup.pck that zandor verify refuses.
// --no-check builds either, for tests of how setup copes.
TEST_F(ZandorToolTest, BuildRefusesProgramFilesThatCannotBeInstalledOrRemoved) {
  WriteBytes(root_ / "stub.exe", StubBytes(0x200));
  Write(root_ / "Uninstall.exe", "MZ uninstaller");
  const std::string ini =
      "[Info]\r\nTitel=Viewer\r\nGUID={0D1E2F30-1111-4222-8333-444455556666}\r\n[Settings]\r\nProgExe=View.exe\r\n"
      "DefaultDir=%ProgramFiles%Viewer\r\n";
  Write(root_ / "setup" / "setup.ini", ini);
  Write(root_ / "program" / "View.exe", std::string(3000, 'v'));
  auto build = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"build", P("setup"), "-o", P("Install.exe"), "--stub", P("stub.exe")};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  };
  EXPECT_EQ(build({"--program", P("program")}), kZandorFailed);
  EXPECT_NE(err_.str().find("--no-uninstaller"), std::string::npos) << err_.str();
  EXPECT_EQ(build({"--program", P("program"), "--no-uninstaller"}), kZandorOk) << err_.str();
  EXPECT_EQ(build({"--program", P("program"), "--uninstaller", P("Uninstall.exe")}), kZandorOk) << err_.str();
  Write(root_ / "setup" / "setup.ini", ini + "[Task]\r\nNoUninstall=1\r\n");
  EXPECT_EQ(build({"--program", P("program")}), kZandorOk) << err_.str();
  Write(root_ / "setup" / "setup.ini", ini);
  // A setup.pck taken as it is carries the uninstaller and passes verify.
  ASSERT_EQ(Run({"pack", P("program"), "-o", P("setup/setup.pck")}), kZandorOk) << err_.str();
  EXPECT_EQ(build({}), kZandorFailed);
  EXPECT_NE(err_.str().find("setup.pck: its program files carry no Uninstall.exe"), std::string::npos) << err_.str();
  EXPECT_EQ(build({"--no-uninstaller"}), kZandorOk) << err_.str();
  Write(root_ / "program" / "Uninstall.exe", "MZ uninstaller");
  ASSERT_EQ(Run({"pack", P("program"), "-o", P("setup/setup.pck")}), kZandorOk) << err_.str();
  EXPECT_EQ(build({}), kZandorOk) << err_.str();
  std::vector<uint8_t> bytes = ReadBytes(root_ / "setup" / "setup.pck");
  bytes[40] ^= 0x10;  // inside the first block
  WriteBytes(root_ / "setup" / "setup.pck", bytes);
  EXPECT_EQ(build({}), kZandorFailed);
  EXPECT_NE(err_.str().find("zandor verify refuses it"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(root_ / "Install.exe.tmp"));
  EXPECT_EQ(build({"--no-check"}), kZandorOk) << err_.str();
}

TEST_F(ZandorToolTest, BuildTakesSetupPckAsItIsWithoutProgram) {
  Write(root_ / "setup" / "setup.ini", "[Settings]\r\n");
  Write(root_ / "setup" / "setup.pck", "taken as it is");
  WriteBytes(root_ / "bin" / "Install.exe", StubBytes(0x200));
  ASSERT_EQ(Run({"build", P("setup"), "-o", P("Install.exe"), "--no-check"}), kZandorOk) << err_.str();
  ASSERT_TRUE(OpenPackage(P("Install.exe"), nullptr));
  EXPECT_EQ(Package().dataStart, 0x200);
  ASSERT_EQ(Run({"extract", P("Install.exe"), P("work")}), kZandorOk) << err_.str();
  EXPECT_EQ(ReadBytes(root_ / "work" / "setup.pck"), ReadBytes(root_ / "setup" / "setup.pck"));
}

// A build names the stub it took and the Windows it is for, read from the
// stub's PE header: the shipped 32-bit one beside the tool by default.
TEST_F(ZandorToolTest, BuildNamesTheStubItTook) {
  // Only our installer stub is taken; any other program would run without
  // reading the package appended to it.
  struct Case {
    const char* why;
    std::vector<uint8_t> stub;
    bool taken;
    const char* kind;
  } cases[] = {
      {"i386 stub", StubBytes(0x200, 0x014C), true, "(32-bit Windows)"},
      {"x86_64 stub", StubBytes(0x200, 0x8664), true, "(64-bit Windows)"},
      {"ARM stub", StubBytes(0x200, 0x01C4), true, "(unknown Windows machine)"},
      {"a text file", std::vector<uint8_t>(300, 'x'), false, "(not a Windows program)"},
      {"another Windows program", StubBytes(0x200), false, "(32-bit Windows)"},
  };
  cases[4].stub[0x100] = 'N';  // no manifest of ours
  Write(root_ / "setup" / "setup.ini", "[Settings]\r\n");
  Write(root_ / "setup" / "setup.pck", "x");
  for (const Case& c : cases) {
    WriteBytes(root_ / "bin" / "Install.exe", c.stub);
    int code = Run({"build", P("setup"), "-o", P("Default.exe"), "--no-check"});
    if (c.taken) {
      ASSERT_EQ(code, kZandorOk) << c.why << err_.str();
      EXPECT_EQ(out_.str(), "zandor: stub " + P("bin/Install.exe") + " " + c.kind + "\n") << c.why;
      EXPECT_EQ(Run({"verify", P("Default.exe")}), kZandorOk) << c.why;
      EXPECT_NE(out_.str().find(": an installer "), std::string::npos) << c.why << out_.str();
    } else {
      EXPECT_EQ(code, kZandorFailed) << c.why;
      EXPECT_NE(err_.str().find(std::string("is not a Zandor installer stub ") + c.kind), std::string::npos)
          << c.why << err_.str();
    }
  }
  // verify tells a bare package from an installer.
  ASSERT_EQ(Run({"verify", P("setup/setup.pck")}), kZandorFailed);
  Write(root_ / "p" / "a.txt", "a");
  ASSERT_EQ(Run({"pack", P("p"), "-o", P("p.pck")}), kZandorOk);
  ASSERT_EQ(Run({"verify", P("p.pck")}), kZandorOk);
  EXPECT_NE(out_.str().find("a package only, not an installer"), std::string::npos) << out_.str();
}

TEST_F(ZandorToolTest, BuildWithoutStubSaysToPassOne) {
  Write(root_ / "setup" / "setup.ini", "[Settings]\r\n");
  Write(root_ / "setup" / "setup.pck", "x");
  EXPECT_EQ(Run({"build", P("setup"), "-o", P("Install.exe"), "--no-check"}), kZandorFailed);
  EXPECT_NE(err_.str().find("--stub"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(root_ / "Install.exe"));
}

struct BadInput {
  const char* why;
  std::vector<std::string> args;  // "@" is replaced by the test folder
  int exitCode;
  const char* message;
};

TEST_F(ZandorToolTest, BadInputFailsClearly) {
  Write(root_ / "src" / "a.txt", "a");
  Write(root_ / "setup" / "readme.txt", "no setup.ini");
  Write(root_ / "stub.exe", "MZ");
  Write(root_ / "good" / "setup.ini", "[Settings]\r\n");
  Write(root_ / "good" / "setup.pck", "x");
  const BadInput cases[] = {
      {"no command", {}, kZandorUsage, "no command"},
      {"unknown command", {"frobnicate"}, kZandorUsage, "unknown command"},
      {"unknown option", {"pack", "@/src", "-o", "@/o.pck", "--fast"}, kZandorUsage, "unknown option"},
      {"unknown level", {"pack", "@/src", "-o", "@/o.pck", "--level", "max"}, kZandorUsage, "unknown level"},
      {"no threads", {"pack", "@/src", "-o", "@/o.pck", "--threads", "0"}, kZandorUsage, "--threads takes"},
      {"threads not a number", {"pack", "@/src", "-o", "@/o.pck", "--threads", "2x"}, kZandorUsage, "--threads takes"},
      {"too many threads", {"pack", "@/src", "-o", "@/o.pck", "--threads", "257"}, kZandorUsage, "--threads takes"},
      {"--threads without value", {"pack", "@/src", "-o", "@/o.pck", "--threads"}, kZandorUsage, "needs a value"},
      {"missing -o", {"pack", "@/src"}, kZandorUsage, "-o"},
      {"-o without value", {"pack", "@/src", "-o"}, kZandorUsage, "needs a value"},
      {"missing folder", {"pack", "@/nothing", "-o", "@/o.pck"}, kZandorFailed, "no such folder"},
      {"list of a missing file", {"list", "@/nothing.pck"}, kZandorFailed, "nothing.pck"},
      {"extract without folder", {"extract", "@/o.pck"}, kZandorUsage, "extract"},
      {"build without setup.ini",
       {"build", "@/setup", "-o", "@/o.exe", "--stub", "@/stub.exe", "--program", "@/src"},
       kZandorFailed,
       "setup.ini"},
      {"build with a missing stub", {"build", "@/good", "-o", "@/o.exe", "--stub", "@/none.exe", "--no-check"},
       kZandorFailed,
       "none.exe"},
  };
  for (const BadInput& c : cases) {
    std::vector<std::string> args;
    for (std::string arg : c.args) {
      if (arg[0] == '@') arg = root_.string() + arg.substr(1);
      args.push_back(arg);
    }
    EXPECT_EQ(Run(args), c.exitCode) << c.why;
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << c.why << ": " << err_.str();
    EXPECT_FALSE(fs::exists(root_ / "o.pck")) << c.why;
    EXPECT_FALSE(fs::exists(root_ / "o.exe")) << c.why;
  }
}

TEST_F(ZandorToolTest, NamesThatCannotBeStoredAreRefused) {
  const char* const names[] = {u8"\u65e5\u672c.txt", "a<b", "a>b", "what?", "star*", "pipe|", "quote\"",
                               "trailing.", "trailing ", "con.txt", "LPT1", "tab\tname", "back\\slash",
                               "colon:"};
  for (const char* name : names) {
    std::error_code ignored;
    fs::remove_all(root_ / "src", ignored);
    Write(root_ / "src" / "ok.txt", "ok");
    std::ofstream(root_ / "src" / name) << "bad";  // not Write, which makes a backslash a folder
    EXPECT_EQ(Run({"pack", P("src"), "-o", P("o.pck")}), kZandorFailed) << name;
    EXPECT_NE(err_.str().find("cannot be stored"), std::string::npos) << name << ": " << err_.str();
    EXPECT_FALSE(fs::exists(root_ / "o.pck")) << name;
  }
  // Names that differ only in case would be one file on Windows.
  std::error_code ignored;
  fs::remove_all(root_ / "src", ignored);
  Write(root_ / "src" / "Readme.txt", "1");
  Write(root_ / "src" / "README.TXT", "2");
  EXPECT_EQ(Run({"pack", P("src"), "-o", P("o.pck")}), kZandorFailed);
  EXPECT_NE(err_.str().find("one file on Windows"), std::string::npos) << err_.str();
}

TEST_F(ZandorToolTest, FailureKeepsThePreviousOutput) {
  Write(root_ / "out.pck", "previous");
  EXPECT_EQ(Run({"pack", P("missing"), "-o", P("out.pck")}), kZandorFailed);
  Write(root_ / "src" / "bad?", "x");
  EXPECT_EQ(Run({"pack", P("src"), "-o", P("out.pck")}), kZandorFailed);
  EXPECT_EQ(ReadBytes(root_ / "out.pck"), std::vector<uint8_t>({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 2);
}

// PackInOrder against the serial path: the same blocks handed back in item
// order, the read-ahead bound kept, and a failing read or write stopping it.
TEST(ParallelPack, BlocksInOrderWithinTheBoundAndStopsAtAFailure) {
  unsigned seed = std::random_device()();
  std::printf("BlocksInOrderWithinTheBoundAndStopsAtAFailure seed %u\n", seed);
  std::mt19937 random(seed);
  std::vector<std::vector<uint8_t>> inputs(60);
  for (size_t i = 0; i < inputs.size(); i++) {
    // Empty (folders), small, and some larger than the bound on their own.
    size_t size = i % 7 == 0 ? 0 : random() % (i % 5 == 0 ? 90000 : 6000);
    int kinds = 2 + int(random() % 60);
    for (size_t k = 0; k < size; k++) inputs[i].push_back(uint8_t(random() % kinds));
  }
  std::vector<std::vector<uint8_t>> expected(inputs.size());
  for (size_t i = 0; i < inputs.size(); i++) PackBlock(inputs[i].data(), inputs[i].size(), kLevelDefault, &expected[i]);
  const size_t maxInFlight = 20000;

  struct Case {
    int threads;
    size_t failRead;   // the item whose read fails; inputs.size(): none
    size_t failWrite;  // likewise for the write
  };
  const Case cases[] = {{1, 60, 60}, {2, 60, 60}, {4, 60, 60}, {8, 60, 60}, {3, 41, 60}, {3, 60, 17}, {1, 60, 17}};
  for (const Case& c : cases) {
    std::vector<size_t> written;
    std::vector<std::vector<uint8_t>> blocks;
    size_t inFlight = 0, lastRead = 0;
    bool boundKept = true, readAhead = false;
    auto read = [&](size_t i, PackInput* input, std::vector<uint8_t>* owned) {
      lastRead = i;
      if (i == c.failRead) return false;
      // Nothing is read past the bound but while nothing is in flight.
      if (inFlight >= maxInFlight && inFlight != 0) boundKept = false;
      if (inFlight != 0) readAhead = true;
      if (i % 2 == 0) {
        input->data = inputs[i].data();  // kept alive by the caller
      } else {
        *owned = inputs[i];  // read into the pack's own buffer
        input->data = owned->data();
      }
      input->size = inputs[i].size();
      inFlight += input->size;
      return true;
    };
    auto write = [&](size_t i, const PackInput& input, const std::vector<uint8_t>& block) {
      written.push_back(i);
      blocks.push_back(block);
      inFlight -= input.size;
      EXPECT_TRUE(input.size == 0 || std::equal(input.data, input.data + input.size, inputs[i].begin()));
      return i != c.failWrite;
    };
    bool ok = PackInOrder(inputs.size(), c.threads, kLevelDefault, maxInFlight, read, write);
    // A failed read ends the pack before the items read ahead are written.
    EXPECT_EQ(ok, c.failRead == inputs.size() && c.failWrite == inputs.size()) << c.threads << " threads";
    if (c.failRead < inputs.size()) {
      EXPECT_EQ(lastRead, c.failRead) << c.threads << " threads";
      ASSERT_LE(written.size(), c.failRead) << c.threads << " threads";
    } else {
      ASSERT_EQ(written.size(), std::min(c.failWrite + 1, inputs.size())) << c.threads << " threads";
    }
    for (size_t i = 0; i < written.size(); i++) {
      EXPECT_EQ(written[i], i) << c.threads << " threads";
      EXPECT_EQ(blocks[i], expected[i]) << "item " << i << " on " << c.threads << " threads";
    }
    EXPECT_TRUE(boundKept) << c.threads << " threads";
    EXPECT_EQ(readAhead, c.threads > 1) << c.threads << " threads";
  }
}

struct NameCase {
  const char* utf8;
  const char* ansi;
};

TEST(ZandorNames, Utf8ToWindows1252Table) {
  const NameCase cases[] = {
      {"plain.txt", "plain.txt"},
      {u8"caf\u00e9", "caf\xe9"},
      {u8"\u20ac", "\x80"},
      {u8"\u0178\u0153", "\x9f\x9c"},
      {u8"\u00ff", "\xff"},
      {u8"\u00a0x", "\xa0x"},
  };
  for (const NameCase& c : cases) {
    std::string ansi, why;
    ASSERT_TRUE(ToPackageComponent(c.utf8, &ansi, &why)) << c.utf8 << ": " << why;
    EXPECT_EQ(ansi, c.ansi);
    EXPECT_EQ(PackageNameToUtf8(ansi), c.utf8);
  }
  std::string ansi, why;
  EXPECT_FALSE(ToPackageComponent("\xc3", &ansi, &why));          // cut-off sequence
  EXPECT_FALSE(ToPackageComponent("\xc0\xaf", &ansi, &why));      // overlong "/"
  EXPECT_FALSE(ToPackageComponent("\xed\xa0\x80", &ansi, &why));  // surrogate
  EXPECT_FALSE(ToPackageComponent(u8"\u0081", &ansi, &why));      // no character at 81
  EXPECT_FALSE(ToPackageComponent("", &ansi, &why));
}

TEST(ZandorNames, FileTimes) {
  EXPECT_EQ(UnixToFileTime(0, 0), 116444736000000000ull);
  EXPECT_EQ(UnixToFileTime(1, 999), 116444736010000009ull);
  EXPECT_EQ(FormatFileTime(116444736000000000ull), "1970-01-01 00:00:00");
  EXPECT_EQ(FormatFileTime(UnixToFileTime(951782400 + 3661, 0)), "2000-02-29 01:01:01");
  EXPECT_EQ(FormatFileTime(0), "-");
  EXPECT_EQ(FormatFileTime(1), "1601-01-01 00:00:00");
}

TEST(ZandorBinary, HelpAndUsageExitCodes) {
  std::string tool = ZANDOR_TOOL_BINARY;
  EXPECT_EQ(std::system((tool + " --help > /dev/null").c_str()), 0);
  EXPECT_NE(std::system((tool + " > /dev/null 2>&1").c_str()), 0);
  EXPECT_NE(std::system((tool + " verify /nonexistent/file.pck > /dev/null 2>&1").c_str()), 0);
}

}  // namespace
