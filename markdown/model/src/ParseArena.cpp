#include "ParseArena.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace markdown {
namespace {

constexpr std::size_t kAlignment = alignof(std::max_align_t);

struct alignas(kAlignment) Header {
  ParseArena* arena;  // nullptr: the block is on the heap
  std::size_t size;   // what the block holds
};
static_assert(sizeof(Header) % kAlignment == 0);

thread_local ParseArena* current = nullptr;

std::size_t rounded(std::size_t size) {
  return (size + kAlignment - 1) / kAlignment * kAlignment;
}

Header* headerOf(void* block) {
  return static_cast<Header*>(block) - 1;
}

void* blockOf(Header* header) {
  return header + 1;
}

// A block of `size` bytes: a small one from the current arena, anything else from the heap.
void* newBlock(std::size_t size) {
  if (size > std::numeric_limits<std::size_t>::max() - sizeof(Header) - kAlignment) return nullptr;
  const std::size_t total = rounded(sizeof(Header) + size);
  Header* header;
  if (current && total <= ParseArena::kLargestSmallBlock) {
    header = static_cast<Header*>(current->allocate(total));
    if (!header) return nullptr;
    header->arena = current;
    header->size = total - sizeof(Header);
  } else {
    header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
    if (!header) return nullptr;
    header->arena = nullptr;
    header->size = size;
  }
  return blockOf(header);
}

void deleteBlock(Header* header) {
  if (header->arena) {
    header->arena->recycle(header, sizeof(Header) + header->size);
  } else {
    std::free(header);
  }
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
    if (size > std::numeric_limits<std::size_t>::max() - sizeof(Header)) return nullptr;
    auto* grown = static_cast<Header*>(std::realloc(header, sizeof(Header) + size));
    if (!grown) return nullptr;
    grown->size = size;
    return blockOf(grown);
  }
  if (size <= header->size) return block;
  void* moved = newBlock(size);
  if (!moved) return nullptr;
  std::memcpy(moved, block, header->size);
  deleteBlock(header);
  return moved;
}

void arenaFree(void* block) {
  if (block) deleteBlock(headerOf(block));
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
  while (lastSlab_) std::free(std::exchange(lastSlab_, lastSlab_->previous));
}

void* ParseArena::allocate(std::size_t size) {
  FreeBlock*& freeBlock = freeBlocks_[size / kAlignment - 1];
  if (freeBlock) return std::exchange(freeBlock, freeBlock->next);
  if (static_cast<std::size_t>(end_ - next_) < size) {
    auto* slab = static_cast<Slab*>(std::malloc(kSlabSize));
    if (!slab) return nullptr;
    slab->previous = std::exchange(lastSlab_, slab);
    ++slabCount_;
    // What is left of the last slab still serves a smaller block.
    if (next_ != end_) recycle(next_, static_cast<std::size_t>(end_ - next_));
    next_ = reinterpret_cast<std::byte*>(slab) + sizeof(Slab);
    end_ = reinterpret_cast<std::byte*>(slab) + kSlabSize;
  }
  void* block = next_;
  next_ += size;
  return block;
}

void ParseArena::recycle(void* block, std::size_t size) {
  auto* freeBlock = static_cast<FreeBlock*>(block);
  FreeBlock*& list = freeBlocks_[size / kAlignment - 1];
  freeBlock->next = list;
  list = freeBlock;
}

}  // namespace markdown
