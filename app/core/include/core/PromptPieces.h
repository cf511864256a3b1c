#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// One piece of a prompt: plain text, or a bracketed part for the user to fill in.
struct ExtractedText {
  std::int64_t id = 0;  // position in its list
  std::string text;     // a bracketed piece keeps its "[" and "]"
  bool isBracketed = false;

  bool operator==(const ExtractedText&) const = default;
};

// Cuts a prompt before every "[" and after every "]" (whole characters only: a bracket with a
// combining mark is no bracket). Every piece that a "]" closes is bracketed. Joining the pieces
// gives the input back.
std::vector<ExtractedText> splitPromptText(std::string_view text);

// The texts of the pieces, in order, with nothing between.
std::string joinPromptPieces(const std::vector<ExtractedText>& pieces);

// The placeholder that a preset's prompt uses for the captured text.
inline constexpr std::string_view kSelectedTextPlaceholder = "{selected text}";

// `prompt` with every "{selected text}" replaced by `selectedText`; the inserted text is never
// searched again.
std::string fillSelectedText(std::string_view prompt, std::string_view selectedText);

}  // namespace core
