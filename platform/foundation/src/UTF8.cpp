#include "foundation/UTF8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace foundation::utf8 {
namespace {

inline std::uint8_t byteAt(std::string_view text, std::size_t i) {
  return static_cast<std::uint8_t>(text[i]);
}

// The allowed range of the second byte rules out overlongs, surrogates and values past
// U+10FFFF in one check; later bytes are plain continuations.
inline Scalar decodeMultiByte(std::string_view text, std::size_t offset) {
  const std::uint8_t lead = byteAt(text, offset);
  std::size_t length;
  char32_t value;
  std::uint8_t low = 0x80, high = 0xBF;
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
  for (std::size_t k = 1; k < length; ++k) {
    if (offset + k >= text.size()) return {kReplacementCharacter, k, false};
    const std::uint8_t next = byteAt(text, offset + k);
    if (next < low || next > high) return {kReplacementCharacter, k, false};
    value = (value << 6) | (next & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {value, length, true};
}

// Whether the 32 bytes at `p` are all ASCII.
inline bool asciiBlock(const char* p) {
#if defined(__SSE2__)
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  return _mm_movemask_epi8(_mm_or_si128(a, b)) == 0;
#else
  std::uint64_t w[4];
  std::memcpy(w, p, sizeof w);
  return ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ULL) == 0;
#endif
}

}  // namespace

Scalar decode(std::string_view text, std::size_t offset) {
  const std::uint8_t lead = byteAt(text, offset);
  if (lead < 0x80) return {lead, 1, true};
  return decodeMultiByte(text, offset);
}

std::size_t validPrefixLength(std::string_view text) {
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Most text on the wire and in files is ASCII: step over it 32 bytes at a time.
    if (size - i >= 32 && asciiBlock(text.data() + i)) {
      i += 32;
      continue;
    }
    if (byteAt(text, i) < 0x80) {
      ++i;
      continue;
    }
    const Scalar scalar = decodeMultiByte(text, i);
    if (!scalar.valid) return i;
    i += scalar.length;
  }
  return size;
}

bool isValid(std::string_view text) {
  return validPrefixLength(text) == text.size();
}

std::optional<std::string> repairedIfInvalid(std::string_view text) {
  std::size_t i = validPrefixLength(text);
  if (i == text.size()) return std::nullopt;
  std::string out(text.substr(0, i));
  out.reserve(text.size() + kReplacementCharacterUTF8.size());
  while (i < text.size()) {
    const Scalar scalar = decode(text, i);
    if (scalar.valid) {
      out.append(text.substr(i, scalar.length));
    } else {
      out.append(kReplacementCharacterUTF8);
    }
    i += scalar.length;
  }
  return out;
}

std::string repaired(std::string_view text) {
  std::optional<std::string> fixed = repairedIfInvalid(text);
  return fixed ? std::move(*fixed) : std::string(text);
}

void append(std::string& out, char32_t scalar) {
  if ((scalar >= 0xD800 && scalar <= 0xDFFF) || scalar > 0x10FFFF) scalar = kReplacementCharacter;
  if (scalar < 0x80) {
    out += static_cast<char>(scalar);
  } else if (scalar < 0x800) {
    out += static_cast<char>(0xC0 | (scalar >> 6));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  } else if (scalar < 0x10000) {
    out += static_cast<char>(0xE0 | (scalar >> 12));
    out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (scalar >> 18));
    out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  }
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += decode(text, i).length) ++count;
  return count;
}

std::u16string toUTF16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Scalar scalar = decode(text, i);
    if (scalar.value >= 0x10000) {
      const char32_t v = scalar.value - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<char16_t>(scalar.value);
    }
    i += scalar.length;
  }
  return out;
}

std::string fromUTF16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    append(out, unit);  // an unpaired surrogate becomes U+FFFD
  }
  return out;
}

std::size_t utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Scalar scalar = decode(text, i);
    units += scalar.value >= 0x10000 ? 2 : 1;
    i += scalar.length;
  }
  return units;
}

std::string_view prefix(std::string_view text, std::size_t maxBytes) {
  if (maxBytes >= text.size()) return text;
  std::size_t end = 0;
  while (end < maxBytes) {
    const std::size_t next = end + decode(text, end).length;
    if (next > maxBytes) break;
    end = next;
  }
  return text.substr(0, end);
}

}  // namespace foundation::utf8
