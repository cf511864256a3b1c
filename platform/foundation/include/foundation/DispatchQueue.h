#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

namespace foundation {

using Block = std::function<void()>;

// The queue of the main thread. Blocks posted here always run later, in the order they were
// posted, on the main thread, never inline, even when posted from the main thread.
// Someone has to drain it: the MainRunLoop (tests, command-line tools) or a GUI event loop
// through setWakeUpHandler/drain.
class DispatchQueue {
 public:
  static DispatchQueue& main();

  void async(Block block);
  void asyncAfter(std::chrono::milliseconds delay, Block block);

  // True on the program's main thread.
  bool isCurrent() const;

  // Runs every block that is due now (those posted while draining wait for the next drain).
  // Returns how many ran. Main thread only.
  std::size_t drain();

  // Runs the first due block, if any. Main thread only.
  bool runOneIfDue();
  // Sleeps until a block is posted, the next delayed block is due, or `until` passes.
  void waitForWork(std::chrono::steady_clock::time_point until);

  // Blocks posted with `async` that have not started yet (delayed ones not counted).
  std::size_t pendingCount() const;

  // Time until the next delayed block is due; absent when none is pending.
  std::optional<std::chrono::milliseconds> timeUntilNextDeadline() const;

  // Called from any thread whenever a block is posted, so that a GUI loop can wake up and
  // call drain() on its own thread. Replace with an empty function to remove.
  void setWakeUpHandler(std::function<void()> handler);

  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

 private:
  DispatchQueue();
  ~DispatchQueue();
  struct State;
  State* state_;
};

// Drives the main queue when no GUI loop runs (tests, benchmarks).
namespace MainRunLoop {
// Drains the main queue, sleeping while nothing is due, until the predicate holds (checked
// after every block) or the timeout passes. Returns the predicate's last value.
bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);
// Drains the main queue for the given time.
void runFor(std::chrono::milliseconds duration);
}  // namespace MainRunLoop

}  // namespace foundation
