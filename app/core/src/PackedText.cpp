#include "core/PackedText.h"

#include <zstd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace core {
namespace {

// The fastest level that still packs prose and code about threefold.
constexpr int kPackingLevel = 1;
// Shorter texts gain less than a frame costs.
constexpr std::size_t kShortestPacked = 64;

std::shared_ptr<const char[]> copyOf(const char* bytes, std::size_t size) {
  auto copy = std::make_shared_for_overwrite<char[]>(size);
  std::memcpy(copy.get(), bytes, size);
  return copy;
}

}  // namespace

struct TextPacker::Context {
  Context() : stream(ZSTD_createCCtx()) {
    if (!stream) throw std::bad_alloc();
  }
  ~Context() { ZSTD_freeCCtx(stream); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  ZSTD_CCtx* stream;
  std::unique_ptr<char[]> buffer;  // kept for the next text
  std::size_t capacity = 0;
};

struct TextUnpacker::Context {
  Context() : stream(ZSTD_createDCtx()) {
    if (!stream) throw std::bad_alloc();
  }
  ~Context() { ZSTD_freeDCtx(stream); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  ZSTD_DCtx* stream;
};

TextPacker::TextPacker() : context_(std::make_unique<Context>()) {}
TextPacker::~TextPacker() = default;
TextUnpacker::TextUnpacker() : context_(std::make_unique<Context>()) {}
TextUnpacker::~TextUnpacker() = default;

PackedText::PackedText(std::string_view text) {
  if (text.size() < kShortestPacked) {
    pack(text, nullptr);
    return;
  }
  TextPacker packer;
  pack(text, &packer);
}

PackedText::PackedText(std::string_view text, TextPacker& packer) {
  pack(text, &packer);
}

void PackedText::pack(std::string_view text, TextPacker* packing) {
  size_ = packedSize_ = text.size();
  if (text.empty()) return;
  if (packing && text.size() >= kShortestPacked) {
    auto& packer = *packing->context_;
    const std::size_t bound = ZSTD_compressBound(text.size());
    if (packer.capacity < bound) {
      packer.buffer.reset();  // not held twice
      packer.buffer = std::make_unique_for_overwrite<char[]>(bound);
      packer.capacity = bound;
    }
    const std::size_t packed = ZSTD_compressCCtx(packer.stream, packer.buffer.get(), bound,
                                                 text.data(), text.size(), kPackingLevel);
    if (!ZSTD_isError(packed) && packed < text.size()) {
      bytes_ = copyOf(packer.buffer.get(), packed);
      packedSize_ = packed;
      return;
    }
  }
  bytes_ = copyOf(text.data(), text.size());
}

void PackedText::unpackInto(char* out, TextUnpacker& unpacker) const {
  if (isStoredAsIs()) {
    if (size_ > 0) std::memcpy(out, bytes_.get(), size_);
    return;
  }
  const std::size_t unpacked =
      ZSTD_decompressDCtx(unpacker.context_->stream, out, size_, bytes_.get(), packedSize_);
  // Only memory gone bad gets here: writing on would save garbage over the user's chats.
  if (ZSTD_isError(unpacked) || unpacked != size_) {
    std::fprintf(stderr, "Quillcast: a saved chat in memory is damaged\n");
    std::abort();
  }
}

std::string PackedText::unpacked() const {
  std::string text;
  appendUnpacked(text);
  return text;
}

void PackedText::appendUnpacked(std::string& out) const {
  if (size_ == 0) return;
  if (isStoredAsIs()) {
    out.append(bytes_.get(), size_);
    return;
  }
  TextUnpacker unpacker;
  appendUnpacked(out, unpacker);
}

void PackedText::appendUnpacked(std::string& out, TextUnpacker& unpacker) const {
  const std::size_t at = out.size();
  out.resize(at + size_);
  unpackInto(out.data() + at, unpacker);
}

bool PackedText::operator==(const PackedText& other) const {
  if (size_ != other.size_) return false;
  if (bytes_ == other.bytes_) return true;
  return unpacked() == other.unpacked();
}

}  // namespace core
