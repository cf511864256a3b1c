#include "ui/ReadableColor.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

double linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const Rgba& c) {
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

Rgba mix(const Rgba& from, const Rgba& to, double t) {
  return {from.red + (to.red - from.red) * t, from.green + (to.green - from.green) * t,
          from.blue + (to.blue - from.blue) * t, from.alpha + (to.alpha - from.alpha) * t};
}

// The darkest window or field a light scheme shows text on, and the lightest of a dark one,
// with a little to spare for desktops whose colours differ from ours.
constexpr Rgba kLightestDarkBackground{0x30 / 255.0, 0x30 / 255.0, 0x30 / 255.0, 1};
constexpr Rgba kDarkestLightBackground{0xE6 / 255.0, 0xE6 / 255.0, 0xE6 / 255.0, 1};

}  // namespace

double contrastRatio(const Rgba& a, const Rgba& b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgba shadeAgainst(const Rgba& colour, const Rgba& background, double ratio, const Rgba& towards) {
  if (contrastRatio(colour, background) >= ratio) return colour;
  if (contrastRatio(towards, background) < ratio) return towards;
  // Along the way the contrast falls while the colour nears the background and grows once past
  // it, so once met it stays met: halve the way to where that happens.
  double lo = 0, hi = 1;
  for (int i = 0; i < 40; ++i) {
    const double mid = (lo + hi) / 2;
    (contrastRatio(mix(colour, towards, mid), background) >= ratio ? hi : lo) = mid;
  }
  return mix(colour, towards, hi);
}

Color readableText(const Color& colour) {
  auto shade = [&colour](ColorScheme scheme, const Rgba& background, const Rgba& towards) {
    const Rgba own = colour.resolve(scheme);
    const Rgba s =
        shadeAgainst({own.red, own.green, own.blue, 1}, background, kReadableContrast, towards);
    return Color::sRGB(s.red, s.green, s.blue, own.alpha);
  };
  return Color::pair(shade(ColorScheme::light, kDarkestLightBackground, {0, 0, 0, 1}),
                     shade(ColorScheme::dark, kLightestDarkBackground, {1, 1, 1, 1}));
}

}  // namespace ui
