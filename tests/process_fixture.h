// The process tests' fixture: the test environment's fresh folder, and
// child programs put into it under any name with the script they act out
// (tests/programs/child.cpp), so that the native and the Windows builds run
// the same cases.
#pragma once
#include <algorithm>
#include <filesystem>
#include <string>

#include "runtime/program_runner.h"
#include "test_env.h"

class ProcessTest : public TempFolderTest {
 protected:
  // Puts a copy of the child program under the name, with the script it
  // acts out beside it, and answers its path in Windows form.
  std::string Script(const std::string& name, const std::string& body) const {
    namespace fs = std::filesystem;
    fs::path path = fs::path(dir_) / name;
    fs::copy_file(TestChildProgram(), path, fs::copy_options::overwrite_existing);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    Write(fs::path(path).replace_extension(".do").string(), body + "\n");
    std::string windows = dir_ + "\\" + name;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
  }
};
