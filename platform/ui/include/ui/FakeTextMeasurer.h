#pragma once

#include "ui/TextLayoutEngine.h"

namespace ui {

// Fixed metrics for exact layout tests: every character (code point) is 0.6 × the font size
// wide, a line is 1.2 × the size high, with an ascent of 0.8 × and a descent of 0.4 × the size.
class FakeTextMeasurer final : public TextMeasurer, public GlyphMetrics {
 public:
  static constexpr double kAdvance = 0.6, kAscent = 0.8, kDescent = 0.4;

  TextLayout layout(const Text& text, const TextLayoutDefaults& defaults,
                    std::optional<double> width) const override {
    return layOutText(text, defaults, width, *this);
  }
  FontMetrics metrics(const ResolvedFont& font) const override;
  double advance(std::string_view utf8, const ResolvedFont& font) const override;
};

}  // namespace ui
