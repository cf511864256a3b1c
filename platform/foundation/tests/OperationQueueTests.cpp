#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "foundation/OperationQueue.h"

using foundation::OperationQueue;

namespace {

TEST(OperationQueueTest, RunsOneBlockAtATimeInEachPostersOrder) {
  constexpr int kThreads = 4, kPerThread = 1000;
  OperationQueue queue;
  std::vector<std::vector<int>> seen(kThreads);  // touched only on the queue
  std::atomic<int> active{0}, overlaps{0}, offQueue{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        queue.addOperation([&, t, i] {
          if (active.fetch_add(1) != 0) ++overlaps;
          if (!queue.isCurrent()) ++offQueue;
          seen[t].push_back(i);
          active.fetch_sub(1);
        });
      }
    });
  }
  for (auto& poster : posters) poster.join();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(offQueue, 0);
  for (const auto& list : seen) {
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(list[i], i);
  }
  EXPECT_FALSE(queue.isCurrent());
}

TEST(OperationQueueTest, DestructorRunsWhatIsQueued) {
  std::atomic<int> ran{0};
  {
    OperationQueue queue;
    queue.addOperation([] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
    for (int i = 0; i < 100; ++i) queue.addOperation([&] { ++ran; });
  }
  EXPECT_EQ(ran, 100);
}

TEST(OperationQueueTest, MayBeDestroyedByItsOwnBlock) {
  // The last owner lets go inside a block, as a session does when its last task ends. The
  // sanitizer build's leak checker reports the queue's state if nobody frees it.
  std::promise<void> destroyed;
  auto queue = std::make_shared<OperationQueue>();
  OperationQueue* raw = queue.get();
  raw->addOperation([&destroyed, owned = std::move(queue)]() mutable {
    owned.reset();
    destroyed.set_value();
  });
  EXPECT_EQ(destroyed.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(OperationQueueTest, WaitUntilAllOperationsAreFinishedWaitsForTheRunningOne) {
  OperationQueue queue;
  std::atomic<bool> finished{false};
  queue.addOperation([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    finished = true;
  });
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(finished);
}

}  // namespace

namespace {

TEST(OperationQueueTest, ABoundedDestructorLeavesAStuckBlockRunningAndReturns) {
  auto release = std::make_shared<std::promise<void>>();
  auto finished = std::make_shared<std::promise<void>>();
  auto ranAfter = std::make_shared<std::atomic<int>>(0);
  const auto start = std::chrono::steady_clock::now();
  {
    OperationQueue queue;
    queue.limitWaitAtDestruction(std::chrono::milliseconds(100));
    queue.addOperation([gate = release->get_future().share()] { gate.wait(); });
    // Queued behind the stuck one: it still runs once that one is let go.
    queue.addOperation([ranAfter, finished] {
      ++*ranAfter;
      finished->set_value();
    });
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(*ranAfter, 0);
  release->set_value();
  EXPECT_EQ(finished->get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(*ranAfter, 1);
}

TEST(OperationQueueTest, ABoundedDestructorStillRunsWhatIsQueuedWhenItIsQuick) {
  std::atomic<int> ran{0};
  {
    OperationQueue queue;
    queue.limitWaitAtDestruction(std::chrono::seconds(10));
    for (int i = 0; i < 100; ++i) queue.addOperation([&] { ++ran; });
  }
  EXPECT_EQ(ran, 100);
}

}  // namespace
