#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "QtTestSupport.h"
#include "ui/Views.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"
#include "ui/qt/ViewWidget.h"

namespace ui::qt {
namespace {

constexpr int kWidth = 200, kHeight = 150;

// Rows of text with things that reach past their frames: strokes, an offset bar, a bar wider
// than its frame.
AnyView rows() {
  std::vector<AnyView> out;
  for (int i = 0; i < 60; ++i) {
    AnyView row = HStack(VAlign::center, 6,
                         {AnyView(Text::verbatim("line " + std::to_string(i) + " of the answer"))
                              .font(Font::system(13)),
                          Circle().stroke(Color::rgba(0xCC2200FF), 9).frame(10, 10)})
                      .frame(kWidth, 18, Alignment::leading);
    if (i % 7 == 3)
      row = row.background(ColorView(Color::rgba(0x2266CCFF)).frame(40, 6).offset(120, 22),
                           Alignment::topLeading);
    if (i % 5 == 1)
      row = row.overlay(ColorView(Color::rgba(0x22AA44FF)).frame(300, 3).frame(10, 3),
                        Alignment::bottomLeading);
    out.push_back(row);
  }
  return VStack(HAlign::leading, 0, out);
}

QImage blank() {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  return image;
}

// The rows moved up by `offset` with nothing left out: no clip, no visible area.
QImage reference(double offset) {
  ViewHost host(rows()
                    .fixedSize(false, true)
                    .offset(0, -offset)
                    .frame(kWidth, kHeight, Alignment::topLeading),
                std::make_shared<QtTextMeasurer>());
  host.setProposal(ProposedSize{double(kWidth), double(kHeight)});
  host.update();
  QImage image = blank();
  QPainter painter(&image);
  paintDisplayList(host.render(), painter);
  return image;
}

QImage painted(ViewWidget& w) {
  QImage image = blank();
  QPainter painter(&image);
  w.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

int differingPixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
  return count;
}

TEST(QtCulling, AScrolledViewPaintsWhatTheWholeContentShowsThere) {
  testing::app();
  ViewWidget w(ScrollView(ScrollAxes::vertical, false, rows()));
  w.resize(kWidth, kHeight);
  w.settle();
  EXPECT_EQ(differingPixels(painted(w), reference(0)), 0);
  // The middle, at offsets that cut rows and overflowing strokes and bars at both edges.
  for (double offset : {485.0, 517.5}) {
    ASSERT_TRUE(w.host().scrolled({10, 10}, 0, offset));
    w.settle();
    const QImage middle = painted(w);
    EXPECT_EQ(differingPixels(middle, reference(offset)), 0) << offset;
    EXPECT_GT(differingPixels(middle, blank()), 1000) << offset;  // something was drawn
    ASSERT_TRUE(w.host().scrolled({10, 10}, 0, -offset));
    w.settle();
  }
  // Back at the top, the first rows are painted again.
  EXPECT_EQ(differingPixels(painted(w), reference(0)), 0);
}

}  // namespace
}  // namespace ui::qt
