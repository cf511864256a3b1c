#include "markdown/KebabCase.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace markdown {

std::string lowercased(std::string_view text) {
  std::string out;
  icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())))
      .toLower(icu::Locale::getRoot())
      .toUTF8String(out);
  return out;
}

std::string kebabCased(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t pieceStart = 0, i = 0;
  while (i < length) {
    const std::int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    const bool alphanumeric =
        c >= 0 && (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
    if (!alphanumeric) {
      out += lowercased(text.substr(pieceStart, start - pieceStart));
      out += '-';
      pieceStart = i;
    }
  }
  out += lowercased(text.substr(pieceStart));
  return out;
}

}  // namespace markdown
