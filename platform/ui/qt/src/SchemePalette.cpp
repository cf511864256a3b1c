#include "ui/qt/SchemePalette.h"

#include <QStyle>

namespace ui::qt {

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

}  // namespace ui::qt
