#include "glow/Theme.h"

namespace glow {

Theme Theme::midnight(ui::Font font) {
  const ui::Color member = ui::Color::rgba(0xA167E6FF);
  return Theme{
      .font = std::move(font),
      .plainTextColor = ui::Color::rgba(0xE6E6E6FF),
      .tokenColors =
          {
              {TokenType::keyword, ui::Color::rgba(0xFC5FA3FF)},
              {TokenType::string, ui::Color::rgba(0xFC6A5DFF)},
              {TokenType::type, ui::Color::rgba(0x5DD8FFFF)},
              {TokenType::call, ui::Color::rgba(0x67B7A4FF)},
              {TokenType::number, ui::Color::rgba(0xD0BF69FF)},
              {TokenType::comment, ui::Color::rgba(0x7F8C98FF)},
              {TokenType::property, member},
              {TokenType::dotAccess, member},
              {TokenType::preprocessing, ui::Color::rgba(0xFD8F3FFF)},
          },
      .backgroundColor = ui::Color::rgba(0x1F1F24FF),
  };
}

ui::Color Theme::colorFor(TokenType type) const {
  const auto found = tokenColors.find(type);
  return found != tokenColors.end() ? found->second : plainTextColor;
}

}  // namespace glow
