#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "ui/Font.h"
#include "ui/Geometry.h"
#include "ui/Image.h"
#include "ui/TextAlignment.h"
#include "ui/TextValue.h"

namespace ui {

// The environment values text layout depends on.
struct TextLayoutDefaults {
  Font font;  // for runs without a font of their own
  double lineSpacing = 0;
  TextAlignment alignment = TextAlignment::leading;  // of lines relative to each other
  ImageScale imageScale = ImageScale::medium;        // of inline symbols
  bool operator==(const TextLayoutDefaults&) const = default;
};

// A laid-out text in its own coordinates (origin top-left, y downwards). Offsets are bytes
// of Text::plainText().
struct TextLayout {
  struct Line {
    std::size_t begin = 0, end = 0;  // without the line break and hanging spaces
    Rect frame;                      // aligned; height = ascent + descent
    double ascent = 0, descent = 0;
    double baseline = 0;  // y
    bool operator==(const Line&) const = default;
  };
  // The part of one run that lies on one line.
  struct Fragment {
    std::size_t run = 0;  // index into Text::runs()
    std::size_t line = 0;
    std::size_t begin = 0, end = 0;
    Rect frame;           // text: as high as its line; image: the image, standing on the baseline
    double baseline = 0;  // y, after the run's baseline offset
    ResolvedFont font;    // the font it was measured in
    bool operator==(const Fragment&) const = default;
  };

  // (min(proposed width, widest line), height); (0, 0) for empty text.
  Size size;
  std::vector<Line> lines;
  std::vector<Fragment> fragments;
  double firstBaseline = 0, lastBaseline = 0;
  double firstLineHeight = 0;

  // The frames of a run's fragments, in line order: what a click on a link must hit.
  std::vector<Rect> rectsOfRun(std::size_t run) const;
  // The run under a point, if any fragment contains it.
  std::optional<std::size_t> runAt(Point p) const;
};

// Lays out text. A backend implements it over real fonts; FakeTextMeasurer has fixed metrics.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;

  // Wraps at `width`; without one (or with a non-finite one) only hard breaks end lines and
  // the size is the ideal one.
  virtual TextLayout layout(const Text& text, const TextLayoutDefaults& defaults,
                            std::optional<double> width) const = 0;
};

}  // namespace ui
