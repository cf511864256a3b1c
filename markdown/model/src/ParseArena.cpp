#include "ParseArena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <optional>

namespace markdown {
namespace {

constexpr std::size_t kAlignment = alignof(std::max_align_t);

struct alignas(kAlignment) Header {
  ParseArena* arena;  // nullptr: the block is on the heap
  std::size_t size;
};
static_assert(sizeof(Header) % kAlignment == 0);

thread_local ParseArena* current = nullptr;

// Slabs of finished documents, for the next one. Any thread may end a document.
class KeptSlabs {
 public:
  // The largest waiting slab when it holds `size` bytes.
  std::optional<ParseArena::Slab> take(std::size_t size) {
    const std::lock_guard lock(mutex_);
    if (slabs_.empty() || slabs_.back().size < size) return std::nullopt;
    ParseArena::Slab slab = std::move(slabs_.back());
    slabs_.pop_back();
    bytes_ -= slab.size;
    return slab;
  }

  // Keeps the largest slabs within the bounds; the rest are freed (outside the lock).
  void give(std::vector<ParseArena::Slab>& slabs) {
    const std::lock_guard lock(mutex_);
    for (auto& slab : slabs) {
      if (slab.size > ParseArena::kKeptBytes) continue;
      slabs_.push_back(std::move(slab));
      bytes_ += slabs_.back().size;
      std::sort(slabs_.begin(), slabs_.end(),
                [](const auto& a, const auto& b) { return a.size < b.size; });
      while (slabs_.size() > ParseArena::kKeptSlabs || bytes_ > ParseArena::kKeptBytes) {
        bytes_ -= slabs_.front().size;
        slab = std::move(slabs_.front());  // freed with the caller's list
        slabs_.erase(slabs_.begin());
      }
    }
  }

  std::size_t bytes() {
    const std::lock_guard lock(mutex_);
    return bytes_;
  }

 private:
  std::mutex mutex_;
  std::vector<ParseArena::Slab> slabs_;  // smallest first
  std::size_t bytes_ = 0;
};

// Never destroyed: a document may outlive static destruction.
KeptSlabs& keptSlabs() {
  static auto* kept = new KeptSlabs;
  return *kept;
}

std::size_t rounded(std::size_t size) {
  return (size + kAlignment - 1) / kAlignment * kAlignment;
}

Header* headerOf(void* block) {
  return static_cast<Header*>(block) - 1;
}

void* blockOf(Header* header) {
  return header + 1;
}

// A block of `size` bytes from the current arena, or from the heap without one.
void* newBlock(std::size_t size) {
  if (size > std::numeric_limits<std::size_t>::max() - sizeof(Header) - kAlignment) return nullptr;
  Header* header;
  if (current) {
    header = static_cast<Header*>(current->allocate(sizeof(Header) + size));
  } else {
    header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
  }
  if (!header) return nullptr;
  header->arena = current;
  header->size = size;
  return blockOf(header);
}

void* arenaCalloc(std::size_t count, std::size_t size) {
  if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
  void* block = newBlock(count * size);
  if (block) std::memset(block, 0, count * size);
  return block;
}

void* arenaRealloc(void* block, std::size_t size) {
  if (!block) return newBlock(size);
  Header* header = headerOf(block);
  if (!header->arena) {
    auto* grown = static_cast<Header*>(std::realloc(header, sizeof(Header) + size));
    if (!grown) return nullptr;
    grown->size = size;
    return blockOf(grown);
  }
  ParseArena& arena = *header->arena;
  if (arena.resizeInPlace(header, sizeof(Header) + size)) {
    header->size = size;
    return block;
  }
  auto* moved = static_cast<Header*>(arena.allocate(sizeof(Header) + size));
  if (!moved) return nullptr;
  moved->arena = &arena;
  moved->size = size;
  std::memcpy(blockOf(moved), block, std::min(size, header->size));
  return blockOf(moved);
}

void arenaFree(void* block) {
  if (!block) return;
  Header* header = headerOf(block);
  if (!header->arena) std::free(header);
  // Arena blocks go with their arena.
}

}  // namespace

cmark_mem* ParseArena::allocator() {
  static cmark_mem mem{arenaCalloc, arenaRealloc, arenaFree};
  return &mem;
}

ParseArena::Scope::Scope(ParseArena& arena) : previous_(current) {
  current = &arena;
}

ParseArena::Scope::~Scope() {
  current = previous_;
}

ParseArena::~ParseArena() {
  keptSlabs().give(slabs_);
}

std::size_t ParseArena::keptBytes() {
  return keptSlabs().bytes();
}

void* ParseArena::allocate(std::size_t size) {
  size = rounded(size);
  if (static_cast<std::size_t>(end_ - next_) < size) {
    constexpr std::size_t kLargestSlab = 4 * 1024 * 1024;
    std::optional<Slab> slab = keptSlabs().take(size);
    if (!slab) {
      const std::size_t slabSize = std::max(nextSlabSize_, size);
      slab = Slab{std::unique_ptr<std::byte[]>(new (std::nothrow) std::byte[slabSize]), slabSize};
      if (!slab->memory) return nullptr;
    }
    next_ = slab->memory.get();
    end_ = next_ + slab->size;
    // The next slab outgrows this one, so a long document needs few.
    nextSlabSize_ = std::min(std::max(nextSlabSize_, slab->size) * 2, kLargestSlab);
    slabs_.push_back(std::move(*slab));
  }
  latest_ = next_;
  next_ += size;
  return latest_;
}

bool ParseArena::resizeInPlace(void* block, std::size_t newSize) {
  if (block != latest_) return false;
  auto* start = static_cast<std::byte*>(block);
  if (static_cast<std::size_t>(end_ - start) < rounded(newSize)) return false;
  next_ = start + rounded(newSize);
  return true;
}

}  // namespace markdown
