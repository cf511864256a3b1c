#include <gtest/gtest.h>

#include "ui/Path.h"

namespace ui {
namespace {

void expectNear(const Rect& actual, const Rect& expected) {
  constexpr double kTolerance = 1e-9;
  EXPECT_NEAR(actual.x, expected.x, kTolerance);
  EXPECT_NEAR(actual.y, expected.y, kTolerance);
  EXPECT_NEAR(actual.width, expected.width, kTolerance);
  EXPECT_NEAR(actual.height, expected.height, kTolerance);
}

TEST(PathTest, ShapesBoundTheirRect) {
  const Rect r{10, 20, 100, 40};
  expectNear(Path::rect(r).boundingRect(), r);
  expectNear(Path::ellipse(r).boundingRect(), r);
  for (CornerStyle style : {CornerStyle::circular, CornerStyle::continuous}) {
    for (double radius : {0.0, 6.0, 20.0, 500.0}) {
      expectNear(Path::roundedRect(r, radius, style).boundingRect(), r);
    }
  }
  EXPECT_EQ(Path().boundingRect(), Rect{});
}

TEST(PathTest, BoundsFollowCurvesNotControlPoints) {
  Path quad;
  quad.moveTo({0, 0});
  quad.quadTo({50, 100}, {100, 0});
  expectNear(quad.boundingRect(), {0, 0, 100, 50});

  Path cubic;
  cubic.moveTo({0, 0});
  cubic.cubicTo({0, 100}, {100, 100}, {100, 0});
  expectNear(cubic.boundingRect(), {0, 0, 100, 75});
}

TEST(PathTest, RoundedCornersClampToHalfTheShorterSide) {
  const Rect r{0, 0, 100, 20};
  EXPECT_EQ(Path::roundedRect(r, 10), Path::roundedRect(r, 50));
  EXPECT_EQ(Path::roundedRect(r, 0), Path::rect(r));
  EXPECT_EQ(Path::roundedRect(r, -3), Path::rect(r));
  EXPECT_NE(Path::roundedRect(r, 6, CornerStyle::circular),
            Path::roundedRect(r, 6, CornerStyle::continuous));
  // A continuous corner begins further along the edge than a circular one.
  EXPECT_EQ(Path::roundedRect(r, 6).elements()[0].points[0], (Point{6, 0}));
  EXPECT_GT(Path::roundedRect(r, 6, CornerStyle::continuous).elements()[0].points[0].x, 6);
}

TEST(PathTest, SegmentsWithoutACurrentPointStartASubpath) {
  Path p;
  p.lineTo({5, 5});
  p.closeSubpath();
  p.lineTo({10, 5});
  ASSERT_EQ(p.elements().size(), 3u);
  EXPECT_EQ(p.elements()[0].kind, Path::Element::Kind::move);
  EXPECT_EQ(p.elements()[1].kind, Path::Element::Kind::close);
  EXPECT_EQ(p.elements()[2].kind, Path::Element::Kind::line);
  Path empty;
  empty.closeSubpath();
  EXPECT_TRUE(empty.isEmpty());
}

TEST(PathTest, TransformsScaleThenTranslate) {
  const Path unit = Path::rect({0, 0, 1, 1});
  EXPECT_EQ(unit.transformed(20, 10, 5, 7), Path::rect({5, 7, 20, 10}));
  EXPECT_EQ(unit.scaled(2, 3).translated(1, 1), Path::rect({1, 1, 2, 3}));
  expectNear(Path::ellipse({0, 0, 1, 1}).scaled(8, 8).boundingRect(), {0, 0, 8, 8});
}

}  // namespace
}  // namespace ui
