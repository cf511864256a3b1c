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

constexpr std::string_view kTargetChangedStatus = "Window changed";
constexpr std::string_view kRefusedStatus = "App refused the text";
constexpr std::string_view kTerminalStatus = "Terminal: copy it";

bool isTerminal(accessibility::Accessibility& accessibility, const accessibility::Element& target) {
  const auto role = accessibility.copyAttributeValue(target, accessibility::attribute::kRole);
  return role.ok() &&
         role.value() == accessibility::Value(std::string(accessibility::role::kTerminal));
}

// A target that went away, or no longer shows what was captured, is another one now.
WriteBackOutcome outcomeOf(accessibility::AXError error) {
  return error == accessibility::kAXErrorInvalidUIElement ? WriteBackOutcome::targetChanged
                                                          : WriteBackOutcome::refused;
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

std::string_view writeBackStatus(WriteBackOutcome outcome) {
  switch (outcome) {
    case WriteBackOutcome::written:
      return {};
    case WriteBackOutcome::targetChanged:
      return kTargetChangedStatus;
    case WriteBackOutcome::refused:
      return kRefusedStatus;
    case WriteBackOutcome::terminal:
      return kTerminalStatus;
  }
  return {};
}

WriteBackOutcome checkAnswerTarget(accessibility::Accessibility& accessibility,
                                   const accessibility::Element& target) {
  namespace attribute = accessibility::attribute;
  if (isTerminal(accessibility, target)) return WriteBackOutcome::terminal;
  const auto selected = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
  return selected.ok() ? WriteBackOutcome::written : outcomeOf(selected.error());
}

WriteBackOutcome writeAnswerBack(accessibility::Accessibility& accessibility,
                                 const accessibility::Element& target, std::string_view answer) {
  namespace attribute = accessibility::attribute;
  // The paste into a terminal would be a keystroke there; what it does is the shell's.
  if (isTerminal(accessibility, target)) return WriteBackOutcome::terminal;
  const auto value = accessibility.copyAttributeValue(target, attribute::kValue);
  if (!value.ok()) return outcomeOf(value.error());
  const auto selected = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
  if (!selected.ok()) return outcomeOf(selected.error());
  // A value that is not text (a slider's number) is not ours to rewrite.
  const auto* text = std::get_if<std::string>(&value.value());
  if (!text) return WriteBackOutcome::refused;
  const auto* range = std::get_if<accessibility::TextRange>(&selected.value());
  // Only the selected range is replaced, never the whole text: what else the element holds
  // stays as its application keeps it.
  const auto replaced =
      replaceUtf16Range(*text, range ? *range : accessibility::TextRange{}, answer);
  accessibility.setAttributeValue(target, attribute::kSelectedTextRange,
                                  accessibility::TextRange{replaced.location, replaced.length});
  if (const auto error =
          accessibility.setAttributeValue(target, attribute::kSelectedText, std::string(answer));
      error != accessibility::kAXErrorSuccess) {
    return outcomeOf(error);
  }
  accessibility.setAttributeValue(target, attribute::kSelectedTextRange,
                                  accessibility::TextRange{replaced.location, 0});
  return WriteBackOutcome::written;
}

}  // namespace panel
