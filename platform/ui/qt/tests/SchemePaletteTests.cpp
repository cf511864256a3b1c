#include <gtest/gtest.h>

#include <QStyle>

#include "QtTestSupport.h"
#include "ui/ReadableColor.h"
#include "ui/qt/SchemePalette.h"

namespace ui::qt {
namespace {

Rgba opaque(const QColor& c) {
  return {c.redF(), c.greenF(), c.blueF(), 1};
}

double hintContrast(const QPalette& p) {
  return contrastRatio(opaque(p.color(QPalette::PlaceholderText)), opaque(p.color(QPalette::Base)));
}

TEST(SchemePalette, PlaceholdersReadAsHintsWhateverThePaletteSays) {
  testing::app();
  // A desktop palette whose placeholders are as dark as the text, one whose are too faint,
  // and the dark one of our own.
  QPalette asDark(Qt::white);
  asDark.setColor(QPalette::Text, Qt::black);
  asDark.setColor(QPalette::Base, Qt::white);
  asDark.setColor(QPalette::PlaceholderText, QColor(0x10, 0x10, 0x10));
  QPalette faint = asDark;
  faint.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 60));
  for (QPalette palette :
       {asDark, faint, schemePalette(ColorScheme::dark, *testing::app().style())}) {
    makePlaceholdersReadable(palette);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
      palette.setCurrentColorGroup(group);
      const double text = contrastRatio(opaque(palette.color(QPalette::Text)),
                                        opaque(palette.color(QPalette::Base)));
      EXPECT_GE(hintContrast(palette), kReadableContrast);
      EXPECT_LE(hintContrast(palette), 0.6 * text);
    }
  }

  // Placeholders that already read as hints are left as the desktop made them.
  QPalette fine = asDark;
  fine.setColor(QPalette::PlaceholderText, QColor(0x60, 0x60, 0x60));
  QPalette kept = fine;
  makePlaceholdersReadable(kept);
  EXPECT_EQ(kept.color(QPalette::PlaceholderText), fine.color(QPalette::PlaceholderText));
}

}  // namespace
}  // namespace ui::qt
