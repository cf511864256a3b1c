#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace panel {

// Texts longer than this (in bytes) show only their beginning in the panel: laying out
// megabytes of text takes the main thread seconds. The whole text stays in the model, so the
// request, Copy and write-back still get all of it.
inline constexpr std::size_t kShownTextLimit = 24 * 1024;

struct TextBeginning {
  std::string_view shown;  // the whole text when it is short enough
  std::size_t hiddenCharacters = 0;
  bool isCut() const { return hiddenCharacters > 0; }
};

// The beginning of `text` of at most `limit` bytes, ending at a line break or a space near the
// limit where there is one, never inside a character.
TextBeginning textBeginning(std::string_view text, std::size_t limit = kShownTextLimit);

// Unicode scalar values in well-formed UTF-8 text, as every text of the model is.
std::size_t characterCount(std::string_view text);

// "… 1,234,567 more characters"
std::string moreCharactersNote(std::size_t count);

}  // namespace panel
