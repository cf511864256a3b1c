#pragma once

#include <security/Dictionary.h>

namespace keychain {

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool isValidUtf8(const security::Bytes& bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t c = bytes[i];
    std::size_t extra;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;
    for (std::size_t j = 1; j <= extra; ++j) {
      if ((bytes[i + j] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (bytes[i + j] & 0x3F);
    }
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace keychain
