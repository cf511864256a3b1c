#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace eventstream {

// One server-sent event. Absent and empty differ: a field line without a value gives empty
// text, a field that never occurs stays absent.
struct Event {
  std::optional<std::string> id;
  std::optional<std::string> event;
  std::optional<std::string> data;
  std::optional<std::string> time;  // the "retry" field, unparsed

  struct Line {
    std::optional<std::string> key;
    std::optional<std::string> value;
    bool operator==(const Line&) const = default;
  };

  Event() = default;
  Event(std::optional<std::string> id, std::optional<std::string> event,
        std::optional<std::string> data, std::optional<std::string> time);
  // Parses one block (the text between two delimiters). Lines split only at the given
  // newline strings, so raw U+2028 or NEL inside JSON text survives.
  Event(std::string_view eventString, std::span<const std::string> newLineCharacters);

  static Line parseLine(std::string_view line, std::span<const std::string> newLineCharacters);

  // `time` as a signed decimal, blanks around it allowed; absent when it is not one.
  std::optional<std::int64_t> retryTime() const;

  bool operator==(const Event&) const = default;
};

}  // namespace eventstream
