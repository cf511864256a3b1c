#pragma once

#include <string_view>

#include "glow/TokenType.h"

namespace glow {

// Receives the pieces of a code text in order; together they are exactly the text.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  virtual void addToken(std::string_view token, TokenType type) = 0;
  virtual void addPlainText(std::string_view text) = 0;
  virtual void addWhitespace(std::string_view whitespace) = 0;
};

}  // namespace glow
