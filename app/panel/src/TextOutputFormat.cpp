#include "panel/TextOutputFormat.h"

#include <utility>

namespace panel {

namespace {

constexpr glow::TokenType kTokenTypes[] = {
    glow::TokenType::keyword,  glow::TokenType::string,    glow::TokenType::type,
    glow::TokenType::call,     glow::TokenType::number,    glow::TokenType::comment,
    glow::TokenType::property, glow::TokenType::dotAccess, glow::TokenType::preprocessing,
};

constexpr std::size_t kWhitespace = std::size(kTokenTypes) + 1;

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
  add(token, slot(type));
}

void TextOutputFormat::Builder::addPlainText(std::string_view text) {
  add(text, 0);
}

void TextOutputFormat::Builder::addWhitespace(std::string_view whitespace) {
  add(whitespace, kWhitespace);
}

void TextOutputFormat::Builder::add(std::string_view text, std::size_t slot) {
  text_ += text;
  pieces_.push_back({text_.size(), slot});
}

ui::Text TextOutputFormat::Builder::build() && {
  ui::AttributedString text;
  text.reserve(text_.size(), pieces_.size());
  std::size_t begin = 0;
  for (const Piece& piece : pieces_) {
    text.append(std::string_view(text_).substr(begin, piece.end - begin), colored_[piece.slot]);
    begin = piece.end;
  }
  return ui::Text::attributed(std::move(text));
}

}  // namespace panel
