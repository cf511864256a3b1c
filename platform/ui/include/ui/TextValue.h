#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ui/AttributedString.h"
#include "ui/Image.h"

namespace ui {

// The content of a text view: a sequence of attributed strings and inline images. Text-level
// `font` and `foregroundColor` are defaults under the run attributes: they fill in only where a
// run has none, so `(a.font(x) + b).font(y)` keeps x for a and gives y to b.
class Text {
 public:
  // An image that flows with the text, sitting on the baseline. Only `font` (which sizes a
  // symbol) and `foregroundColor` (which tints it) of its attributes matter.
  struct InlineImage {
    Image image;
    AttributeContainer attributes;
    bool operator==(const InlineImage&) const = default;
  };
  using Segment = std::variant<AttributedString, InlineImage>;

  // One run of the whole text: an attributed run, or an image standing for one placeholder
  // character. Offsets are bytes of plainText().
  struct Run {
    std::size_t begin = 0, end = 0;
    AttributeContainer attributes;
    std::optional<Image> image;
  };

  // Stands for an inline image in plainText() (U+FFFC, 3 bytes).
  static constexpr std::string_view kImagePlaceholder = "\xEF\xBF\xBC";

  Text() = default;
  static Text verbatim(std::string text);
  static Text attributed(AttributedString text);
  static Text image(Image image);
  // The key, translated (the identity for now), with each "%lld" replaced by the next argument
  // in plain decimal and "%%" by "%". A "%lld" without an argument stays as written.
  static Text localized(std::string_view key, const std::vector<std::int64_t>& arguments = {});

  Text operator+(const Text& other) const;
  Text& operator+=(const Text& other);

  // std::nullopt leaves the text unchanged.
  Text font(const std::optional<Font>& font) const;
  Text foregroundColor(const std::optional<Color>& color) const;

  // Adjacent attributed strings are joined into one segment.
  const std::vector<Segment>& segments() const { return segments_; }
  std::vector<Run> runs() const;
  std::string plainText() const;
  bool empty() const { return segments_.empty(); }

  bool operator==(const Text&) const = default;

 private:
  void append(Segment segment);

  std::vector<Segment> segments_;  // never holds an empty attributed string
};

}  // namespace ui
