#include "eventstream/Event.h"

#include <array>
#include <charconv>

#include "eventstream/UnicodeWhitespace.h"
#include "eventstream/Utf8.h"

namespace eventstream {
namespace {

std::size_t skipWhitespaceAndNewlines(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      if (!isWhitespaceOrNewline(byte)) break;
      ++pos;
      continue;
    }
    const Utf8Scalar scalar = decodeUtf8Scalar(text, pos);
    if (!scalar.valid || !isWhitespaceOrNewline(scalar.value)) break;
    pos += scalar.length;
  }
  return pos;
}

// `text` without the spaces and tabs at either end.
std::string_view trimSpacesAndTabs(std::string_view text) {
  std::size_t begin = text.size(), end = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Scalar scalar = decodeUtf8Scalar(text, pos);
    if (!scalar.valid || !isSpaceOrTab(scalar.value)) {
      begin = std::min(begin, pos);
      end = pos + scalar.length;
    }
    pos += scalar.length;
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view();
}

bool isDecimal(std::string_view digits) {
  if (digits.empty()) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

Event::Event(std::optional<std::string> id, std::optional<std::string> event,
             std::optional<std::string> data, std::optional<std::string> time)
    : id(std::move(id)), event(std::move(event)), data(std::move(data)), time(std::move(time)) {}

Event::Event(std::string_view eventString, std::span<const std::string> newLineCharacters) {
  std::array<bool, 256> startsNewline{};
  for (const auto& newline : newLineCharacters) {
    if (!newline.empty()) startsNewline[static_cast<unsigned char>(newline[0])] = true;
  }
  const auto fieldFor = [this](const std::string& key) -> std::optional<std::string>* {
    if (key == "id") return &id;
    if (key == "event") return &event;
    if (key == "data") return &data;
    if (key == "retry") return &time;
    return nullptr;
  };
  const auto takeLine = [&](std::string_view line) {
    if (line.empty()) return;
    Line parsed = parseLine(line, newLineCharacters);
    if (!parsed.key) return;
    std::optional<std::string>* field = fieldFor(*parsed.key);
    if (field == nullptr) return;
    if (!parsed.value) {
      field->reset();  // a bare "event" line cancels an earlier name
    } else if (*field) {
      **field += '\n';
      **field += *parsed.value;
    } else {
      *field = std::move(parsed.value);
    }
  };

  std::size_t lineStart = 0, pos = 0;
  while (pos < eventString.size()) {
    if (!startsNewline[static_cast<unsigned char>(eventString[pos])]) {
      ++pos;
      continue;
    }
    std::size_t newlineLength = 0;
    for (const auto& newline : newLineCharacters) {
      if (!newline.empty() && eventString.substr(pos).starts_with(newline)) {
        newlineLength = newline.size();
        break;
      }
    }
    if (newlineLength == 0) {
      ++pos;
      continue;
    }
    takeLine(eventString.substr(lineStart, pos - lineStart));
    pos += newlineLength;
    lineStart = pos;
  }
  takeLine(eventString.substr(lineStart));
}

Event::Line Event::parseLine(std::string_view line,
                             std::span<const std::string> newLineCharacters) {
  Line result;
  std::size_t pos = skipWhitespaceAndNewlines(line, 0);
  if (pos < line.size() && line[pos] != ':') {
    const std::size_t colon = std::min(line.find(':', pos), line.size());
    result.key = std::string(line.substr(pos, colon - pos));
    pos = colon;
  }
  pos = skipWhitespaceAndNewlines(line, pos);
  if (pos < line.size() && line[pos] == ':') ++pos;
  pos = skipWhitespaceAndNewlines(line, pos);
  if (pos < line.size()) {
    for (const auto& newline : newLineCharacters) {
      const std::size_t end = newline.empty() ? line.size() : line.find(newline, pos);
      if (end == pos) continue;
      result.value = std::string(line.substr(pos, end == std::string_view::npos ? end : end - pos));
      break;
    }
  }
  if (!result.value && result.key != "event") result.value = std::string();
  return result;
}

std::optional<std::int64_t> Event::retryTime() const {
  if (!time) return std::nullopt;
  const std::string_view text = trimSpacesAndTabs(*time);
  if (text.empty()) return std::nullopt;
  const bool hasSign = text.front() == '+' || text.front() == '-';
  if (!isDecimal(hasSign ? text.substr(1) : text)) return std::nullopt;
  // from_chars takes a minus sign but no plus sign.
  const std::string_view number = text.front() == '+' ? text.substr(1) : text;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

}  // namespace eventstream
