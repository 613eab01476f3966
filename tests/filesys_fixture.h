// The file-system tests' fixture: the test environment's fresh folder, and
// the listing drained into a map.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "runtime/filesys.h"
#include "test_env.h"

const uint64_t kEpochAsFileTime = 116444736000000000ull;  // 1970 in 100 ns since 1601
const int64_t kApril23At1606 = 1208966760;                 // 2008-04-23 16:06:00

inline uint64_t FileTimeOf(int64_t seconds) {
  return static_cast<uint64_t>(seconds) * 10000000ull + kEpochAsFileTime;
}

class FileSysTest : public TempFolderTest {
 protected:
  // Names and types of every entry of a listing, which it then finishes.
  static std::map<std::string, int> Drain(int listing) {
    std::map<std::string, int> entries;
    while (NextEntry(listing)) entries[EntryName(listing)] = EntryType(listing);
    FinishListing(listing);
    return entries;
  }
};
