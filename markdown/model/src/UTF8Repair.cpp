#include "UTF8Repair.h"

#include <cstddef>
#include <cstdint>

namespace markdown {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed sequence at `i`, or 0 when it is ill-formed; then `bad`
// is the length of the ill-formed subpart to replace.
std::size_t sequenceLength(std::string_view text, std::size_t i, std::size_t& bad) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  bad = 1;
  if (lead < 0x80) return 1;
  std::size_t length;
  std::uint8_t low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= text.size()) return 0;
    const std::uint8_t next = byte(i + k);
    const bool allowed = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
    if (!allowed) return 0;
    bad = k + 1;
  }
  return length;
}

}  // namespace

std::optional<std::string> repairedUTF8(std::string_view text) {
  std::size_t i = 0, bad = 0;
  while (i < text.size()) {
    const std::size_t length = sequenceLength(text, i, bad);
    if (length == 0) break;
    i += length;
  }
  if (i == text.size()) return std::nullopt;

  std::string out(text.substr(0, i));
  out.reserve(text.size() + kReplacement.size());
  while (i < text.size()) {
    if (const std::size_t length = sequenceLength(text, i, bad)) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out.append(kReplacement);
      i += bad;
    }
  }
  return out;
}

}  // namespace markdown
