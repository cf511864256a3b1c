#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "foundation/DispatchQueue.h"

namespace foundation {

// A serial queue: one worker thread that runs blocks one at a time, in the order posted.
// The destructor runs what is queued, then joins the worker; with a wait limit set, it gives up
// after that long and leaves what is still queued to run on without it.
class OperationQueue {
 public:
  // `name` is the worker thread's, as `ps -T` shows it (15 bytes at most are kept).
  explicit OperationQueue(std::string name = "quill-queue");
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  void addOperation(Block block);
  void waitUntilAllOperationsAreFinished();
  // Bounds the destructor's wait. Blocks still queued when it gives up run on the worker after
  // the queue is gone, so they must own what they use.
  void limitWaitAtDestruction(std::chrono::milliseconds limit);
  // True when called from a block running on this queue.
  bool isCurrent() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace foundation
