#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "eventstream/Event.h"

namespace eventstream {

// What a stream's message events come to, read on the stream's queue and handed to the main
// thread whole: a stream costs the main thread one block per batch, however many events it
// holds and however fast they come.
class MessageBatch {
 public:
  virtual ~MessageBatch() = default;

  // The stream's queue: the next message event (unnamed, or named "message"). Returns how many
  // bytes the batch holds more now, which counts against what may wait for the main thread.
  virtual std::size_t read(const Event& event) = 0;
  // The main thread, once, after the last read.
  virtual void deliver() = 0;
};

// Makes an empty batch; called on the stream's queue.
using MessageBatchFactory = std::function<std::unique_ptr<MessageBatch>()>;

}  // namespace eventstream
