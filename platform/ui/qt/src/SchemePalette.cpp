#include "ui/qt/SchemePalette.h"

#include <QStyle>

#include "ui/ReadableColor.h"

namespace ui::qt {
namespace {

// A colour as it shows over an opaque one.
Rgba over(const QColor& top, const Rgba& below) {
  const double a = top.alphaF();
  return {top.redF() * a + below.red * (1 - a), top.greenF() * a + below.green * (1 - a),
          top.blueF() * a + below.blue * (1 - a), 1};
}

// A typed text stands out this much more than its placeholder, at the least.
constexpr double kHintShare = 0.6;

}  // namespace

QPalette schemePalette(ColorScheme scheme, const QStyle& style) {
  if (scheme == ColorScheme::light) return style.standardPalette();
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x1E));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Base, QColor(0x2B, 0x2B, 0x2B));
  dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
  dark.setColor(QPalette::ButtonText, Qt::white);
  dark.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 110));
  dark.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x55));
  return dark;
}

ColorScheme schemeOf(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
}

void makePlaceholdersReadable(QPalette& palette) {
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    QColor field = palette.color(group, QPalette::Base);
    if (field.alpha() == 0) field = palette.color(group, QPalette::Window);
    const Rgba base = over(field, {0, 0, 0, 1});
    const Rgba text = over(palette.color(group, QPalette::Text), base);
    const Rgba hint = over(palette.color(group, QPalette::PlaceholderText), base);
    const double contrast = contrastRatio(hint, base);
    if (contrast >= kReadableContrast && contrast <= kHintShare * contrastRatio(text, base))
      continue;
    // A little past the least, so that rounding to whole channel values keeps it readable.
    const Rgba readable = shadeAgainst(base, base, kReadableContrast + 0.1, text);
    palette.setColor(
        group, QPalette::PlaceholderText,
        QColor::fromRgbF(float(readable.red), float(readable.green), float(readable.blue)));
  }
}

}  // namespace ui::qt
