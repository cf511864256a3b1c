#include "panel/LongText.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "foundation/UTF8.h"

namespace panel {

namespace {

// How far back from the limit a line break or a space is looked for.
constexpr std::size_t kLineSearch = 2048;
constexpr std::size_t kWordSearch = 128;

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::string withThousandsSeparators(std::size_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

std::size_t characterCount(std::string_view text) {
  // Eight bytes at a time: a character starts at every byte that is not 10xxxxxx.
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::size_t continuation = 0, i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    continuation += static_cast<std::size_t>(std::popcount(word & ~(word << 1) & kHighBits));
  }
  for (; i < text.size(); ++i) continuation += isContinuationByte(text[i]) ? 1 : 0;
  return text.size() - continuation;
}

TextBeginning textBeginning(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return {text, 0};
  const std::string_view head = foundation::utf8::prefix(text, limit);
  std::size_t cut = head.size();
  const std::size_t floor = cut > kLineSearch ? cut - kLineSearch : 0;
  if (const auto line = head.rfind('\n'); line != std::string_view::npos && line > floor) {
    cut = line;
  } else if (const auto space = head.rfind(' ');
             space != std::string_view::npos && space + kWordSearch > cut && space > 0) {
    cut = space;
  }
  return {text.substr(0, cut), characterCount(text.substr(cut))};
}

std::string moreCharactersNote(std::size_t count) {
  return "\u2026 " + withThousandsSeparators(count) +
         (count == 1 ? " more character" : " more characters");
}

}  // namespace panel
