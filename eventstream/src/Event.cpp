#include "eventstream/Event.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "eventstream/UnicodeWhitespace.h"
#include "foundation/UTF8.h"

namespace eventstream {
namespace {

using foundation::utf8::decode;
using foundation::utf8::Scalar;

std::size_t skipWhitespaceAndNewlines(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      if (!isWhitespaceOrNewline(byte)) break;
      ++pos;
      continue;
    }
    const Scalar scalar = decode(text, pos);
    if (!scalar.valid || !isWhitespaceOrNewline(scalar.value)) break;
    pos += scalar.length;
  }
  return pos;
}

// `text` without the spaces and tabs at either end.
std::string_view trimSpacesAndTabs(std::string_view text) {
  std::size_t begin = text.size(), end = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const Scalar scalar = decode(text, pos);
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

// A line's key and raw value: the value is absent when nothing follows the key and colon.
struct Fields {
  std::optional<std::string_view> key;
  std::optional<std::string_view> value;
};

Fields splitFields(std::string_view line) {
  Fields fields;
  std::size_t pos = skipWhitespaceAndNewlines(line, 0);
  if (pos < line.size() && line[pos] != ':') {
    const std::size_t colon = std::min(line.find(':', pos), line.size());
    fields.key = line.substr(pos, colon - pos);
    pos = colon;
  }
  pos = skipWhitespaceAndNewlines(line, pos);
  if (pos < line.size() && line[pos] == ':') ++pos;
  pos = skipWhitespaceAndNewlines(line, pos);
  if (pos < line.size()) fields.value = line.substr(pos);
  return fields;
}

// Finds the newline strings of a block with memchr on the bytes that can start one, each
// remembering where it occurs next, so every byte is looked at about once.
class NewlineFinder {
 public:
  NewlineFinder(std::string_view text, std::span<const std::string> newlines)
      : text_(text), newlines_(newlines) {
    for (const auto& newline : newlines) {
      if (newline.empty()) continue;
      const char first = newline[0];
      const auto known = starts_.begin() + static_cast<std::ptrdiff_t>(startCount_);
      if (std::none_of(starts_.begin(), known, [&](const Start& s) { return s.byte == first; })) {
        if (startCount_ == starts_.size()) {
          everyByte_ = true;  // too many kinds to look for one by one
          break;
        }
        starts_[startCount_++] = {first, 0, false};
      }
    }
  }

  // Where the first newline at or after `from` starts and how long it is; length 0 if none.
  std::pair<std::size_t, std::size_t> next(std::size_t from) {
    while (from < text_.size()) {
      if (everyByte_) {
        for (const auto& newline : newlines_) {
          if (!newline.empty() && text_.substr(from).starts_with(newline))
            return {from, newline.size()};
        }
        ++from;
        continue;
      }
      std::size_t at = text_.size();
      for (std::size_t i = 0; i < startCount_; ++i) {
        Start& start = starts_[i];
        if (!start.known || start.at < from) {
          const void* found = std::memchr(text_.data() + from, start.byte, text_.size() - from);
          start.at = found
                         ? static_cast<std::size_t>(static_cast<const char*>(found) - text_.data())
                         : text_.size();
          start.known = true;
        }
        at = std::min(at, start.at);
      }
      if (at == text_.size()) break;
      const std::string_view rest = text_.substr(at);
      for (const auto& newline : newlines_) {
        if (!newline.empty() && rest.starts_with(newline)) return {at, newline.size()};
      }
      from = at + 1;
    }
    return {text_.size(), 0};
  }

 private:
  struct Start {
    char byte;
    std::size_t at;
    bool known;
  };
  std::string_view text_;
  std::span<const std::string> newlines_;
  std::array<Start, 4> starts_{};
  std::size_t startCount_ = 0;
  bool everyByte_ = false;
};

}  // namespace

Event::Event(std::optional<std::string> id, std::optional<std::string> event,
             std::optional<std::string> data, std::optional<std::string> time)
    : id(std::move(id)), event(std::move(event)), data(std::move(data)), time(std::move(time)) {}

Event::Event(std::string_view eventString, std::span<const std::string> newLineCharacters) {
  const auto fieldFor = [this](std::string_view key) -> std::optional<std::string>* {
    if (key == "data") return &data;
    if (key == "id") return &id;
    if (key == "event") return &event;
    if (key == "retry") return &time;
    return nullptr;
  };
  const auto takeLine = [&](std::string_view line) {
    if (line.empty()) return;
    // A line holds no newline string, so its value runs to its end.
    const Fields fields = splitFields(line);
    if (!fields.key) return;
    std::optional<std::string>* field = fieldFor(*fields.key);
    if (field == nullptr) return;
    if (!fields.value && *fields.key == "event") {
      field->reset();  // a bare "event" line cancels an earlier name
      return;
    }
    const std::string_view value = fields.value.value_or(std::string_view());
    if (*field) {
      **field += '\n';
      **field += value;
    } else {
      field->emplace(value);
    }
  };

  NewlineFinder newlines(eventString, newLineCharacters);
  std::size_t lineStart = 0;
  for (;;) {
    const auto [at, length] = newlines.next(lineStart);
    if (length == 0) break;
    takeLine(eventString.substr(lineStart, at - lineStart));
    lineStart = at + length;
  }
  takeLine(eventString.substr(lineStart));
}

Event::Line Event::parseLine(std::string_view line,
                             std::span<const std::string> newLineCharacters) {
  Fields fields = splitFields(line);
  Line result;
  if (fields.key) result.key = std::string(*fields.key);
  if (fields.value) {
    // A value stops at the first newline string of the first kind that does not start it.
    const std::string_view value = *fields.value;
    for (const auto& newline : newLineCharacters) {
      const std::size_t end = newline.empty() ? value.size() : value.find(newline);
      if (end == 0) continue;
      result.value = std::string(value.substr(0, end));
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
