#pragma once

#include <string_view>

#include "glow/PieceSink.h"

namespace glow {

// Cuts Swift source into tokens. Any byte sequence is accepted (unterminated literals, invalid
// UTF-8): the pieces handed to the sink concatenate to the input byte for byte, and a piece
// never ends inside a well-formed UTF-8 character. Work is linear in the input; nesting of
// comments and interpolations is tracked without recursion.
class SwiftGrammar {
 public:
  void tokenize(std::string_view code, PieceSink& sink) const;
};

}  // namespace glow
