#pragma once

#include <concepts>
#include <initializer_list>
#include <string>
#include <string_view>

#include "foundation/URL.h"
#include "markdown/BuilderComponent.h"
#include "markdown/InlineContent.h"

namespace markdown {

// Anything that can stand in an inline content body.
template <class T>
concept InlineContentProtocol = requires(const T& value) {
  { value._inlineContent() } -> std::convertible_to<InlineContent>;
};

// A text statement is one literal `text` inline, never parsed as Markdown.
struct InlineContentBuilder : ContentBuilderOperations<InlineContentBuilder, InlineContent> {
  static InlineContent buildExpression(std::string_view text) {
    return InlineContent{{Inline::text(std::string(text))}};
  }
  template <InlineContentProtocol Value>
  static InlineContent buildExpression(const Value& value) {
    return value._inlineContent();
  }
};

struct Code {
  std::string text;

  explicit Code(std::string text) : text(std::move(text)) {}
  InlineContent _inlineContent() const;
};

struct Emphasis {
  InlineContent content;

  explicit Emphasis(std::string_view text);
  explicit Emphasis(std::initializer_list<InlineComponent> content);
  InlineContent _inlineContent() const;
};

struct Strong {
  InlineContent content;

  explicit Strong(std::string_view text);
  explicit Strong(std::initializer_list<InlineComponent> content);
  InlineContent _inlineContent() const;
};

struct Strikethrough {
  InlineContent content;

  explicit Strikethrough(std::string_view text);
  explicit Strikethrough(std::initializer_list<InlineComponent> content);
  InlineContent _inlineContent() const;
};

// URLs are stored by their absolute string, resolved when made relative to a base.
struct InlineLink {
  std::string destination;
  InlineContent content;

  InlineLink(std::string_view text, const foundation::URL& destination);
  InlineLink(const foundation::URL& destination, std::initializer_list<InlineComponent> content);
  InlineContent _inlineContent() const;
};

struct InlineImage {
  std::string source;
  InlineContent content;  // the alternative text

  explicit InlineImage(const foundation::URL& source);
  InlineImage(std::string_view label, const foundation::URL& source);
  InlineContent _inlineContent() const;
};

struct LineBreak {
  InlineContent _inlineContent() const { return InlineContent{{Inline::lineBreak()}}; }
};

struct SoftBreak {
  InlineContent _inlineContent() const { return InlineContent{{Inline::softBreak()}}; }
};

}  // namespace markdown
