// The file-system tests' fixture: a fresh folder under the temporary folder
// for each test, with helpers that go around the code under test (std::
// filesystem and streams) to set up and inspect it.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "runtime/filesys.h"
#include "test_system.h"

const uint64_t kEpochAsFileTime = 116444736000000000ull;  // 1970 in 100 ns since 1601
const int64_t kApril23At1606 = 1208966760;                 // 2008-04-23 16:06:00

inline uint64_t FileTimeOf(int64_t seconds) {
  return static_cast<uint64_t>(seconds) * 10000000ull + kEpochAsFileTime;
}

class FileSysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetListings();
    dir_ = MakeTestFolder("zd-fs-");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    ResetListings();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // A path inside the test folder in Windows form; the platform maps "\".
  std::string Win(const std::string& name) const { return dir_ + "\\" + name; }
  std::string Native(const std::string& name) const { return dir_ + "/" + name; }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(Native(name), std::ios::binary);
    out << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Native(name)); }
  void MakeFolder(const std::string& name) const { std::filesystem::create_directories(Native(name)); }

  // Names and types of every entry of a listing, which it then finishes.
  static std::map<std::string, int> Drain(int listing) {
    std::map<std::string, int> entries;
    while (NextEntry(listing)) entries[EntryName(listing)] = EntryType(listing);
    FinishListing(listing);
    return entries;
  }

  std::string dir_;
};
