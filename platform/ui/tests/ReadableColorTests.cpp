#include <gtest/gtest.h>

#include "ui/ReadableColor.h"

namespace ui {
namespace {

Rgba opaque(std::uint32_t rgb) {
  return Color::rgba(rgb << 8 | 0xFF).resolve(ColorScheme::light);
}

TEST(ReadableColor, ContrastIsMeasuredAsTheGuidelinesDo) {
  EXPECT_NEAR(contrastRatio(opaque(0x000000), opaque(0xFFFFFF)), 21, 1e-9);
  EXPECT_NEAR(contrastRatio(opaque(0x777777), opaque(0x777777)), 1, 1e-9);
  // Symmetric, and the figures a contrast checker gives.
  EXPECT_NEAR(contrastRatio(opaque(0xFF9808), opaque(0xEFEFEF)), 1.87, 0.01);
  EXPECT_NEAR(contrastRatio(opaque(0xEFEFEF), opaque(0x34C759)), 1.93, 0.01);
  EXPECT_NEAR(contrastRatio(opaque(0x767676), opaque(0xFFFFFF)), 4.54, 0.01);
}

TEST(ReadableColor, ShadesMoveOnlyAsFarAsReadingNeeds) {
  const Rgba white = opaque(0xFFFFFF), black = opaque(0x000000);
  // Already readable: unchanged.
  EXPECT_EQ(shadeAgainst(opaque(0x202020), white, kReadableContrast, black), opaque(0x202020));
  // Too light on white: darkened to just 4.5:1, its hue kept (red stays the strongest channel).
  const Rgba red = shadeAgainst(opaque(0xFF3B30), white, kReadableContrast, black);
  EXPECT_NEAR(contrastRatio(red, white), kReadableContrast, 0.01);
  EXPECT_GT(red.red, 2 * red.green);
  // Starting on the far side of the background: past it and on until readable.
  const Rgba grey = opaque(0x888888);
  const Rgba lighter = shadeAgainst(opaque(0x707070), grey, 2, white);
  EXPECT_GT(lighter.red, grey.red);
  EXPECT_GE(contrastRatio(lighter, grey), 2 - 1e-9);
  // Unreachable: as far as it goes.
  EXPECT_EQ(shadeAgainst(grey, opaque(0xF0F0F0), 30, black), black);
}

TEST(ReadableColor, NamedColoursReadOnWindowsOfEitherScheme) {
  const Rgba lightWindows[] = {opaque(0xEFEFEF), opaque(0xFFFFFF), opaque(0xF6F5F4)};
  const Rgba darkWindows[] = {opaque(0x1E1E1E), opaque(0x2B2B2B), opaque(0x282828)};
  for (const Color& hue : {Color::green(), Color::orange(), Color::red(), Color::gray(),
                           Color::blue(), Color::indigo()}) {
    const Color text = readableText(hue);
    for (const Rgba& window : lightWindows)
      EXPECT_GE(contrastRatio(text.resolve(ColorScheme::light), window), kReadableContrast);
    for (const Rgba& window : darkWindows)
      EXPECT_GE(contrastRatio(text.resolve(ColorScheme::dark), window), kReadableContrast);
  }
  // A colour that reads as it is stays itself.
  EXPECT_EQ(readableText(Color::green()).resolve(ColorScheme::dark),
            Color::green().resolve(ColorScheme::dark));
}

}  // namespace
}  // namespace ui
