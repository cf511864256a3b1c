#include "glow/TokenType.h"

namespace glow {

std::string_view name(TokenType type) {
  switch (type) {
    case TokenType::keyword:
      return "keyword";
    case TokenType::string:
      return "string";
    case TokenType::type:
      return "type";
    case TokenType::call:
      return "call";
    case TokenType::number:
      return "number";
    case TokenType::comment:
      return "comment";
    case TokenType::property:
      return "property";
    case TokenType::dotAccess:
      return "dotAccess";
    case TokenType::preprocessing:
      return "preprocessing";
  }
  return "unknown";
}

}  // namespace glow
