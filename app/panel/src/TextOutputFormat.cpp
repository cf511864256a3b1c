#include "panel/TextOutputFormat.h"

#include <utility>

namespace panel {

namespace {

constexpr glow::TokenType kTokenTypes[] = {
    glow::TokenType::keyword,  glow::TokenType::string,    glow::TokenType::type,
    glow::TokenType::call,     glow::TokenType::number,    glow::TokenType::comment,
    glow::TokenType::property, glow::TokenType::dotAccess, glow::TokenType::preprocessing,
};

std::size_t slot(glow::TokenType type) {
  return static_cast<std::size_t>(type) + 1;
}

}  // namespace

TextOutputFormat::Builder::Builder(glow::Theme theme) : theme_(std::move(theme)) {
  colored_[0].foregroundColor = theme_.plainTextColor;
  for (glow::TokenType type : kTokenTypes)
    colored_[slot(type)].foregroundColor = theme_.colorFor(type);
}

void TextOutputFormat::Builder::addToken(std::string_view token, glow::TokenType type) {
  accumulatedText_.append(token, colored_[slot(type)]);
}

void TextOutputFormat::Builder::addPlainText(std::string_view text) {
  accumulatedText_.append(text, colored_[0]);
}

void TextOutputFormat::Builder::addWhitespace(std::string_view whitespace) {
  accumulatedText_.append(whitespace);
}

ui::Text TextOutputFormat::Builder::build() && {
  return ui::Text::attributed(std::move(accumulatedText_));
}

}  // namespace panel
