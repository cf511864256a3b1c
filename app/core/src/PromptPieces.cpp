#include "core/PromptPieces.h"

#include "core/UnicodeText.h"

namespace core {

std::vector<ExtractedText> splitPromptText(std::string_view text) {
  std::vector<ExtractedText> pieces;
  std::string current;
  const auto flush = [&](bool bracketed) {
    pieces.push_back({static_cast<std::int64_t>(pieces.size()), std::move(current), bracketed});
    current.clear();
  };
  for (std::string_view character : unicode::graphemeClusters(text)) {
    if (character == "[") {
      if (!current.empty()) flush(false);
      current += character;
    } else if (character == "]") {
      current += character;
      flush(true);
    } else {
      current += character;
    }
  }
  if (!current.empty()) flush(false);
  return pieces;
}

std::string joinPromptPieces(const std::vector<ExtractedText>& pieces) {
  std::string joined;
  for (const auto& piece : pieces) joined += piece.text;
  return joined;
}

std::string fillSelectedText(std::string_view prompt, std::string_view selectedText) {
  std::string filled;
  std::size_t from = 0;
  for (std::size_t at = prompt.find(kSelectedTextPlaceholder); at != std::string_view::npos;
       at = prompt.find(kSelectedTextPlaceholder, from)) {
    filled.append(prompt.substr(from, at - from));
    filled.append(selectedText);
    from = at + kSelectedTextPlaceholder.size();
  }
  filled.append(prompt.substr(from));
  return filled;
}

}  // namespace core
