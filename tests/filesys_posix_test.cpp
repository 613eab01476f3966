// File-system cases that only the native build has: a machine without drive
// letters, and a C library whose calendar reaches back before 1970.
#include <gtest/gtest.h>

#include <time.h>

#include <cstdio>
#include <iostream>
#include <random>
#include <string>

#include "filesys_fixture.h"
#include "runtime/filesys.h"

namespace {

TEST_F(FileSysTest, FileSizeOfADriveLetterIsNothingWithoutDrives) {
  for (const char* path : {"C:", "C:\\", "c:/", "Z:"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(FileSize(path), -1);
  }
}

TEST(FormatDateTest, AgreesWithTheCalendarOfTheCLibrary) {
  const uint32_t seed = std::random_device()();
  std::cout << "FormatDate seed " << seed << "\n";
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int64_t> dates(-2208988800LL, 4102444799LL);  // 1900 to 2099
  for (int i = 0; i < 2000; ++i) {
    int64_t date = dates(random);
    time_t t = static_cast<time_t>(date);
    struct tm fields;
    ASSERT_NE(gmtime_r(&t, &fields), nullptr);
    char expected[64];
    snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d:%02d:%02d %02d", fields.tm_year + 1900,
             fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
             (fields.tm_year + 1900) % 100);
    ASSERT_EQ(FormatDate("%yyyy-%mm-%dd %hh:%ii:%ss %yy", date), expected) << "date " << date;
  }
}

}  // namespace
