#pragma once

#include <array>
#include <string_view>

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
    glow::Theme theme_;
    // The pieces are joined as they come rather than kept apart: highlighting runs on every
    // streamed token, and one string is far cheaper than a text value per piece.
    ui::AttributedString accumulatedText_;
    // The attributes of a plain piece, then of each token kind, made once per highlight.
    std::array<ui::AttributeContainer, 1 + 9> colored_;
  };

  glow::Theme theme;

  Builder makeBuilder() const { return Builder(theme); }
};

}  // namespace panel
