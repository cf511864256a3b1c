#include <gtest/gtest.h>

#include "appkit/x11/Latin1.h"

namespace appkit::x11 {
namespace {

TEST(Latin1, ConvertsBothWaysAndReplacesWhatHasNoForm) {
  EXPECT_EQ(latin1ToUtf8("caf\xE9 \xFF\x7F"), "café ÿ\x7F");
  const std::pair<std::string_view, std::string_view> toLatin1[] = {
      {"café", "caf\xE9"},  {"ÿ", "\xFF"}, {"✓ 😀", "? ?"}, {"a\xC3", "a?"},  // cut sequence
      {"\xC3(b", "?(b"},                                                     // bad continuation
      {"\x80x", "?x"},                                                       // stray continuation
      {"\xC2\x85", "\x85"},                                                  // C1 control
      {"\xC1\xBF", "??"},  // overlong form of an ASCII character: two ill-formed bytes
  };
  for (auto [utf8, latin1] : toLatin1) EXPECT_EQ(utf8ToLatin1(utf8), latin1) << utf8;
}

}  // namespace
}  // namespace appkit::x11
