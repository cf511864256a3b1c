#pragma once

#include <string_view>

namespace glow {

// The kinds of token a grammar tells apart; anything else is plain text or whitespace.
enum class TokenType {
  keyword,
  string,
  type,
  call,
  number,
  comment,
  property,
  dotAccess,
  preprocessing,
};

std::string_view name(TokenType type);

}  // namespace glow
