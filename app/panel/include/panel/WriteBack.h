#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "accessibility/Accessibility.h"

namespace panel {

struct ReplacedText {
  std::string text;
  std::int64_t location = 0;  // UTF-16 units: where the replacement starts
};

// `value` with the UTF-16 range replaced by `replacement`. The range is clamped to the text and
// its ends moved back to whole characters, so a stale or foreign range can never cut one.
ReplacedText replaceUtf16Range(std::string_view value, accessibility::TextRange range,
                               std::string_view replacement);

// Puts `answer` in place of the selection of the focused element of the application in front:
// its value is rewritten with the selected range replaced, then the caret goes to the start of
// the answer. Nothing happens when there is no focused element, when it has no text value or
// no selected range. Silent; true when the value was written. It waits for other programs:
// call it off the main thread.
bool writeAnswerBack(accessibility::Accessibility& accessibility, std::string_view answer);

}  // namespace panel
