#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "accessibility/Accessibility.h"

namespace panel {

struct ReplacedText {
  std::string text;
  std::int64_t location = 0;  // UTF-16 units: where the replacement starts
  std::int64_t length = 0;    // UTF-16 units of `value` that it replaced
};

// `value` with the UTF-16 range replaced by `replacement`. The range is clamped to the text and
// its ends moved back to whole characters, so a stale or foreign range can never cut one.
ReplacedText replaceUtf16Range(std::string_view value, accessibility::TextRange range,
                               std::string_view replacement);

// How a write-back ended. Anything but `written` left the target as it was.
enum class WriteBackOutcome {
  written,
  // The element is gone, or its window no longer shows what was captured.
  targetChanged,
  // The application did not take the text (or has no text to put it in).
  refused,
  // A terminal: no keystroke goes there.
  terminal,
};

// What the panel says when nothing was written (short: it stands in the toolbar); empty for
// `written`.
std::string_view writeBackStatus(WriteBackOutcome outcome);

// Whether `target` may be written to now, without writing: `written` when it may, else why
// not. The write itself checks again.
WriteBackOutcome checkAnswerTarget(accessibility::Accessibility& accessibility,
                                   const accessibility::Element& target);

// Puts `answer` in place of the selection of `target`, the element the capture found focused:
// the selected range (clamped to the element's text) is chosen again, the answer written as the
// selected text, and the caret put at the start of the answer. Nothing happens when the element
// has no text value or no selected range, or is a terminal. Never asks which element has the
// focus now, so the answer cannot land elsewhere. It waits for other programs: call it off the
// main thread.
// An element inside a window ("AXWindow") has its text read back: when the application refused
// the write or kept its text, the answer is pasted into that window, provided its selection is
// still the range; a text that changed otherwise gets nothing more. A selection that no range of
// the element holds (over several paragraphs) is pasted at once, which replaces it whole.
WriteBackOutcome writeAnswerBack(accessibility::Accessibility& accessibility,
                                 const accessibility::Element& target, std::string_view answer);

}  // namespace panel
