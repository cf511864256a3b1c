#include "panel/WriteBack.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <variant>

#include "accessibility/Attributes.h"
#include "foundation/UTF8.h"

namespace panel {

namespace {

// The byte offset of the character boundary at or before `units` UTF-16 units, and the units
// up to it.
std::pair<std::size_t, std::int64_t> byteOffsetOf(std::string_view text, std::int64_t units) {
  std::size_t byte = 0;
  std::int64_t counted = 0;
  while (byte < text.size()) {
    const auto scalar = foundation::utf8::decode(text, byte);
    const std::int64_t width = scalar.value > 0xFFFF ? 2 : 1;
    if (counted + width > units) break;
    counted += width;
    byte += scalar.length;
  }
  return {byte, counted};
}

}  // namespace

ReplacedText replaceUtf16Range(std::string_view value, accessibility::TextRange range,
                               std::string_view replacement) {
  const std::int64_t location = std::max<std::int64_t>(0, range.location);
  const std::int64_t length = std::max<std::int64_t>(0, range.length);
  const auto [begin, beginUnits] = byteOffsetOf(value, location);
  // Measured from the start, so an overflowing location + length cannot wrap.
  const std::int64_t endUnits = length > std::numeric_limits<std::int64_t>::max() - beginUnits
                                    ? std::numeric_limits<std::int64_t>::max()
                                    : beginUnits + length;
  auto [end, endCounted] = byteOffsetOf(value, endUnits);
  if (end < begin) {
    end = begin;
    endCounted = beginUnits;
  }
  ReplacedText out;
  out.text.reserve(value.size() - (end - begin) + replacement.size());
  out.text.append(value.substr(0, begin));
  out.text.append(replacement);
  out.text.append(value.substr(end));
  out.location = beginUnits;
  out.length = endCounted - beginUnits;
  return out;
}

bool writeAnswerBack(accessibility::Accessibility& accessibility,
                     const accessibility::Element& target, std::string_view answer) {
  namespace attribute = accessibility::attribute;
  const auto value = accessibility.copyAttributeValue(target, attribute::kValue);
  const auto selected = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
  if (!value.ok() || !selected.ok()) return false;
  // A value that is not text (a slider's number) is not ours to rewrite.
  const auto* text = std::get_if<std::string>(&value.value());
  if (!text) return false;
  const auto* range = std::get_if<accessibility::TextRange>(&selected.value());
  // Only the selected range is replaced, never the whole text: what else the element holds
  // stays as its application keeps it.
  const auto replaced =
      replaceUtf16Range(*text, range ? *range : accessibility::TextRange{}, answer);
  accessibility.setAttributeValue(target, attribute::kSelectedTextRange,
                                  accessibility::TextRange{replaced.location, replaced.length});
  if (accessibility.setAttributeValue(target, attribute::kSelectedText, std::string(answer)) !=
      accessibility::kAXErrorSuccess) {
    return false;
  }
  accessibility.setAttributeValue(target, attribute::kSelectedTextRange,
                                  accessibility::TextRange{replaced.location, 0});
  return true;
}

}  // namespace panel
