#include <gtest/gtest.h>

#include "eventstream/UnicodeWhitespace.h"
#include "eventstream/Utf8.h"

namespace eventstream {
namespace {

TEST(Utf8, AcceptsOnlyWellFormedText) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain ascii, longer than eight bytes", true},
      {"\xC3\xA9", true},           // é
      {"\xE2\x82\xAC", true},       // €
      {"\xF0\x9F\x98\x80", true},   // emoji
      {"\xED\x9F\xBF", true},       // U+D7FF, just below the surrogates
      {"\xEE\x80\x80", true},       // U+E000, just above them
      {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
      {"\xC0\x80", false},          // overlong NUL
      {"\xC1\xBF", false},          // overlong
      {"\xE0\x9F\xBF", false},      // overlong three bytes
      {"\xF0\x8F\xBF\xBF", false},  // overlong four bytes
      {"\xED\xA0\x80", false},      // high surrogate
      {"\xED\xBF\xBF", false},      // low surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\x80", false},          // lone continuation
      {"\xC3", false},          // truncated
      {"\xE2\x82", false},      // truncated
      {"\xC3\x41", false},      // lead without continuation
      {"abcdefgh\xFF", false},  // behind the ASCII fast path
      {"abcdefg\xE2\x82\xAC and more", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(Utf8, DecodesScalarsWithTheirLength) {
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80";
  EXPECT_EQ(decodeUtf8Scalar(text, 0).value, U'a');
  EXPECT_EQ(decodeUtf8Scalar(text, 1).value, U'\u00E9');
  EXPECT_EQ(decodeUtf8Scalar(text, 1).length, 2u);
  EXPECT_EQ(decodeUtf8Scalar(text, 3).value, U'\U0001F600');
  EXPECT_EQ(decodeUtf8Scalar(text, 3).length, 4u);
  EXPECT_FALSE(decodeUtf8Scalar(text, 4).valid);
  EXPECT_EQ(decodeUtf8Scalar(text, 4).length, 1u);
}

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
