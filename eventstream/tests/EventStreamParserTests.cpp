#include <gtest/gtest.h>

#include "eventstream/EventStreamParser.h"

namespace eventstream {
namespace {

constexpr auto none = std::nullopt;

Event data(std::string value) {
  return Event(none, none, std::move(value), none);
}

std::vector<Event> feed(EventStreamParser& parser, const std::vector<std::string>& chunks) {
  std::vector<Event> events;
  for (const auto& chunk : chunks) {
    for (auto& event : parser.append(chunk)) events.push_back(std::move(event));
  }
  return events;
}

TEST(EventStreamParser, TurnsBlocksIntoEvents) {
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<Event> expected;
    std::string leftInBuffer;
  };
  const Case cases[] = {
      {"one LF block", {"data: a\n\n"}, {data("a")}, ""},
      {"CRLF block", {"data: a\r\n\r\n"}, {data("a")}, ""},
      {"CR blocks", {"data: a\r\rdata: b\r\r"}, {data("a"), data("b")}, ""},
      {"two LF blocks", {"data: a\n\ndata: b\n\n"}, {data("a"), data("b")}, ""},
      {"earlier kind wins over an earlier position",
       {"data: a\n\ndata: b\r\n\r\n"},
       {data("a\nb")},
       ""},
      {"the same bytes in two chunks",
       {"data: a\n\n", "data: b\r\n\r\n"},
       {data("a"), data("b")},
       ""},
      {"delimiter split across chunks", {"data: a\n", "\n"}, {data("a")}, ""},
      {"CRLF delimiter byte by byte", {"data: a\r", "\n", "\r", "\n"}, {data("a")}, ""},
      {"an earlier kind completed later", {"data: a\n", "\ndata: b\r\n\r\n"}, {data("a\nb")}, ""},
      {"incomplete tail stays", {"data: a\n\ndata: b"}, {data("a")}, "data: b"},
      {"blanks: leading dropped, trailing kept", {"data:   x  \n\n"}, {data("x  ")}, ""},
      {"bare data lines", {"data\ndata\n\n"}, {data("\n")}, ""},
      {"repeated id joins",
       {"id: 1\r\nid: 2\r\ndata: x\r\n\r\n"},
       {Event("1\n2", none, "x", none)},
       ""},
      {"bare event cancels the name", {"event: a\nevent\ndata: x\n\n"}, {data("x")}, ""},
      {"named event with retry",
       {"event: update\nretry: 5000\nid: 7\ndata: x\n\n"},
       {Event("7", "update", "x", "5000")},
       ""},
      {"comment block dropped whole", {":hi\ndata: x\n\ndata: y\n\n"}, {data("y")}, ""},
      {"comment line inside a block", {"data: x\n:hi\n\n"}, {data("x")}, ""},
      {"keys are case-sensitive", {"Data: x\n\n"}, {Event()}, ""},
      {"unknown keys only", {"foo: bar\nretry2: 1\n\n"}, {Event()}, ""},
      {"blank before the colon", {"data : x\n\n"}, {Event()}, ""},
      {"invalid UTF-8 block dropped, next kept", {"data: \xFF\n\ndata: ok\n\n"}, {data("ok")}, ""},
      {"surrogate block dropped", {"data: \xED\xA0\x80\n\n"}, {}, ""},
      {"JSON keeps raw separators",
       {"data: {\"c\":\"a\xE2\x80\xA8"
        "b\xE2\x80\xA9"
        "c\xC2\x85"
        "d\v\fe\"}\n\n"},
       {data("{\"c\":\"a\xE2\x80\xA8"
             "b\xE2\x80\xA9"
             "c\xC2\x85"
             "d\v\fe\"}")},
       ""},
      {"a leading byte-order mark is skipped",
       {"\xEF\xBB\xBF"
        "data: a\n\n"},
       {data("a")},
       ""},
      {"a byte-order mark split across chunks",
       {"\xEF", "\xBB", "\xBF", "data: a\n\n"},
       {data("a")},
       ""},
      {"only the first byte-order mark is skipped",
       {"\xEF\xBB\xBF\xEF\xBB\xBF"
        "data: a\n\n",
        "\xEF\xBB\xBF"
        "data: b\n\n"},
       {Event(), Event()},
       ""},
      {"a stream that opens like one but is not", {"\xEF\xBB"}, {}, "\xEF\xBB"},
      {"multi-byte text split across chunks",
       {"data: \xE2\x82", "\xAC\n\n"},
       {data("\xE2\x82\xAC")},
       ""},
  };
  for (const auto& c : cases) {
    EventStreamParser parser;
    EXPECT_EQ(feed(parser, c.chunks), c.expected) << c.name;
    EXPECT_EQ(parser.dataBuffer(), c.leftInBuffer) << c.name;
  }
}

TEST(EventStreamParser, ChunkingDoesNotChangeTheResultOfOneStyleStreams) {
  for (const std::string newline : {"\n", "\r\n", "\r"}) {
    const std::string nl2 = newline + newline;
    const std::string stream = "id: 1" + newline + "data: {\"text\":\"Hello\"}" + nl2 +
                               ":keep-alive" + nl2 + "event: done" + newline + "data: x" + nl2 +
                               "data: " + std::string(300, 'z') + nl2 + "data: tail";
    EventStreamParser whole;
    const std::vector<Event> expected = whole.append(stream);
    ASSERT_EQ(expected.size(), 3u);
    for (std::size_t size = 1; size <= 17; ++size) {
      EventStreamParser parser;
      std::vector<std::string> chunks;
      for (std::size_t i = 0; i < stream.size(); i += size)
        chunks.push_back(stream.substr(i, size));
      EXPECT_EQ(feed(parser, chunks), expected) << "chunk size " << size;
      EXPECT_EQ(parser.dataBuffer(), "data: tail");
    }
  }
}

// A block of several megabytes arriving in small chunks between ordinary events comes out whole,
// and the events around it too.
TEST(EventStreamParser, AVeryLongBlockBetweenShortOnesComesOutWhole) {
  std::string value;
  for (int i = 0; value.size() < 5 * 1024 * 1024; ++i) value += "word" + std::to_string(i) + ' ';
  const std::string stream = "data: before\n\ndata: " + value + "\n\ndata: after\n\ndata: par";
  EventStreamParser parser;
  std::vector<std::string> chunks;
  for (std::size_t i = 0; i < stream.size(); i += 1000) chunks.push_back(stream.substr(i, 1000));
  const std::vector<Event> events = feed(parser, chunks);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0], data("before"));
  EXPECT_TRUE(events[1] == data(value));  // not printed: megabytes
  EXPECT_EQ(events[2], data("after"));
  EXPECT_EQ(parser.dataBuffer(), "data: par");
}

}  // namespace
}  // namespace eventstream
