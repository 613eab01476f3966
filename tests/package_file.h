// Packages for whole-run tests, made with the builder's own writer: a file
// at path holding prefix (a stand-in stub, or nothing) and then a package of
// the given (stored name, content) files.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lib/package_writer.h"

inline void WritePackageFile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files,
                             const std::vector<uint8_t>& prefix) {
  PackageWriter writer;
  ASSERT_TRUE(BeginPackage(&writer, path, prefix, kLevelDefault)) << writer.error;
  for (const auto& f : files) {
    ASSERT_TRUE(AddFileEntry(&writer, f.first, reinterpret_cast<const uint8_t*>(f.second.data()), f.second.size(),
                             0, 0))
        << writer.error;
  }
  ASSERT_TRUE(FinishPackage(&writer)) << writer.error;
}
