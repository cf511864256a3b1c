#include <gtest/gtest.h>

#include <thread>

#include "foundation/MainThread.h"

namespace {

TEST(MainThread, IsTheProcesssFirstThread) {
  EXPECT_TRUE(foundation::isMainThread());
  bool onWorker = true;
  std::thread([&] { onWorker = foundation::isMainThread(); }).join();
  EXPECT_FALSE(onWorker);
}

TEST(MainThreadDeathTest, AssertionStopsAWorkerInCheckedBuilds) {
  if (!foundation::kMainThreadChecks) GTEST_SKIP() << "release build: no checks";
  foundation::assertMainThread();  // fine here
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(std::thread([] { foundation::assertMainThread(); }).join(),
               "must run on the main thread");
}

}  // namespace
