#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/PromptPieces.h"
#include "ui/Color.h"
#include "ui/TextValue.h"

namespace panel {

// The blue behind the parts of a preset the user fills in.
inline ui::Color fillInPartBackground() {
  return ui::Color::sRGB(0.2, 154.0 / 255.0, 1.0);
}

// The ids of the fill-in fields, in text order.
std::vector<std::int64_t> fillInFieldIds(const std::vector<core::ExtractedText>& pieces);
// The field that gets the keyboard when the form comes on screen.
std::optional<std::int64_t> firstFillInField(const std::vector<core::ExtractedText>& pieces);
// Where Return in field `id` moves the keyboard: the next field in text order, or none when
// the form is complete and the prompt should be sent.
std::optional<std::int64_t> fillInFieldAfter(const std::vector<core::ExtractedText>& pieces,
                                             std::int64_t id);

// The prompt as one text: plain pieces as they are, the parts to fill in large and white on
// blue. The caller gives it the answer font.
ui::Text fillInHeader(const std::vector<core::ExtractedText>& pieces);

}  // namespace panel
