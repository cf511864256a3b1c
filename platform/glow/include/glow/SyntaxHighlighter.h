#pragma once

#include <string_view>
#include <utility>

#include "glow/OutputFormat.h"
#include "glow/PieceSink.h"
#include "glow/SwiftGrammar.h"

namespace glow {

template <class G>
concept Grammar = requires(const G grammar, std::string_view code, PieceSink& sink) {
  grammar.tokenize(code, sink);
};

// Runs a grammar over code and feeds the pieces to one builder of the format.
template <OutputFormat Format, Grammar G = SwiftGrammar>
class SyntaxHighlighter {
 public:
  SyntaxHighlighter(Format format, G grammar)
      : format_(std::move(format)), grammar_(std::move(grammar)) {}

  // Calls makeBuilder() once, the builder once per piece in text order, then build().
  typename Format::Output highlight(std::string_view code) const {
    auto builder = format_.makeBuilder();
    Forward<decltype(builder)> sink(builder);
    grammar_.tokenize(code, sink);
    return std::move(builder).build();
  }

  const Format& format() const { return format_; }

 private:
  template <class Builder>
  class Forward final : public PieceSink {
   public:
    explicit Forward(Builder& builder) : builder_(builder) {}
    void addToken(std::string_view token, TokenType type) override {
      builder_.addToken(token, type);
    }
    void addPlainText(std::string_view text) override { builder_.addPlainText(text); }
    void addWhitespace(std::string_view whitespace) override { builder_.addWhitespace(whitespace); }

   private:
    Builder& builder_;
  };

  Format format_;
  G grammar_;
};

}  // namespace glow
