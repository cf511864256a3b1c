#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "markdown/Hasher.h"

namespace markdown {

// One inline element of a document. Texts compare byte for byte: differently normalised but
// canonically equivalent texts are unequal, which only ever costs a view its identity.
struct Inline {
  // In declared order; the ordinal is what hashing feeds.
  enum class Kind {
    text,
    softBreak,
    lineBreak,
    code,
    html,
    emphasis,
    strong,
    strikethrough,
    link,
    image,
  };

  struct Text {
    std::string text;
    bool operator==(const Text&) const = default;
  };
  struct SoftBreak {
    bool operator==(const SoftBreak&) const = default;
  };
  struct LineBreak {
    bool operator==(const LineBreak&) const = default;
  };
  struct Code {
    std::string text;
    bool operator==(const Code&) const = default;
  };
  struct HTML {
    std::string text;
    bool operator==(const HTML&) const = default;
  };
  struct Emphasis {
    std::vector<Inline> children;
    bool operator==(const Emphasis&) const = default;
  };
  struct Strong {
    std::vector<Inline> children;
    bool operator==(const Strong&) const = default;
  };
  struct Strikethrough {
    std::vector<Inline> children;
    bool operator==(const Strikethrough&) const = default;
  };
  struct Link {
    std::string destination;  // as written, possibly relative
    std::vector<Inline> children;
    bool operator==(const Link&) const = default;
  };
  // The payload of the `image` case; `Image` below is the record the image views take.
  struct ImageCase {
    std::string source;            // as written
    std::vector<Inline> children;  // the alternative text
    bool operator==(const ImageCase&) const = default;
  };

  using Value = std::variant<Text, SoftBreak, LineBreak, Code, HTML, Emphasis, Strong,
                             Strikethrough, Link, ImageCase>;

  // What an image view shows for one inline.
  struct Image {
    std::optional<std::string> source;
    std::string alt;                         // the plain text of the image's children
    std::optional<std::string> destination;  // the wrapping link's, when the link is only the image

    // An `image`, or a `link` whose only child is an `image`; absent for anything else.
    static std::optional<Image> from(const Inline& inline_);

    bool operator==(const Image&) const = default;
  };

  Value value;

  Inline(Value value) : value(std::move(value)) {}

  static Inline text(std::string text) { return Inline{Text{std::move(text)}}; }
  static Inline softBreak() { return Inline{SoftBreak{}}; }
  static Inline lineBreak() { return Inline{LineBreak{}}; }
  static Inline code(std::string text) { return Inline{Code{std::move(text)}}; }
  static Inline html(std::string text) { return Inline{HTML{std::move(text)}}; }
  static Inline emphasis(std::vector<Inline> children);
  static Inline strong(std::vector<Inline> children);
  static Inline strikethrough(std::vector<Inline> children);
  static Inline link(std::string destination, std::vector<Inline> children);
  static Inline image(std::string source, std::vector<Inline> children);

  Kind kind() const { return static_cast<Kind>(value.index()); }
  template <class Case>
  const Case* as() const {
    return std::get_if<Case>(&value);
  }

  bool operator==(const Inline&) const = default;
};

// The inlines' text without markup: breaks become " " and "\n", containers give their
// children's text, destinations and sources are left out.
std::string plainText(const std::vector<Inline>& inlines);

void hashInto(Hasher& hasher, const Inline& inline_);
void hashInto(Hasher& hasher, const std::vector<Inline>& inlines);
void hashInto(Hasher& hasher, const Inline::Image& image);

}  // namespace markdown

template <>
struct std::hash<markdown::Inline> {
  std::size_t operator()(const markdown::Inline& value) const { return markdown::hashValue(value); }
};
template <>
struct std::hash<markdown::Inline::Image> {
  std::size_t operator()(const markdown::Inline::Image& value) const {
    return markdown::hashValue(value);
  }
};
