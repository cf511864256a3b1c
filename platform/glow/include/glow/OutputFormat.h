#pragma once

#include <concepts>
#include <string_view>
#include <utility>

#include "glow/TokenType.h"

namespace glow {

// Collects the pieces of one highlight and turns them into the output.
template <class B, class Output>
concept OutputBuilder = requires(B builder, std::string_view text, TokenType type) {
  builder.addToken(text, type);
  builder.addPlainText(text);
  builder.addWhitespace(text);
  { std::move(builder).build() } -> std::convertible_to<Output>;
};

// Makes a fresh builder for each highlight.
template <class F>
concept OutputFormat = requires(const F format) {
  typename F::Output;
  typename F::Builder;
  { format.makeBuilder() } -> std::same_as<typename F::Builder>;
}
&&OutputBuilder<typename F::Builder, typename F::Output>;

}  // namespace glow
