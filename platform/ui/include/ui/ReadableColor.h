#pragma once

#include "ui/Color.h"

namespace ui {

// The contrast of two opaque colours as the web's accessibility guidelines measure it: from 1
// (the same) to 21 (black on white).
double contrastRatio(const Rgba& a, const Rgba& b);

// The least contrast at which text is read with ease.
inline constexpr double kReadableContrast = 4.5;

// `colour` moved in a straight line towards `towards` just far enough to stand at `ratio`
// against `background`; `towards` itself when no point on the way does.
Rgba shadeAgainst(const Rgba& colour, const Rgba& background, double ratio, const Rgba& towards);

// A colour for text in the hue of `colour`: in each scheme that scheme's own shade of it when
// it reads on the scheme's windows and fields, else darker (light scheme) or lighter (dark
// scheme) just as far as reading needs.
Color readableText(const Color& colour);

}  // namespace ui
