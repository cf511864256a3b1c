#pragma once

#include <cmark-gfm.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace markdown {

// The memory of one cmark-gfm document. The library makes thousands of small allocations per
// parse and frees them all at once with the document, so they are carved from large slabs and
// released together when the arena goes, after the document. Every block carries a header
// naming its arena (none for the heap), so the library may free or grow a block anywhere;
// only allocations made while a Scope is active on the thread come from the arena.
class ParseArena {
 public:
  ParseArena() = default;
  // Hands its slabs to the next document (a few are kept), so that an answer parsed again at
  // every streamed token does not ask the system for fresh memory each time.
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

  // `size` bytes (aligned like malloc's), uninitialised; nullptr when memory runs out.
  void* allocate(std::size_t size);
  // Grows or shrinks the block in place when it is the latest one and there is room.
  bool resizeInPlace(void* block, std::size_t newSize);

  struct Slab {
    std::unique_ptr<std::byte[]> memory;
    std::size_t size = 0;
  };
  // At most this many slabs of at most this many bytes in all wait for the next document.
  static constexpr std::size_t kKeptSlabs = 2;
  static constexpr std::size_t kKeptBytes = 2 * 1024 * 1024;
  // The bytes of the slabs waiting now.
  static std::size_t keptBytes();

 private:
  std::vector<Slab> slabs_;
  std::byte* next_ = nullptr;
  std::byte* end_ = nullptr;
  std::byte* latest_ = nullptr;
  std::size_t nextSlabSize_ = 64 * 1024;
};

}  // namespace markdown
