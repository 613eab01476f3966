// The process tests' fixture: a fresh folder for each test, and child
// programs put into it under any name with the script they act out
// (tests/programs/child.cpp), so that the native and the Windows builds run
// the same cases.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "runtime/program_runner.h"
#include "test_system.h"

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessRunner();
    dir_ = MakeTestFolder("zd-run-");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    ResetProcessRunner();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Puts a copy of the child program under the name, with the script it
  // acts out beside it, and answers its path in Windows form.
  std::string Script(const std::string& name, const std::string& body) const {
    namespace fs = std::filesystem;
    fs::path path = fs::path(dir_) / name;
    fs::copy_file(TestChildProgram(), path, fs::copy_options::overwrite_existing);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    std::ofstream(fs::path(path).replace_extension(".do"), std::ios::binary) << body << "\n";
    std::string windows = dir_ + "\\" + name;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir_ + "/" + name); }
  void Touch(const std::string& name) const { std::ofstream out(dir_ + "/" + name); }

  // Polls until the condition holds; a generous bound so that a loaded
  // machine does not fail the test, while a hang still ends.
  static bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
  }

  std::string dir_;
};
