#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace foundation {

// A random (version 4) UUID; its text is upper-case 8-4-4-4-12.
class UUID {
 public:
  UUID();  // a fresh random one
  std::string uuidString() const;
  bool operator==(const UUID&) const = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace foundation
