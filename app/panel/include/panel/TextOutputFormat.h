#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "glow/Theme.h"
#include "glow/TokenType.h"
#include "ui/AttributeContainer.h"
#include "ui/AttributedString.h"
#include "ui/TextValue.h"

namespace panel {

// Turns highlighted code into text whose runs carry the theme's colours. Only the plain colour
// and the token colours are used; the theme's font and background are not.
struct TextOutputFormat {
  using Output = ui::Text;

  class Builder {
   public:
    explicit Builder(glow::Theme theme);

    // In the token's colour, or the plain colour when the theme has none for its kind.
    void addToken(std::string_view token, glow::TokenType type);
    void addPlainText(std::string_view text);
    // Uncoloured, so it takes the colour in force where it is shown.
    void addWhitespace(std::string_view whitespace);
    // Every piece, in the order received.
    ui::Text build() &&;

    const glow::Theme& theme() const { return theme_; }

   private:
    void add(std::string_view text, std::size_t slot);

    struct Piece {
      std::size_t end;   // in text_
      std::size_t slot;  // into colored_
    };

    glow::Theme theme_;
    // The pieces received, in order: their text joined, and where each ends with which
    // attributes. The coloured text is made once at the end, in one allocation: highlighting
    // runs on every streamed token, and growing it run by run costs many times more.
    std::string text_;
    std::vector<Piece> pieces_;
    // The attributes of a plain piece, of each token kind, then of whitespace (none).
    std::array<ui::AttributeContainer, 1 + 9 + 1> colored_;
  };

  glow::Theme theme;

  Builder makeBuilder() const { return Builder(theme); }
};

}  // namespace panel
