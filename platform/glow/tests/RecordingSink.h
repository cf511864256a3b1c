#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "glow/PieceSink.h"
#include "glow/SwiftGrammar.h"

namespace glow::testing {

// One piece as the grammar handed it over: "keyword", "string", …, "plain" or "whitespace".
struct Piece {
  std::string text;
  std::string kind;
  bool operator==(const Piece&) const = default;
};

class RecordingSink final : public PieceSink {
 public:
  void addToken(std::string_view token, TokenType type) override {
    pieces.push_back({std::string(token), std::string(name(type))});
  }
  void addPlainText(std::string_view text) override {
    pieces.push_back({std::string(text), "plain"});
  }
  void addWhitespace(std::string_view whitespace) override {
    pieces.push_back({std::string(whitespace), "whitespace"});
  }
  std::vector<Piece> pieces;
};

inline std::vector<Piece> tokenize(std::string_view code) {
  RecordingSink sink;
  SwiftGrammar().tokenize(code, sink);
  return sink.pieces;
}

inline std::string joined(const std::vector<Piece>& pieces) {
  std::string text;
  for (const Piece& piece : pieces) text += piece.text;
  return text;
}

}  // namespace glow::testing
