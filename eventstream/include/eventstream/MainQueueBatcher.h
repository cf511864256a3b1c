#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/DispatchQueue.h"

namespace eventstream {

// Carries blocks from the stream's queue to the main thread in batches: whatever the rate of
// events, at most one block of ours waits in the main queue, and it runs everything posted
// until it starts, in posting order. A poster that finds too much waiting is held back until
// the main thread has taken it, so a stream faster than the main thread slows down to it
// instead of piling up.
class MainQueueBatcher final : public std::enable_shared_from_this<MainQueueBatcher> {
 public:
  struct Limits {
    std::size_t blocks = 4096;
    std::size_t bytes = 4 * 1024 * 1024;
    // The main thread took nothing for this long: it is stuck or gone, and waiting for it any
    // longer would only hold the stream's queue.
    std::chrono::milliseconds stall{2000};
  };

  explicit MainQueueBatcher(foundation::DispatchQueue& mainQueue);
  MainQueueBatcher(foundation::DispatchQueue& mainQueue, Limits limits);

  // Any thread. `weight` is what the block holds (bytes), counted against the limits.
  void post(std::function<void()> block, std::size_t weight = 0);
  // A block posted and still waiting holds `weight` bytes more.
  void addWeight(std::size_t weight);

  // Blocks the calling thread while more than the limits wait for the main thread, until it
  // takes them, `keepWaiting` turns false (checked at least every few milliseconds and on
  // `wake`) or the main thread has stalled. Returns at once on the main thread.
  void waitForRoom(const std::function<bool()>& keepWaiting);
  // Lets every waiter look at `keepWaiting` again.
  void wake();

  // What is waiting for the main thread now.
  std::size_t pendingBlocks() const;

 private:
  void runPending();
  bool isFull() const;  // mutex_ held

  foundation::DispatchQueue& mainQueue_;
  const Limits limits_;
  mutable std::mutex mutex_;
  std::condition_variable taken_;
  std::vector<std::function<void()>> pending_;
  std::size_t pendingBytes_ = 0;
  bool scheduled_ = false;
  std::uint64_t batchesTaken_ = 0;
};

}  // namespace eventstream
