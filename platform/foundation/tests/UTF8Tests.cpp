#include <gtest/gtest.h>

#include "foundation/UTF8.h"

namespace foundation::utf8 {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// The table of well-formed byte sequences: each row's lowest and highest sequence is accepted
// and decodes to its code point; one step outside a row's second-byte range is not.
TEST(UTF8, AcceptsExactlyTheWellFormedByteSequences) {
  struct Row {
    std::string lowest, highest;
    char32_t first, last;
  };
  const Row rows[] = {
      {bytes({0x00}), bytes({0x7F}), 0x0000, 0x007F},
      {bytes({0xC2, 0x80}), bytes({0xDF, 0xBF}), 0x0080, 0x07FF},
      {bytes({0xE0, 0xA0, 0x80}), bytes({0xE0, 0xBF, 0xBF}), 0x0800, 0x0FFF},
      {bytes({0xE1, 0x80, 0x80}), bytes({0xEC, 0xBF, 0xBF}), 0x1000, 0xCFFF},
      {bytes({0xED, 0x80, 0x80}), bytes({0xED, 0x9F, 0xBF}), 0xD000, 0xD7FF},
      {bytes({0xEE, 0x80, 0x80}), bytes({0xEF, 0xBF, 0xBF}), 0xE000, 0xFFFF},
      {bytes({0xF0, 0x90, 0x80, 0x80}), bytes({0xF0, 0xBF, 0xBF, 0xBF}), 0x10000, 0x3FFFF},
      {bytes({0xF1, 0x80, 0x80, 0x80}), bytes({0xF3, 0xBF, 0xBF, 0xBF}), 0x40000, 0xFFFFF},
      {bytes({0xF4, 0x80, 0x80, 0x80}), bytes({0xF4, 0x8F, 0xBF, 0xBF}), 0x100000, 0x10FFFF},
  };
  for (const Row& row : rows) {
    for (auto [text, expected] : {std::pair{row.lowest, row.first}, {row.highest, row.last}}) {
      EXPECT_TRUE(isValid(text)) << testing::PrintToString(text);
      const Scalar scalar = decode(text, 0);
      EXPECT_TRUE(scalar.valid);
      EXPECT_EQ(scalar.value, expected);
      EXPECT_EQ(scalar.length, text.size());
      std::string encoded;
      append(encoded, expected);
      EXPECT_EQ(encoded, text);
    }
  }

  const std::string malformed[] = {
      bytes({0xC0, 0x80}),              // overlong NUL
      bytes({0xC1, 0xBF}),              // overlong
      bytes({0xE0, 0x9F, 0xBF}),        // overlong three bytes
      bytes({0xF0, 0x8F, 0xBF, 0xBF}),  // overlong four bytes
      bytes({0xED, 0xA0, 0x80}),        // high surrogate
      bytes({0xED, 0xBF, 0xBF}),        // low surrogate
      bytes({0xF4, 0x90, 0x80, 0x80}),  // past U+10FFFF
      bytes({0xF5, 0x80, 0x80, 0x80}),
      bytes({0xFF}),
      bytes({0x80}),              // lone continuation
      bytes({0xC3}),              // truncated
      bytes({0xE2, 0x82}),        // truncated
      bytes({0xF0, 0x9F, 0x98}),  // truncated
      bytes({0xC3, 0x41}),        // lead without continuation
      "sixteen ascii by\xFF",     // behind the ASCII fast path
      "abcdefghijklmnopqrstuvwxyz0123456789\xE2\x82",
  };
  for (const std::string& text : malformed) {
    EXPECT_FALSE(isValid(text)) << testing::PrintToString(text);
    if (text.size() <= 4) {
      EXPECT_FALSE(decode(text, 0).valid);
    }
  }
  EXPECT_TRUE(isValid(""));
  EXPECT_TRUE(isValid("a long run of ascii, then \xE2\x82\xAC, then more ascii after it"));
  EXPECT_EQ(validPrefixLength("abc\xC3\xA9\xE2\x82"), 5u);
}

TEST(UTF8, ReplacesEachMaximalIllFormedSubpart) {
  const std::string fffd(kReplacementCharacterUTF8);
  // The standard's own example: a truncated four- and three-byte sequence, a lone lead and
  // stray continuations.
  EXPECT_EQ(repaired(bytes(
                {0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64})),
            "a" + fffd + fffd + fffd + "b" + fffd + "c" + fffd + fffd + "d");
  EXPECT_EQ(repaired(bytes({0xC0, 0x80})), fffd + fffd);
  EXPECT_EQ(repaired(bytes({0xED, 0xA0, 0x80})), fffd + fffd + fffd);
  EXPECT_EQ(repaired("a\xE2\x82"), "a" + fffd);
  EXPECT_EQ(repaired("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_FALSE(repairedIfInvalid("caf\xC3\xA9"));
  ASSERT_TRUE(repairedIfInvalid("\xFF"));

  // Counting agrees with repairing: one character per replacement.
  EXPECT_EQ(characterCount("a\xC3\xA9\xF0\x9F\x98\x80"), 3u);
  EXPECT_EQ(characterCount(bytes({0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62})), 5u);
  EXPECT_EQ(decode("\xF1\x80\x80", 0).length, 3u);
  EXPECT_EQ(decode("\xE1\x80\xC2", 0).length, 2u);
}

TEST(UTF8, ConvertsToAndFromUTF16) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::u16string utf16 = u"a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(toUTF16(text), utf16);
  EXPECT_EQ(utf16Length(text), 5u);
  EXPECT_EQ(fromUTF16(utf16), text);
  EXPECT_EQ(toUTF16("x\xC0\x80"), u"x\uFFFD\uFFFD");
  EXPECT_EQ(utf16Length("x\xC0\x80"), 3u);
  const char16_t unpaired[] = {u'a', 0xD800, u'b', 0xDC00};
  EXPECT_EQ(
      fromUTF16(std::u16string_view(unpaired, 4)),
      "a" + std::string(kReplacementCharacterUTF8) + "b" + std::string(kReplacementCharacterUTF8));
  std::string encoded;
  append(encoded, 0xD800);
  append(encoded, 0x110000);
  EXPECT_EQ(encoded,
            std::string(kReplacementCharacterUTF8) + std::string(kReplacementCharacterUTF8));
}

TEST(UTF8, PrefixNeverCutsACharacter) {
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80z";
  EXPECT_EQ(prefix(text, 0), "");
  EXPECT_EQ(prefix(text, 2), "a");
  EXPECT_EQ(prefix(text, 3), "a\xC3\xA9");
  EXPECT_EQ(prefix(text, 6), "a\xC3\xA9");
  EXPECT_EQ(prefix(text, 7), "a\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(prefix(text, 100), text);
}

}  // namespace
}  // namespace foundation::utf8
