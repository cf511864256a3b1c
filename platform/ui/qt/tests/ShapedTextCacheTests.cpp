#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>
#include <vector>

#include "QtTestSupport.h"
#include "ui/qt/ShapedTextCache.h"

namespace ui::qt {
namespace {

QImage paint(const std::function<void(QPainter&)>& draw, QPointF shift = {}) {
  QImage image(320, 60, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(shift);
  painter.setPen(QColor(230, 230, 235));
  draw(painter);
  return image;
}

QFont font(const QString& family, double size, QFont::Weight weight = QFont::Normal,
           bool italic = false, double spacing = 0) {
  QFont f(family);
  f.setPointSizeF(size);
  f.setWeight(weight);
  f.setItalic(italic);
  if (spacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  return f;
}

// Drawn from the cache, the first time and again, text looks exactly as QPainter draws it:
// emoji among letters, ligatures, right-to-left and combined scripts, tabs, spacing, at
// fractional positions under a fractional translation.
TEST(ShapedTextCache, DrawsWhatThePainterDrawsTheFirstTimeAndAfter) {
  testing::app();
  const std::vector<QString> texts = {
      "Improve writing",
      QString::fromUtf8("✍️ Improve writing"),
      QString::fromUtf8("🪄"),
      QString::fromUtf8("Fix spelling and grammar 🔍 now"),
      "office fine flow",
      QString::fromUtf8("שלום עולם and words"),
      QString::fromUtf8("مرحبا بالعالم"),
      QString::fromUtf8("日本語のテキスト"),
      QString::fromUtf8("e\u0301te\u0301 combined"),
      "tab\there",
      "  spaced out  ",
      "",
  };
  const std::vector<QFont> fonts = {
      font("DejaVu Sans", 13),
      font("DejaVu Sans", 16.5, QFont::Bold),
      font("DejaVu Serif", 14, QFont::Normal, true),
      font("DejaVu Sans Mono", 12),
      font("DejaVu Sans", 13, QFont::Normal, false, 1.5),
  };
  const std::vector<QPointF> origins = {{0, 20}, {10.25, 33.5}, {7.8, 41.37}};
  const std::vector<QPointF> shifts = {{0, 0}, {0.3, 0.6}};
  ShapedTextCache cache;
  for (const QString& text : texts)
    for (const QFont& f : fonts)
      for (const QPointF& origin : origins)
        for (const QPointF& shift : shifts) {
          const QImage expected = paint(
              [&](QPainter& p) {
                p.setFont(f);
                p.drawText(origin, text);
              },
              shift);
          for (int time = 0; time < 2; ++time) {
            const QImage drawn = paint([&](QPainter& p) { cache.draw(p, origin, text, f); }, shift);
            EXPECT_EQ(drawn, expected)
                << text.toStdString() << " in " << f.key().toStdString() << " at " << origin.x()
                << "," << origin.y() << " shifted " << shift.x() << " time " << time;
          }
        }
}

// Text with a line break is drawn as QPainter draws it and not kept; beyond its capacity the
// cache forgets the text drawn longest ago, and draws it right again.
TEST(ShapedTextCache, KeepsAtMostItsCapacityAndLeavesLineBreaksToThePainter) {
  testing::app();
  ShapedTextCache cache(2);
  const QFont f = font("DejaVu Sans", 13);
  const QString broken = "two\nlines";
  const QImage expected = paint([&](QPainter& p) {
    p.setFont(f);
    p.drawText(QPointF(4, 20), broken);
  });
  EXPECT_EQ(paint([&](QPainter& p) { cache.draw(p, {4, 20}, broken, f); }), expected);
  EXPECT_EQ(cache.size(), 0u);

  for (const char* text : {"first", "second", "third", "first"}) {
    const QImage reference = paint([&](QPainter& p) {
      p.setFont(f);
      p.drawText(QPointF(4, 20), text);
    });
    EXPECT_EQ(paint([&](QPainter& p) { cache.draw(p, {4, 20}, text, f); }), reference) << text;
    EXPECT_LE(cache.size(), 2u);
  }
  // Cleared, it keeps nothing and draws as before.
  cache.clear();
  EXPECT_EQ(cache.size(), 0u);
  const QImage reference = paint([&](QPainter& p) {
    p.setFont(f);
    p.drawText(QPointF(4, 20), "first");
  });
  EXPECT_EQ(paint([&](QPainter& p) { cache.draw(p, {4, 20}, "first", f); }), reference);
  EXPECT_EQ(cache.size(), 1u);
}

}  // namespace
}  // namespace ui::qt
