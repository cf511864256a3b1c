#include "Utf16.h"

namespace accessibility {

std::int64_t utf16Length(std::string_view utf8) {
  std::int64_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    std::size_t length = c < 0x80           ? 1
                         : (c >> 5) == 0x6  ? 2
                         : (c >> 4) == 0xE  ? 3
                         : (c >> 3) == 0x1E ? 4
                                            : 0;
    bool valid = length != 0 && i + length <= utf8.size();
    for (std::size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    if (!valid) {
      ++units;
      ++i;
      continue;
    }
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

}  // namespace accessibility
