#include <gtest/gtest.h>

#include "eventstream/Event.h"
#include "eventstream/EventStreamParser.h"

namespace eventstream {
namespace {

const std::vector<std::string> kNewlines{"\r\n", "\n", "\r"};
constexpr auto none = std::nullopt;

TEST(Event, ParseLineSplitsKeyAndValue) {
  struct Case {
    std::string line;
    Event::Line expected;
  };
  const Case cases[] = {
      {"data: x", {"data", "x"}},
      {"data:x", {"data", "x"}},
      {"data::x", {"data", ":x"}},
      {"data: a:b", {"data", "a:b"}},
      {"data", {"data", ""}},
      {"data:", {"data", ""}},
      {"event", {"event", none}},
      {"event:   ", {"event", none}},
      {"data :x", {"data ", "x"}},
      {"  data:   v  ", {"data", "v  "}},
      {"\xE3\x80\x80"
       "data:\xE2\x80\xA8v",
       {"data", "v"}},  // blanks of other scripts
      {"data: a\xC2\x85"
       "b\xE2\x80\xA9",
       {"data",
        "a\xC2\x85"
        "b\xE2\x80\xA9"}},
      {": comment", {none, "comment"}},
      {"   ", {none, ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(Event::parseLine(c.line, kNewlines), c.expected) << c.line;
}

TEST(Event, RetryTimeIsAStrictSignedDecimal) {
  struct Case {
    std::optional<std::string> time;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {none, none},
      {" 1500 ", 1500},
      {"\t42\xE3\x80\x80", 42},
      {"-5", -5},
      {"+5", 5},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", none},
      {"1.5", none},
      {"10ms", none},
      {"1 5", none},
      {"", none},
      {"  ", none},
      {"+", none},
      {"-", none},
      {"+-5", none},
      {"\xEF\xBC\x95", none},  // a full-width digit
      {"\n5", none},           // only spaces and tabs are trimmed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Event(none, none, none, c.time).retryTime(), c.expected)
        << c.time.value_or("<absent>");
  }
}

}  // namespace
}  // namespace eventstream
