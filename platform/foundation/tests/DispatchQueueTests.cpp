#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/DispatchQueue.h"

using namespace std::chrono_literals;
using foundation::DispatchQueue;
namespace MainRunLoop = foundation::MainRunLoop;

namespace {

// Not a fixture test: in a process of its own (as ctest runs it) a worker touches the queue first.
TEST(MainQueueThreadTest, TheMainThreadIsTheProcesssFirstThreadWhoeverTouchesTheQueueFirst) {
  bool workerIsMain = true;
  std::thread([&] { workerIsMain = DispatchQueue::main().isCurrent(); }).join();
  EXPECT_FALSE(workerIsMain);
  EXPECT_TRUE(DispatchQueue::main().isCurrent());
}

class MainQueueTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DispatchQueue::main().setWakeUpHandler({});
    while (DispatchQueue::main().drain() > 0) {
    }
  }
  DispatchQueue& main = DispatchQueue::main();
};

TEST_F(MainQueueTest, RunsLaterAndInOrderNeverInline) {
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) main.async([&, i] { order.push_back(i); });
  EXPECT_TRUE(order.empty());

  // A block posted from a running block waits until that block has returned.
  main.async([&] {
    main.async([&] { order.push_back(100); });
    order.push_back(99);
  });
  ASSERT_TRUE(MainRunLoop::runUntil([&] { return order.size() == 7; }, 5s));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 99, 100}));
}

TEST_F(MainQueueTest, DrainLeavesBlocksPostedWhileDrainingForTheNextDrain) {
  int ran = 0;
  main.async([&] {
    ++ran;
    main.async([&] { ++ran; });
  });
  EXPECT_EQ(main.drain(), 1u);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(main.drain(), 1u);
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(main.drain(), 0u);
}

TEST_F(MainQueueTest, NestedDrainKeepsPostingOrder) {
  // A modal loop inside a block drains the queue itself; older blocks must still come first.
  std::vector<std::string> order;
  main.async([&] {
    order.push_back("A");
    main.async([&] { order.push_back("D"); });
    main.drain();
    order.push_back("A end");
  });
  main.async([&] { order.push_back("B"); });
  main.async([&] { order.push_back("C"); });
  while (main.drain() > 0) {
  }
  EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C", "D", "A end"}));
}

TEST_F(MainQueueTest, AsyncAfterRunsByDeadlineAndKeepsPostingOrderForEqualDelays) {
  std::vector<std::string> order;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration lateRan{};
  main.asyncAfter(300ms, [&] {
    lateRan = std::chrono::steady_clock::now() - start;
    order.push_back("late");
  });
  for (int i = 0; i < 4; ++i)
    main.asyncAfter(20ms, [&, i] { order.push_back("soon" + std::to_string(i)); });
  main.async([&] { order.push_back("now"); });
  ASSERT_TRUE(MainRunLoop::runUntil([&] { return order.size() == 6; }, 10s));
  EXPECT_EQ(order, (std::vector<std::string>{"now", "soon0", "soon1", "soon2", "soon3", "late"}));
  EXPECT_GE(lateRan, 300ms);  // never early
}

TEST_F(MainQueueTest, TimeUntilNextDeadline) {
  EXPECT_EQ(main.timeUntilNextDeadline(), std::nullopt);
  bool ran = false;
  main.asyncAfter(200ms, [&] { ran = true; });
  const auto left = main.timeUntilNextDeadline();
  ASSERT_TRUE(left.has_value());
  EXPECT_LE(*left, 200ms);
  main.async([] {});
  EXPECT_EQ(main.timeUntilNextDeadline(), 0ms);
  main.drain();
  EXPECT_FALSE(ran);
  ASSERT_TRUE(MainRunLoop::runUntil([&] { return ran; }, 10s));
  EXPECT_EQ(main.timeUntilNextDeadline(), std::nullopt);
}

TEST_F(MainQueueTest, BlocksPostedFromOtherThreadsRunOnTheMainThreadInEachThreadsOrder) {
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::vector<int>> seen(kThreads);
  std::atomic<int> offMain{0};
  int total = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        DispatchQueue::main().async([&, t, i] {
          if (!DispatchQueue::main().isCurrent()) ++offMain;
          seen[t].push_back(i);
          ++total;
        });
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(MainRunLoop::runUntil([&] { return total == kThreads * kPerThread; }, 10s));
  EXPECT_EQ(offMain, 0);
  for (const auto& list : seen) {
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(list[i], i);
  }
}

TEST_F(MainQueueTest, RunUntilWakesForWorkFromAnotherThread) {
  bool done = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(30ms);  // so that the run loop is asleep when the block comes
    DispatchQueue::main().async([&] { done = true; });
  });
  EXPECT_TRUE(MainRunLoop::runUntil([&] { return done; }, 10s));
  poster.join();
}

TEST_F(MainQueueTest, RunUntilStopsAtTheTimeoutEvenWhenBlocksKeepComing) {
  std::function<void()> repost = [&] { main.async(repost); };
  main.async(repost);
  EXPECT_FALSE(MainRunLoop::runUntil([] { return false; }, 50ms));
  repost = [] {};  // the one still queued ends the chain
  while (main.drain() > 0) {
  }
}

TEST_F(MainQueueTest, IsCurrentOnlyOnTheMainThread) {
  EXPECT_TRUE(main.isCurrent());
  bool elsewhere = true;
  std::thread([&] { elsewhere = DispatchQueue::main().isCurrent(); }).join();
  EXPECT_FALSE(elsewhere);
}

TEST_F(MainQueueTest, WakeUpHandlerIsCalledForEveryPostFromAnyThread) {
  std::atomic<int> wakeUps{0};
  main.setWakeUpHandler([&] { ++wakeUps; });
  main.async([] {});
  main.asyncAfter(1ms, [] {});
  std::thread([] { DispatchQueue::main().async([] {}); }).join();
  EXPECT_EQ(wakeUps, 3);
  main.setWakeUpHandler({});
  main.async([] {});
  EXPECT_EQ(wakeUps, 3);
  MainRunLoop::runFor(20ms);
}

}  // namespace
