#pragma once

#include <cmark-gfm.h>

#include <array>
#include <cstddef>

namespace markdown {

// The small blocks of one cmark-gfm document (nodes, short texts, their bookkeeping: tens of
// thousands for a long answer), carved one after another from slabs, so that the walks over the
// tree read memory in order instead of wherever a used heap had a hole. Freed blocks serve later
// ones of their size. The slabs are small heap blocks, which the holes of a heap that other code
// uses can hold, so a parse faults in no more fresh pages than the library alone would; growing
// buffers (lines, paragraph contents, long literals) go to the heap directly.
//
// Every block carries a header naming its arena (none for the heap), so the library may free or
// grow a block anywhere; only allocations made while a Scope is active on the thread come from
// the arena. An arena serves one thread at a time.
class ParseArena {
 public:
  ParseArena() = default;
  // Gives the slabs back to the heap.
  ~ParseArena();
  ParseArena(const ParseArena&) = delete;
  ParseArena& operator=(const ParseArena&) = delete;

  // The allocator to hand the parser.
  static cmark_mem* allocator();

  // Sends this thread's allocations to `arena` while it lives.
  class Scope {
   public:
    explicit Scope(ParseArena& arena);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ParseArena* previous_;
  };

  // Blocks up to this size, header included, come from the slabs.
  static constexpr std::size_t kLargestSmallBlock = 512;
  static constexpr std::size_t kSlabSize = 8 * 1024;

  // A block of `size` bytes (a multiple of the alignment, at most kLargestSmallBlock),
  // uninitialised; nullptr when memory runs out.
  void* allocate(std::size_t size);
  // Takes back a block that allocate() gave, of the same `size`, for a later allocation.
  void recycle(void* block, std::size_t size);

  // The slabs taken from the heap so far.
  std::size_t slabCount() const { return slabCount_; }

 private:
  static constexpr std::size_t kAlignment = alignof(std::max_align_t);
  static constexpr std::size_t kSizeClasses = kLargestSmallBlock / kAlignment;

  struct FreeBlock {
    FreeBlock* next;
  };
  // Opens every slab; the slabs form a list from the latest back.
  struct alignas(kAlignment) Slab {
    Slab* previous;
  };

  Slab* lastSlab_ = nullptr;
  std::size_t slabCount_ = 0;
  std::byte* next_ = nullptr;
  std::byte* end_ = nullptr;
  std::array<FreeBlock*, kSizeClasses> freeBlocks_{};  // by size / kAlignment - 1
};

}  // namespace markdown
