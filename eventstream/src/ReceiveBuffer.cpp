#include "eventstream/ReceiveBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace eventstream {

ReceiveBuffer::ReceiveBuffer(ReceiveBuffer&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ReceiveBuffer& ReceiveBuffer::operator=(ReceiveBuffer&& other) noexcept {
  if (this != &other) {
    std::free(bytes_);
    bytes_ = std::exchange(other.bytes_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

ReceiveBuffer::~ReceiveBuffer() {
  std::free(bytes_);
}

void ReceiveBuffer::append(std::string_view bytes) {
  if (bytes.empty()) return;
  constexpr std::size_t kLargest = std::numeric_limits<std::size_t>::max() / 2;
  if (bytes.size() > kLargest - size_) throw std::bad_alloc();
  const std::size_t needed = size_ + bytes.size();
  if (needed > capacity_) {
    // Doubling keeps the copies that realloc cannot avoid to a constant per byte.
    const std::size_t capacity =
        std::max({needed, std::min(capacity_, kLargest / 2) * 2, std::size_t{256}});
    void* grown = std::realloc(bytes_, capacity);
    if (!grown) throw std::bad_alloc();
    bytes_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }
  std::memcpy(bytes_ + size_, bytes.data(), bytes.size());
  size_ = needed;
}

void ReceiveBuffer::removePrefix(std::size_t count) {
  count = std::min(count, size_);
  if (count == 0) return;
  std::memmove(bytes_, bytes_ + count, size_ - count);
  size_ -= count;
}

}  // namespace eventstream
