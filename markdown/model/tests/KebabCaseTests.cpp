#include <gtest/gtest.h>

#include "markdown/KebabCase.h"

namespace markdown {
namespace {

TEST(KebabCase, SplitsAtEverySeparatorWithoutCollapsing) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", ""},
      {",", "-"},
      {"Hello, World", "hello--world"},
      {"One Two Three", "one-two-three"},
      {"\xC3\x9C"
       "ber 2",
       "\xC3\xBC"
       "ber-2"},  // Über 2
      {" lead and trail ", "-lead-and-trail-"},
      {"e\xCC\x81t\xC3\xA9", "e\xCC\x81t\xC3\xA9"},              // a combining mark is kept
      {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "--"},                // two scalars, two separators
      {"\xCE\x91\xCE\x92\xCE\x93", "\xCE\xB1\xCE\xB2\xCE\xB3"},  // ΑΒΓ
      {"x\xFFy", "x-y"},                                         // a stray byte separates
  };
  for (const auto& c : cases) EXPECT_EQ(kebabCased(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace markdown
