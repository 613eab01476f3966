// System services answered by Windows itself (run under Wine): the NT-family
// test, the named-mutex probe and the lock.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "platform/lock.h"
#include "platform/system.h"

namespace {

TEST(SystemWinTest, WindowsItselfAnswers) {
  // Wine reports an NT-family Windows, with a build number in GetVersion.
  EXPECT_TRUE(OsIsNtFamily());

  // A probe makes and closes its mutex, so a second probe makes it anew;
  // while another handle holds it, the probe finds it.
  const char kName[] = "ZandorSystemWinTestMutex";
  EXPECT_EQ(OsProbeNamedMutex(kName), kMutexCreated);
  EXPECT_EQ(OsProbeNamedMutex(kName), kMutexCreated);
  HANDLE held = CreateMutexA(nullptr, FALSE, kName);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(OsProbeNamedMutex(kName), kMutexExisted);
  CloseHandle(held);
  EXPECT_EQ(OsProbeNamedMutex(kName), kMutexCreated);

  // The holder may enter the lock again; another thread waits until it is
  // left as often as it was entered.
  struct Shared {
    OsLock lock;
    std::atomic<bool> entered;
  } shared{OsCreateLock(), {false}};
  OsEnterLock(shared.lock);
  OsEnterLock(shared.lock);
  HANDLE other = CreateThread(
      nullptr, 0,
      [](void* param) -> DWORD {
        Shared* s = static_cast<Shared*>(param);
        OsEnterLock(s->lock);
        s->entered = true;
        OsLeaveLock(s->lock);
        return 0;
      },
      &shared, 0, nullptr);
  ASSERT_NE(other, nullptr);
  OsLeaveLock(shared.lock);
  EXPECT_EQ(WaitForSingleObject(other, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(shared.entered);
  OsLeaveLock(shared.lock);
  EXPECT_EQ(WaitForSingleObject(other, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(shared.entered);
  CloseHandle(other);
}

}  // namespace
