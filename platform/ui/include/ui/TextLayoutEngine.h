#pragma once

#include <optional>
#include <string_view>

#include "ui/Font.h"
#include "ui/TextMeasurer.h"

namespace ui {

struct FontMetrics {
  double ascent = 0, descent = 0;  // both positive; the line height is their sum
};

// What a backend knows about its fonts; the line breaking itself is shared.
class GlyphMetrics {
 public:
  virtual ~GlyphMetrics() = default;
  virtual FontMetrics metrics(const ResolvedFont& font) const = 0;
  // Width of a piece of text in one font, without line breaks.
  virtual double advance(std::string_view utf8, const ResolvedFont& font) const = 0;
};

// Line breaking and placement: "\n" (also "\r\n", "\r", U+2028, U+2029) ends a line and a
// trailing one leaves an empty last line; lines wrap at spaces, which hang at the end of the
// line they wrapped on; a word wider than the width breaks between characters (at least one a
// line); an inline image is a word of its own. Kern and tracking add their amount after every
// character; line spacing goes between lines.
TextLayout layOutText(const Text& text, const TextLayoutDefaults& defaults,
                      std::optional<double> width, const GlyphMetrics& metrics);

}  // namespace ui
