#include "foundation/OperationQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "foundation/ThreadName.h"

namespace foundation {

struct OperationQueue::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Block> pending;
  bool running = false;  // a block is executing
  bool stopping = false;
  bool orphaned = false;  // the queue was destroyed by one of its own blocks
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
      orphaned = s->orphaned;
    }
    if (orphaned) delete s;
  });
}

OperationQueue::~OperationQueue() {
  const bool fromOwnBlock = state_->worker.get_id() == std::this_thread::get_id();
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->orphaned = fromOwnBlock;
  }
  state_->changed.notify_all();
  if (fromOwnBlock) {
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

bool OperationQueue::isCurrent() const {
  return state_->worker.get_id() == std::this_thread::get_id();
}

}  // namespace foundation
