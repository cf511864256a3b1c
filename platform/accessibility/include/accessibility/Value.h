#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "accessibility/Element.h"

namespace accessibility {

// A range of text in UTF-16 code units.
struct TextRange {
  std::int64_t location = 0;
  std::int64_t length = 0;
  bool operator==(const TextRange&) const = default;
};

// A selection as the element describes it itself; only that element can make sense of it.
struct TextMarkerRange {
  std::string data;
  bool operator==(const TextMarkerRange&) const = default;
};

// Text with attributes; only the plain text is kept.
struct AttributedString {
  std::string string;
  bool operator==(const AttributedString&) const = default;
};

// What an attribute holds. Text is UTF-8.
using Value = std::variant<std::monostate, bool, double, std::string, TextRange, TextMarkerRange,
                           AttributedString, Element>;

}  // namespace accessibility
