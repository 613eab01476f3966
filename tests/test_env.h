// The tests' one environment: every module put back to its start, and a
// fixture with a fresh folder for each test and small file helpers that go
// around the code under test (std::filesystem and streams). Builds for the
// native and the Windows unit tests alike.
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
#include <vector>

#include "actions/folders.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "package/package.h"
#include "runtime/audit_log.h"
#include "runtime/filesys.h"
#include "runtime/ini.h"
#include "runtime/rights.h"
#include "runtime/program_runner.h"
#include "test_system.h"
#include "ui/language.h"
#include "ui/dialogs.h"
#include "ui/wizard.h"

// Every process-wide record and double at its start: the run state, the
// system, registry, dialog and window doubles with the temporary folder, the
// process runner, the language texts, the package reader, the INI store, the
// folder listings, the wizard window's fonts and the audit log. A new singleton adds its
// reset here and nowhere else.
inline void ResetEverything() {
  ResetSetup();
  ReleaseWorkFiles();
  ResetTestSystem();
  ResetProcessRunner();
  ResetLanguageTexts();
  ResetPackageReader();
  ResetIni();
  ResetListings();
  ResetUserFolders();
  SetLoginOffer(nullptr, nullptr);
  ResetWizardWindow();
  SetQuietRun(false);
  CloseAuditLog();
}

// Polls until the condition holds; a generous bound so that a loaded machine
// does not fail the test, while a hang still ends.
inline bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 2000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// Tests that start and end with everything reset.
class EnvTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEverything(); }
  void TearDown() override { ResetEverything(); }
};

// Tests with a fresh folder of their own under the temporary folder, removed
// after the test. File helpers take a name in that folder ("sub/a.txt") or a
// path that is already absolute.
class TempFolderTest : public EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    dir_ = MakeTestFolder("zd-test-");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    EnvTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // The native path, with "/" for every "\" of the name.
  std::string Native(const std::string& name) const {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    bool absolute = !path.empty() && (path[0] == '/' || (path.size() > 1 && path[1] == ':'));
    return absolute ? path : dir_ + "/" + path;
  }
  // A name in the test folder in Windows form; the platform maps the "\".
  std::string Win(const std::string& name) const { return dir_ + "\\" + name; }

  // Writes the bytes, making the folders on the way; answers the native path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = Native(name);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
    return Write(name, std::string(bytes.begin(), bytes.end()));
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<uint8_t> ReadBytes(const std::string& name) const {
    std::string bytes = Read(name);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Native(name)); }
  void MakeFolder(const std::string& name) const { std::filesystem::create_directories(Native(name)); }

  std::string dir_;
};
