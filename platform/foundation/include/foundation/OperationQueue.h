#pragma once

#include <memory>
#include <string>

#include "foundation/DispatchQueue.h"

namespace foundation {

// A serial queue: one worker thread that runs blocks one at a time, in the order posted.
// The destructor runs what is queued, then joins the worker.
class OperationQueue {
 public:
  // `name` is the worker thread's, as `ps -T` shows it (15 bytes at most are kept).
  explicit OperationQueue(std::string name = "quill-queue");
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  void addOperation(Block block);
  void waitUntilAllOperationsAreFinished();
  // True when called from a block running on this queue.
  bool isCurrent() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace foundation
