#pragma once

#include <cstddef>
#include <string_view>

namespace eventstream {

// The bytes of a stream received and not yet consumed. It grows with realloc, so that a long
// block arriving in many chunks is extended in place, or remapped once it is large, instead of
// being copied into fresh memory at every doubling: a 4 MiB event touches its 4 MiB once.
class ReceiveBuffer {
 public:
  ReceiveBuffer() = default;
  ReceiveBuffer(ReceiveBuffer&& other) noexcept;
  ReceiveBuffer& operator=(ReceiveBuffer&& other) noexcept;
  ReceiveBuffer(const ReceiveBuffer&) = delete;
  ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;
  ~ReceiveBuffer();

  // Throws std::bad_alloc when memory runs out; the buffer is then unchanged.
  void append(std::string_view bytes);
  // Drops the first `count` bytes (all of them when there are fewer); the rest moves to the front.
  void removePrefix(std::size_t count);

  std::string_view view() const { return {bytes_, size_}; }
  std::size_t size() const { return size_; }

 private:
  char* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace eventstream
