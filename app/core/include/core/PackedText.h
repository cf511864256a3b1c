#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace core {

// Keeps what packing needs between texts, so that packing thousands in a row on one thread
// allocates it once. One thread at a time.
class TextPacker {
 public:
  TextPacker();
  ~TextPacker();
  TextPacker(const TextPacker&) = delete;
  TextPacker& operator=(const TextPacker&) = delete;

 private:
  friend class PackedText;
  struct Context;
  std::unique_ptr<Context> context_;
};

// The same for unpacking.
class TextUnpacker {
 public:
  TextUnpacker();
  ~TextUnpacker();
  TextUnpacker(const TextUnpacker&) = delete;
  TextUnpacker& operator=(const TextUnpacker&) = delete;

 private:
  friend class PackedText;
  struct Context;
  std::unique_ptr<Context> context_;
};

// Text kept compressed (zstd at its fastest levels) while nobody reads it: a saved chat's JSON
// takes a third of its size or less. Text that does not shrink is kept as it is. Copies share
// the bytes; the value never changes.
class PackedText {
 public:
  PackedText() = default;
  explicit PackedText(std::string_view text);
  PackedText(std::string_view text, TextPacker& packer);

  // The size of the text, unpacked.
  std::size_t size() const { return size_; }
  // What it takes in memory.
  std::size_t packedSize() const { return packedSize_; }

  std::string unpacked() const;
  void appendUnpacked(std::string& out) const;
  void appendUnpacked(std::string& out, TextUnpacker& unpacker) const;

  // By the text.
  bool operator==(const PackedText& other) const;

 private:
  // Without a packer, the text is kept as it is.
  void pack(std::string_view text, TextPacker* packer);
  void unpackInto(char* out, TextUnpacker& unpacker) const;
  bool isStoredAsIs() const { return packedSize_ == size_; }

  std::shared_ptr<const char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t packedSize_ = 0;
};

}  // namespace core
