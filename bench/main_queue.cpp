#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/DispatchQueue.h"

using foundation::DispatchQueue;

namespace {

// One block posted and run by a GUI-style drain.
void BM_MainQueuePostThenDrain(benchmark::State& state) {
  auto& main = DispatchQueue::main();
  int ran = 0;
  for (auto _ : state) {
    main.async([&] { ++ran; });
    benchmark::DoNotOptimize(main.drain());
  }
  state.SetItemsProcessed(ran);
}
BENCHMARK(BM_MainQueuePostThenDrain);

// The way tests wait: post, then run the loop until the block has run.
void BM_MainQueuePostThenRunUntil(benchmark::State& state) {
  auto& main = DispatchQueue::main();
  for (auto _ : state) {
    bool done = false;
    main.async([&] { done = true; });
    foundation::MainRunLoop::runUntil([&] { return done; }, std::chrono::seconds(10));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MainQueuePostThenRunUntil);

// A burst of blocks, as a streamed answer delivers them.
void BM_MainQueueBurst(benchmark::State& state) {
  auto& main = DispatchQueue::main();
  const auto count = state.range(0);
  for (auto _ : state) {
    for (int64_t i = 0; i < count; ++i) main.async([] {});
    while (main.drain() > 0) {
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MainQueueBurst)->Arg(16)->Arg(1024);

// A worker thread posts to the main queue, which wakes from its wait and runs the block.
void BM_MainQueueRoundTripFromAnotherThread(benchmark::State& state) {
  auto& main = DispatchQueue::main();
  std::atomic<bool> post{false}, stop{false};
  std::thread worker([&] {
    while (!stop) {
      if (post.exchange(false)) {
        DispatchQueue::main().async([] {});
      } else {
        std::this_thread::yield();
      }
    }
  });
  for (auto _ : state) {
    post = true;
    while (main.drain() == 0)
      main.waitForWork(std::chrono::steady_clock::now() + std::chrono::seconds(1));
  }
  stop = true;
  worker.join();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MainQueueRoundTripFromAnotherThread);

}  // namespace
