#include "panel/FillInForm.h"

#include <algorithm>

namespace panel {

std::vector<std::int64_t> fillInFieldIds(const std::vector<core::ExtractedText>& pieces) {
  std::vector<std::int64_t> ids;
  for (const auto& piece : pieces)
    if (piece.isBracketed) ids.push_back(piece.id);
  return ids;
}

std::optional<std::int64_t> firstFillInField(const std::vector<core::ExtractedText>& pieces) {
  const auto ids = fillInFieldIds(pieces);
  if (ids.empty()) return std::nullopt;
  return ids.front();
}

std::optional<std::int64_t> fillInFieldAfter(const std::vector<core::ExtractedText>& pieces,
                                             std::int64_t id) {
  const auto ids = fillInFieldIds(pieces);
  const auto it = std::find(ids.begin(), ids.end(), id);
  if (it == ids.end() || it + 1 == ids.end()) return std::nullopt;
  return *(it + 1);
}

ui::Text fillInHeader(const std::vector<core::ExtractedText>& pieces) {
  ui::Text header;
  for (const auto& piece : pieces) {
    if (!piece.isBracketed) {
      header += ui::Text::verbatim(piece.text);
      continue;
    }
    ui::AttributeContainer part;
    part.font = ui::Font::title();
    part.foregroundColor = ui::Color::white();
    part.backgroundColor = fillInPartBackground();
    header += ui::Text::attributed(ui::AttributedString(piece.text, part));
  }
  return header;
}

}  // namespace panel
