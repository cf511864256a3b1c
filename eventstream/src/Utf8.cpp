#include "eventstream/Utf8.h"

#include <cstdint>
#include <cstring>

namespace eventstream {
namespace {

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

Utf8Scalar decodeUtf8Scalar(std::string_view text, std::size_t offset) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[offset + i]); };
  const std::size_t available = text.size() - offset;
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1, true};

  std::size_t length = 0;
  char32_t value = 0;
  // The allowed range of the second byte rules out overlongs, surrogates and values past
  // U+10FFFF in one check.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (available < length) return {};
  if (byte(1) < low || byte(1) > high) return {};
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(byte(i))) return {};
    value = (value << 6) | (byte(i) & 0x3F);
  }
  return {value, length, true};
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Most stream text is ASCII: step over it eight bytes at a time.
    if (text.size() - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const Utf8Scalar scalar = decodeUtf8Scalar(text, i);
    if (!scalar.valid) return false;
    i += scalar.length;
  }
  return true;
}

}  // namespace eventstream
