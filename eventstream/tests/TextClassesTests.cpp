#include <gtest/gtest.h>

#include "eventstream/UnicodeWhitespace.h"

namespace eventstream {
namespace {

TEST(UnicodeWhitespace, ClassifiesSpacesAndNewlines) {
  struct Case {
    char32_t c;
    bool spaceOrTab;
    bool whitespaceOrNewline;
  };
  const Case cases[] = {
      {U' ', true, true},    {U'\t', true, true},    {U'\n', false, true}, {U'\v', false, true},
      {U'\f', false, true},  {U'\r', false, true},   {0x85, false, true},  {0xA0, true, true},
      {0x1680, true, true},  {0x2000, true, true},   {0x200A, true, true}, {0x200B, false, false},
      {0x2028, false, true}, {0x2029, false, true},  {0x202F, true, true}, {0x205F, true, true},
      {0x3000, true, true},  {0xFEFF, false, false}, {U'a', false, false}, {0x0E, false, false},
      {0x08, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isSpaceOrTab(c.c), c.spaceOrTab) << std::hex << static_cast<unsigned>(c.c);
    EXPECT_EQ(isWhitespaceOrNewline(c.c), c.whitespaceOrNewline)
        << std::hex << static_cast<unsigned>(c.c);
  }
}

}  // namespace
}  // namespace eventstream
