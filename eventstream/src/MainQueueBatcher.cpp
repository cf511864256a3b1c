#include "eventstream/MainQueueBatcher.h"

#include <utility>

namespace eventstream {

namespace {
constexpr std::chrono::milliseconds kWaitSlice{20};
}  // namespace

MainQueueBatcher::MainQueueBatcher(foundation::DispatchQueue& mainQueue)
    : MainQueueBatcher(mainQueue, Limits{}) {}

MainQueueBatcher::MainQueueBatcher(foundation::DispatchQueue& mainQueue, Limits limits)
    : mainQueue_(mainQueue), limits_(limits) {}

void MainQueueBatcher::post(std::function<void()> block, std::size_t weight) {
  bool schedule = false;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(block));
    pendingBytes_ += weight;
    schedule = !std::exchange(scheduled_, true);
  }
  // The batch holds its blocks, not the source: listener blocks run even when it is gone.
  if (schedule) mainQueue_.async([self = shared_from_this()] { self->runPending(); });
}

void MainQueueBatcher::addWeight(std::size_t weight) {
  std::lock_guard lock(mutex_);
  pendingBytes_ += weight;
}

void MainQueueBatcher::runPending() {
  std::vector<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
    pendingBytes_ = 0;
    scheduled_ = false;
    ++batchesTaken_;
  }
  taken_.notify_all();
  for (auto& block : batch) block();
}

bool MainQueueBatcher::isFull() const {
  return pending_.size() > limits_.blocks || pendingBytes_ > limits_.bytes;
}

void MainQueueBatcher::waitForRoom(const std::function<bool()>& keepWaiting) {
  // The main thread would wait for itself.
  if (mainQueue_.isCurrent()) return;
  std::unique_lock lock(mutex_);
  std::uint64_t seen = batchesTaken_;
  auto lastProgress = std::chrono::steady_clock::now();
  while (isFull()) {
    lock.unlock();
    const bool wanted = keepWaiting();
    lock.lock();
    if (!wanted || !isFull()) return;
    const auto now = std::chrono::steady_clock::now();
    if (batchesTaken_ != seen) {
      seen = batchesTaken_;
      lastProgress = now;
    } else if (now - lastProgress >= limits_.stall) {
      return;
    }
    taken_.wait_for(lock, kWaitSlice);
  }
}

void MainQueueBatcher::wake() {
  { std::lock_guard lock(mutex_); }
  taken_.notify_all();
}

std::size_t MainQueueBatcher::pendingBlocks() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

}  // namespace eventstream
