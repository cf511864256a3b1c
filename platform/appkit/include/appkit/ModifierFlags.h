#pragma once

#include <cstdint>

namespace appkit {

// The modifier keys held during an input event, in the bit layout of the original design's
// event flags (stored shortcuts and key handling depend on these values). On X11: Shift, Lock,
// Control, the Alt modifier as option and the Super modifier as command; Num Lock is dropped.
struct ModifierFlags {
  std::uint64_t rawValue = 0;

  static constexpr std::uint64_t capsLock = 0x10000;
  static constexpr std::uint64_t shift = 0x20000;
  static constexpr std::uint64_t control = 0x40000;
  static constexpr std::uint64_t option = 0x80000;
  static constexpr std::uint64_t command = 0x100000;
  static constexpr std::uint64_t numericPad = 0x200000;
  static constexpr std::uint64_t help = 0x400000;
  static constexpr std::uint64_t function = 0x800000;
  static constexpr std::uint64_t deviceIndependentFlagsMask = 0xffff0000;

  constexpr ModifierFlags() = default;
  constexpr explicit ModifierFlags(std::uint64_t raw) : rawValue(raw) {}

  constexpr bool contains(std::uint64_t flags) const { return (rawValue & flags) == flags; }
  constexpr bool isEmpty() const { return rawValue == 0; }
  constexpr ModifierFlags operator|(std::uint64_t flags) const {
    return ModifierFlags(rawValue | flags);
  }
  constexpr ModifierFlags operator|(ModifierFlags other) const {
    return ModifierFlags(rawValue | other.rawValue);
  }
  constexpr ModifierFlags& operator|=(std::uint64_t flags) {
    rawValue |= flags;
    return *this;
  }
  constexpr ModifierFlags intersection(std::uint64_t flags) const {
    return ModifierFlags(rawValue & flags);
  }
  constexpr bool operator==(const ModifierFlags&) const = default;
};

}  // namespace appkit
