#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace ui {

// What a `.task` closure gets: it runs on the main thread once the view has appeared; the
// token is cancelled when the view disappears or its task id changes.
class TaskContext {
 public:
  explicit TaskContext(std::shared_ptr<std::atomic<bool>> cancelled)
      : cancelled_(std::move(cancelled)) {}
  bool isCancelled() const { return cancelled_->load(); }
  // Shared with background work, which should stop when it turns true.
  const std::shared_ptr<std::atomic<bool>>& cancellation() const { return cancelled_; }
  // Posts `work` to the main queue; it is dropped if the task was cancelled by then.
  // Callable from any thread.
  void onMain(std::function<void()> work) const;
  // A poster with the same guarantee, for handing to other threads.
  std::function<void(std::function<void()>)> mainPoster() const;

 private:
  std::shared_ptr<std::atomic<bool>> cancelled_;
};

}  // namespace ui
