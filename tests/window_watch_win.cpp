#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "window_watch.h"

namespace {

struct Shown {
  std::string test;
  std::string caption;
};

struct Watch {
  std::mutex lock;
  std::set<HWND> closed;
  std::vector<std::string> thisTest;  // captions since the current test started
  std::vector<Shown> all;
  std::string test;
};

Watch& TheWatch() {
  static Watch watch;
  return watch;
}

BOOL CALLBACK Visit(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  Watch& watch = TheWatch();
  {
    std::lock_guard<std::mutex> hold(watch.lock);
    if (watch.closed.insert(window).second) {
      char caption[256] = {0};
      GetWindowTextA(window, caption, sizeof caption);
      std::string text = caption[0] ? caption : "(no caption)";
      watch.thisTest.push_back(text);
      watch.all.push_back({watch.test, text});
    }
  }
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

class WatchEnvironment : public ::testing::Environment, public ::testing::EmptyTestEventListener {
 public:
  void SetUp() override {
    ::testing::UnitTest::GetInstance()->listeners().Append(this);
    thread_ = std::thread([this] {
      while (!stop_) {
        EnumWindows(Visit, 0);
        Sleep(20);
      }
    });
  }
  void TearDown() override {
    stop_ = true;
    thread_.join();
    ::testing::UnitTest::GetInstance()->listeners().Release(this);
    for (const Shown& shown : TheWatch().all) {
      ADD_FAILURE() << shown.test << " showed a window: " << shown.caption;
    }
  }
  void OnTestStart(const ::testing::TestInfo& info) override {
    std::lock_guard<std::mutex> hold(TheWatch().lock);
    TheWatch().test = std::string(info.test_suite_name()) + "." + info.name();
    TheWatch().thisTest.clear();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The environment also listens; gtest owns it as an environment only.
::testing::Environment* const g_watch = ::testing::AddGlobalTestEnvironment(new WatchEnvironment);

}  // namespace

std::vector<std::string> WindowsShownByThisTest() {
  EnumWindows(Visit, 0);  // whatever is still open counts too
  std::lock_guard<std::mutex> hold(TheWatch().lock);
  return TheWatch().thisTest;
}

bool CanShowWindows() {
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!window) return false;
  DestroyWindow(window);
  return true;
}
