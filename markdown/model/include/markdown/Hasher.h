#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace markdown {

// Accumulates the values that a model type feeds in, in order, into one hash. The function
// and seed are fixed so hashes are reproducible within a build; they are never stored.
class Hasher {
 public:
  // A machine-word integer: case ordinals, counts, 64-bit numbers.
  void combine(std::uint64_t word) { state_ = mix(state_ ^ word); }
  // One byte: a Bool, or the tag of an optional.
  void combineByte(std::uint8_t byte) { state_ = mix((state_ ^ byte) + kByteTag); }
  // A text, by its own hash.
  void combine(std::string_view text);
  // A 64-bit floating-point number; -0 is fed as 0 so that equal numbers hash alike.
  void combine(double number);

  std::size_t finalize() const { return static_cast<std::size_t>(mix(state_ ^ kFinal)); }

 private:
  static constexpr std::uint64_t kByteTag = 0x9e3779b97f4a7c15ULL;
  static constexpr std::uint64_t kFinal = 0x2545f4914f6cdd1dULL;

  static constexpr std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
  }

  std::uint64_t state_ = 0x84222325cbf29ce4ULL;
};

// The hash of a value: fed into a fresh hasher, then finalised.
template <class T>
std::size_t hashValue(const T& value) {
  Hasher hasher;
  hashInto(hasher, value);
  return hasher.finalize();
}

}  // namespace markdown
