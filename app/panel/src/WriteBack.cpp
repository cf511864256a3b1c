#include "panel/WriteBack.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <thread>
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

namespace {

namespace attribute = accessibility::attribute;
using namespace std::chrono_literals;

// How long an application that said it took the text may take to show it: one that still shows
// its old text has ignored it; one that shows a part of the change is on its way (gedit shows
// the deletion first and, on a busy desktop, the insertion a second later).
constexpr auto kWriteShowsWithin = 1500ms;
constexpr auto kWriteCompletesWithin = 3000ms;
constexpr auto kReadBackInterval = 20ms;

std::optional<std::string> textOf(accessibility::Accessibility& accessibility,
                                  const accessibility::Element& target) {
  const auto value = accessibility.copyAttributeValue(target, attribute::kValue);
  if (!value.ok()) return std::nullopt;
  const auto* text = std::get_if<std::string>(&value.value());
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

enum class ReadBack { asked, unchanged, otherwise };

// What the element's text became: the text asked for (waited for up to `limit` while it shows
// the text from before, up to `changingLimit` while it shows anything else), the text from
// before, or anything else (unreadable included).
ReadBack readBack(accessibility::Accessibility& accessibility, const accessibility::Element& target,
                  const std::string& asked, const std::string& before,
                  std::chrono::milliseconds limit, std::chrono::milliseconds changingLimit) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const auto now = textOf(accessibility, target);
    if (now == asked) return ReadBack::asked;
    const bool unchanged = now == before;
    if (std::chrono::steady_clock::now() - start >= (unchanged ? limit : changingLimit))
      return unchanged ? ReadBack::unchanged : ReadBack::otherwise;
    std::this_thread::sleep_for(kReadBackInterval);
  }
}

// The caret to the start of the answer, with nothing selected: the next key must not replace it.
void placeCaret(accessibility::Accessibility& accessibility, const accessibility::Element& target,
                std::int64_t location) {
  const accessibility::TextRange caret{location, 0};
  for (int attempt = 0; attempt < 2; ++attempt) {
    accessibility.setAttributeValue(target, attribute::kSelectedTextRange, caret);
    const auto now = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
    if (!now.ok() || now.value() == accessibility::Value(caret)) return;
  }
}

std::optional<accessibility::Element> windowOf(accessibility::Accessibility& accessibility,
                                               const accessibility::Element& target) {
  const auto window = accessibility.copyAttributeValue(target, attribute::kWindow);
  if (!window.ok()) return std::nullopt;
  const auto* element = std::get_if<accessibility::Element>(&window.value());
  return element ? std::optional<accessibility::Element>(*element) : std::nullopt;
}

WriteBackOutcome paste(accessibility::Accessibility& accessibility,
                       const accessibility::Element& window, std::string_view answer) {
  const auto error =
      accessibility.setAttributeValue(window, attribute::kSelectedText, std::string(answer));
  return error == accessibility::kAXErrorSuccess ? WriteBackOutcome::written : outcomeOf(error);
}

}  // namespace

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
  if (isTerminal(accessibility, target)) return WriteBackOutcome::terminal;
  const auto selected = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
  if (selected.ok()) return WriteBackOutcome::written;
  // A selection over more texts than this one: the paste into its window replaces it whole.
  if (selected.error() == accessibility::kAXErrorNoValue && windowOf(accessibility, target))
    return WriteBackOutcome::written;
  return outcomeOf(selected.error());
}

WriteBackOutcome writeAnswerBack(accessibility::Accessibility& accessibility,
                                 const accessibility::Element& target, std::string_view answer) {
  // The paste into a terminal would be a keystroke there; what it does is the shell's.
  if (isTerminal(accessibility, target)) return WriteBackOutcome::terminal;
  const auto window = windowOf(accessibility, target);
  const auto value = accessibility.copyAttributeValue(target, attribute::kValue);
  const auto selected = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
  // A selection over more texts than this one: the application's own paste replaces it whole.
  if (window && !selected.ok() && selected.error() == accessibility::kAXErrorNoValue)
    return paste(accessibility, *window, answer);
  if (!value.ok()) return outcomeOf(value.error());
  if (!selected.ok()) return outcomeOf(selected.error());
  // A value that is not text (a slider's number) is not ours to rewrite.
  const auto* text = std::get_if<std::string>(&value.value());
  if (!text) return WriteBackOutcome::refused;
  const std::string before = *text;
  const auto* range = std::get_if<accessibility::TextRange>(&selected.value());
  // Only the selected range is replaced, never the whole text: what else the element holds
  // stays as its application keeps it.
  const auto replaced =
      replaceUtf16Range(before, range ? *range : accessibility::TextRange{}, answer);
  const accessibility::TextRange chosen{replaced.location, replaced.length};
  accessibility.setAttributeValue(target, attribute::kSelectedTextRange, chosen);
  const auto written =
      accessibility.setAttributeValue(target, attribute::kSelectedText, std::string(answer));
  // A window's text cannot be read back; its paste is all there is.
  if (!window) {
    if (written != accessibility::kAXErrorSuccess) return outcomeOf(written);
    accessibility.setAttributeValue(target, attribute::kSelectedTextRange,
                                    accessibility::TextRange{replaced.location, 0});
    return WriteBackOutcome::written;
  }
  // An application may answer that it took the text and keep its own.
  const bool taken = written == accessibility::kAXErrorSuccess;
  const auto landed =
      readBack(accessibility, target, replaced.text, before, taken ? kWriteShowsWithin : 0ms,
               taken ? kWriteCompletesWithin : 0ms);
  if (landed == ReadBack::asked) {
    placeCaret(accessibility, target, replaced.location);
    return WriteBackOutcome::written;
  }
  // Part of it may have been taken: a paste over that would write the answer twice.
  if (landed == ReadBack::otherwise) return WriteBackOutcome::refused;
  // Refused or ignored: its own paste replaces its selection, which must still be the range.
  const auto now = accessibility.copyAttributeValue(target, attribute::kSelectedTextRange);
  if (!now.ok() || now.value() != accessibility::Value(chosen))
    return WriteBackOutcome::targetChanged;
  // The caret stays behind the pasted answer: a browser moves it for the bus only some time
  // later, when the user may be typing there already.
  return paste(accessibility, *window, answer);
}

}  // namespace panel
