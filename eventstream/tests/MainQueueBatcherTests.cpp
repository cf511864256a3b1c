#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "eventstream/MainQueueBatcher.h"

namespace eventstream {
namespace {

using namespace std::chrono_literals;
using foundation::DispatchQueue;

// Polls a condition that another thread makes true, leaving the main queue alone.
bool waitWithoutDraining(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class MainQueueBatcherTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (DispatchQueue::main().drain() > 0) {
    }
  }
};

TEST_F(MainQueueBatcherTest, ManyPostsAreOneMainQueueBlockRunInOrder) {
  auto batcher = std::make_shared<MainQueueBatcher>(DispatchQueue::main());
  std::vector<int> ran;
  for (int i = 0; i < 1000; ++i) batcher->post([&ran, i] { ran.push_back(i); });
  EXPECT_EQ(DispatchQueue::main().pendingCount(), 1u);
  EXPECT_TRUE(ran.empty());  // never inline

  // A block posted behind the batch runs behind all of it; what is posted while the batch
  // runs goes into the next one.
  std::vector<int> order;
  DispatchQueue::main().async([&] { order.push_back(-1); });
  batcher->post([&] {
    batcher->post([&] { order.push_back(-2); });
    EXPECT_EQ(DispatchQueue::main().pendingCount(), 2u);
  });
  EXPECT_EQ(DispatchQueue::main().drain(), 2u);
  ASSERT_EQ(ran.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(ran[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(order, (std::vector<int>{-1}));
  EXPECT_EQ(DispatchQueue::main().drain(), 1u);
  EXPECT_EQ(order, (std::vector<int>{-1, -2}));
}

TEST_F(MainQueueBatcherTest, APosterAheadOfTheMainThreadIsHeldBackByCountAndByBytes) {
  for (const auto limits : {MainQueueBatcher::Limits{.blocks = 10, .bytes = 1 << 30},
                            MainQueueBatcher::Limits{.blocks = 1 << 30, .bytes = 100}}) {
    auto batcher = std::make_shared<MainQueueBatcher>(DispatchQueue::main(), limits);
    std::atomic<int> posted = 0;
    std::vector<int> batchSizes;
    int inBatch = 0;
    std::thread poster([&] {
      for (int i = 0; i < 25; ++i) {
        batcher->post([&] { ++inBatch; }, 10);
        ++posted;
        batcher->waitForRoom([] { return true; });
      }
    });
    // Each time the poster has filled the batch, the main thread takes it.
    int expected = 0;
    while (expected < 25) {
      expected = std::min(25, expected + 11);
      ASSERT_TRUE(waitWithoutDraining([&] { return posted >= expected; })) << posted;
      EXPECT_EQ(DispatchQueue::main().pendingCount(), 1u);
      DispatchQueue::main().drain();
      batchSizes.push_back(inBatch);
    }
    poster.join();
    EXPECT_EQ(batchSizes, (std::vector<int>{11, 22, 25}));
  }
}

TEST_F(MainQueueBatcherTest, AWaitEndsWhenTheMainThreadStallsOrTheWaiterLetsGo) {
  auto batcher = std::make_shared<MainQueueBatcher>(
      DispatchQueue::main(), MainQueueBatcher::Limits{.blocks = 0, .stall = 50ms});
  batcher->post([] {});
  // Nobody drains: the poster goes on after the stall time rather than forever.
  std::thread stalled([&] { batcher->waitForRoom([] { return true; }); });
  stalled.join();

  auto patient = std::make_shared<MainQueueBatcher>(
      DispatchQueue::main(), MainQueueBatcher::Limits{.blocks = 0, .stall = 1h});
  patient->post([] {});
  std::atomic<bool> wanted = true, done = false;
  std::thread waiter([&] {
    patient->waitForRoom([&] { return wanted.load(); });
    done = true;
  });
  wanted = false;
  patient->wake();
  waiter.join();
  EXPECT_TRUE(done);

  // On the main thread it never waits: it would wait for itself.
  patient->waitForRoom([] { return true; });
}

TEST_F(MainQueueBatcherTest, WhatABlockTakesInWhileItWaitsCountsAgainstTheBytes) {
  auto batcher = std::make_shared<MainQueueBatcher>(
      DispatchQueue::main(),
      MainQueueBatcher::Limits{.blocks = 1 << 30, .bytes = 100, .stall = std::chrono::hours(1)});
  std::atomic<int> grown = 0;
  std::thread poster([&] {
    for (int round = 0; round < 2; ++round) {
      batcher->post([] {}, 60);
      ++grown;
      batcher->waitForRoom([] { return true; });
      batcher->addWeight(60);  // the waiting block took in more
      ++grown;
      batcher->waitForRoom([] { return true; });
    }
  });
  for (int expected : {2, 4}) {
    ASSERT_TRUE(waitWithoutDraining([&] { return grown >= expected; }));
    EXPECT_EQ(grown, expected);  // held at 120 bytes until the main thread takes the block
    DispatchQueue::main().drain();
  }
  poster.join();
}

}  // namespace
}  // namespace eventstream
