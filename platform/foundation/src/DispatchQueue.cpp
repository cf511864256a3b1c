#include "foundation/DispatchQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/MainThread.h"

namespace foundation {

using Clock = std::chrono::steady_clock;

struct DispatchQueue::State {
  struct Delayed {
    Clock::time_point due;
    std::uint64_t sequence;
    Block block;
  };

  mutable std::mutex mutex;
  std::condition_variable posted;
  std::deque<Block> ready;
  std::vector<Delayed> delayed;  // kept unsorted; few entries at a time
  std::uint64_t nextSequence = 0;
  std::function<void()> wakeUp;

  // Moves every delayed block that is due to the ready list, earliest first.
  void promoteDue(Clock::time_point now) {
    std::vector<Delayed> due;
    for (auto it = delayed.begin(); it != delayed.end();) {
      if (it->due <= now) {
        due.push_back(std::move(*it));
        it = delayed.erase(it);
      } else {
        ++it;
      }
    }
    std::sort(due.begin(), due.end(), [](const Delayed& a, const Delayed& b) {
      return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    for (auto& d : due) ready.push_back(std::move(d.block));
  }
};

DispatchQueue::DispatchQueue() : state_(new State) {}
DispatchQueue::~DispatchQueue() {
  delete state_;
}

DispatchQueue& DispatchQueue::main() {
  // Deliberately leaked: blocks may still be posted while static objects are destroyed.
  static DispatchQueue* queue = new DispatchQueue;
  return *queue;
}

void DispatchQueue::async(Block block) {
  std::function<void()> wake;
  {
    std::lock_guard lock(state_->mutex);
    state_->ready.push_back(std::move(block));
    wake = state_->wakeUp;
  }
  state_->posted.notify_all();
  if (wake) wake();
}

void DispatchQueue::asyncAfter(std::chrono::milliseconds delay, Block block) {
  std::function<void()> wake;
  {
    std::lock_guard lock(state_->mutex);
    state_->delayed.push_back({Clock::now() + delay, state_->nextSequence++, std::move(block)});
    wake = state_->wakeUp;
  }
  state_->posted.notify_all();
  if (wake) wake();
}

bool DispatchQueue::isCurrent() const {
  return isMainThread();
}

std::size_t DispatchQueue::drain() {
  assertMainThread();
  // Blocks stay in the shared list until they run, so a nested drain (a modal loop inside a
  // block) takes up the older ones first and order holds.
  std::size_t due;
  {
    std::lock_guard lock(state_->mutex);
    state_->promoteDue(Clock::now());
    due = state_->ready.size();
  }
  std::size_t ran = 0;
  for (; ran < due; ++ran) {
    Block block;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->ready.empty()) break;  // a nested drain ran them
      block = std::move(state_->ready.front());
      state_->ready.pop_front();
    }
    block();
  }
  return ran;
}

std::size_t DispatchQueue::pendingCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->ready.size();
}

std::optional<std::chrono::milliseconds> DispatchQueue::timeUntilNextDeadline() const {
  std::lock_guard lock(state_->mutex);
  if (!state_->ready.empty()) return std::chrono::milliseconds(0);
  if (state_->delayed.empty()) return std::nullopt;
  auto earliest = state_->delayed.front().due;
  for (const auto& d : state_->delayed) earliest = std::min(earliest, d.due);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now());
  return std::max(left, std::chrono::milliseconds(0));
}

void DispatchQueue::setWakeUpHandler(std::function<void()> handler) {
  std::lock_guard lock(state_->mutex);
  state_->wakeUp = std::move(handler);
}

bool DispatchQueue::runOneIfDue() {
  assertMainThread();
  Block block;
  {
    std::lock_guard lock(state_->mutex);
    state_->promoteDue(Clock::now());
    if (state_->ready.empty()) return false;
    block = std::move(state_->ready.front());
    state_->ready.pop_front();
  }
  block();
  return true;
}

void DispatchQueue::waitForWork(Clock::time_point until) {
  std::unique_lock lock(state_->mutex);
  if (!state_->ready.empty()) return;
  for (const auto& d : state_->delayed) until = std::min(until, d.due);
  state_->posted.wait_until(lock, until);
}

namespace MainRunLoop {

bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
  auto& queue = DispatchQueue::main();
  const auto deadline = Clock::now() + timeout;
  while (!predicate()) {
    const bool ran = queue.runOneIfDue();
    // Checked even while blocks keep coming, e.g. one that reposts itself.
    if (Clock::now() >= deadline) return predicate();
    if (!ran) queue.waitForWork(deadline);
  }
  return true;
}

void runFor(std::chrono::milliseconds duration) {
  runUntil([] { return false; }, duration);
}

}  // namespace MainRunLoop
}  // namespace foundation
