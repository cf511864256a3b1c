#pragma once

#include <unordered_map>

#include "glow/TokenType.h"
#include "ui/Color.h"
#include "ui/Font.h"

namespace glow {

// Colours for highlighted code. A kind missing from `tokenColors` is drawn in the plain colour.
struct Theme {
  ui::Font font;
  ui::Color plainTextColor;
  std::unordered_map<TokenType, ui::Color> tokenColors;
  ui::Color backgroundColor;

  // Light code on a dark background.
  static Theme midnight(ui::Font font);

  ui::Color colorFor(TokenType type) const;
};

}  // namespace glow
