#include "eventstream/UnicodeWhitespace.h"

namespace eventstream {
namespace {

bool isSpaceSeparator(char32_t c) {
  switch (c) {
    case 0x0020:
    case 0x00A0:
    case 0x1680:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

}  // namespace

bool isSpaceOrTab(char32_t c) {
  return c == 0x0009 || isSpaceSeparator(c);
}

bool isWhitespaceOrNewline(char32_t c) {
  if (c >= 0x0009 && c <= 0x000D) return true;
  return c == 0x0085 || c == 0x2028 || c == 0x2029 || isSpaceSeparator(c);
}

}  // namespace eventstream
