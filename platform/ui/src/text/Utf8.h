#pragma once

#include <cstddef>
#include <string_view>

namespace ui::utf8 {

// The length in bytes of the character that starts at `i`; a byte that starts no valid
// sequence counts as a character of its own.
inline std::size_t characterLength(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  std::size_t n = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 1;
  if (i + n > s.size()) return 1;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

inline std::size_t countCharacters(std::string_view s) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < s.size(); i += characterLength(s, i)) ++count;
  return count;
}

}  // namespace ui::utf8
