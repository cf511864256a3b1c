#include "foundation/OperationQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "foundation/ThreadName.h"

namespace foundation {

struct OperationQueue::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Block> pending;
  bool running = false;  // a block is executing
  bool stopping = false;
  bool orphaned = false;  // the queue is gone: the worker deletes the state when it ends
  bool finished = false;  // the loop has returned
  std::optional<std::chrono::milliseconds> destructionLimit;
  std::thread worker;

  void loop() {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stopping || !pending.empty(); });
      if (pending.empty()) return;  // stopping with nothing left
      Block block = std::move(pending.front());
      pending.pop_front();
      running = true;
      lock.unlock();
      block();
      block = nullptr;  // release captures outside the lock's protection but before signalling
      lock.lock();
      running = false;
      changed.notify_all();
    }
  }
};

OperationQueue::OperationQueue(std::string name) : state_(std::make_unique<State>()) {
  state_->worker = std::thread([s = state_.get(), name = std::move(name)] {
    setCurrentThreadName(name);
    s->loop();
    bool orphaned;
    {
      std::lock_guard lock(s->mutex);
      s->finished = true;
      orphaned = s->orphaned;
      s->changed.notify_all();
    }
    if (orphaned) delete s;
  });
}

OperationQueue::~OperationQueue() {
  const bool fromOwnBlock = state_->worker.get_id() == std::this_thread::get_id();
  bool abandoned = fromOwnBlock;
  {
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    state_->changed.notify_all();
    if (!fromOwnBlock && state_->destructionLimit) {
      abandoned = !state_->changed.wait_for(lock, *state_->destructionLimit,
                                            [&] { return state_->finished; });
    }
    state_->orphaned = abandoned;
  }
  if (abandoned) {
    // The loop finishes what is queued, then its thread deletes the state.
    state_->worker.detach();
    state_.release();  // NOLINT: owned by the worker thread from here on
  } else {
    state_->worker.join();
  }
}

void OperationQueue::addOperation(Block block) {
  {
    std::lock_guard lock(state_->mutex);
    state_->pending.push_back(std::move(block));
  }
  state_->changed.notify_all();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return state_->pending.empty() && !state_->running; });
}

void OperationQueue::limitWaitAtDestruction(std::chrono::milliseconds limit) {
  std::lock_guard lock(state_->mutex);
  state_->destructionLimit = limit;
}

bool OperationQueue::isCurrent() const {
  return state_->worker.get_id() == std::this_thread::get_id();
}

}  // namespace foundation
