#include <gtest/gtest.h>

#include "ui/RepaintRegion.h"

namespace ui {
namespace {

const Rgba kRed{1, 0, 0, 1}, kBlue{0, 0, 1, 1};

DisplayItem::FillPath box(Rect r, Rgba color = kRed) {
  return {Path::rect(r), color};
}

DisplayItem::TextRun run(std::string text, Rect frame) {
  DisplayItem::TextRun t;
  t.text = std::move(text);
  t.font.size = 13;
  t.color = kBlue;
  t.frame = frame;
  t.baseline = frame.y + frame.height * 0.8;
  return t;
}

// A window of a title, a scrolled conversation under a clip and a field at the bottom.
DisplayList window(const std::string& answer = "An answer", double scroll = 0, Rgba field = kRed) {
  DisplayList list;
  list.add(box({0, 0, 600, 400}, {0.1, 0.1, 0.1, 1}));
  list.add(run("Title", {10, 10, 80, 16}));
  list.add(DisplayItem::PushClip{Path::rect({0, 40, 600, 300})});
  list.add(DisplayItem::PushTransform{0, 40 - scroll});
  list.add(run(answer, {10, 0, 200, 16}));
  for (int i = 1; i < 30; ++i) list.add(run("Line " + std::to_string(i), {10, 20.0 * i, 200, 16}));
  list.add(DisplayItem::PopTransform{});
  list.add(DisplayItem::PopClip{});
  list.add(box({10, 360, 580, 30}, field));
  return list;
}

bool covers(const RepaintRegion& region, const Rect& r) {
  // Every corner area of `r` lies in one of the rectangles (they are few and simple here).
  for (const Point p : {Point{r.x, r.y}, Point{r.maxX() - 0.5, r.y}, Point{r.x, r.maxY() - 0.5},
                        Point{r.maxX() - 0.5, r.maxY() - 0.5}, Point{r.midX(), r.midY()}}) {
    bool inside = false;
    for (const auto& q : region.rects()) inside = inside || q.contains(p);
    if (!inside) return false;
  }
  return true;
}

double area(const RepaintRegion& region) {
  double a = 0;
  for (const auto& r : region.rects()) a += r.width * r.height;
  return a;
}

TEST(RepaintRegionTest, TheSameListsRepaintNothing) {
  EXPECT_TRUE(RepaintRegion::between(window(), window()).isEmpty());
  EXPECT_TRUE(RepaintRegion::between(DisplayList{}, DisplayList{}).isEmpty());
}

TEST(RepaintRegionTest, AChangedItemRepaintsItsOwnAreaAlone) {
  // Recoloured: the field, and little around it.
  const auto recoloured = RepaintRegion::between(window(), window("An answer", 0, kBlue));
  EXPECT_TRUE(covers(recoloured, {10, 360, 580, 30}));
  EXPECT_LT(recoloured.bounds().height, 40);
  EXPECT_GT(recoloured.bounds().y, 340);

  // Text changed: its run with the glyphs' reach (up to the clip), not the lines after it.
  const auto retyped = RepaintRegion::between(window(), window("Another answer"));
  EXPECT_TRUE(covers(retyped, {0, 40, 226, 32}));
  EXPECT_LT(retyped.bounds().maxY(), 120);
  EXPECT_LT(area(retyped), 600 * 400 / 4);
}

TEST(RepaintRegionTest, MovedAddedAndRemovedItemsRepaintWhereTheyWereAndAre) {
  DisplayList before, after;
  before.add(box({0, 0, 10, 10}));
  before.add(box({100, 100, 10, 10}));
  after.add(box({50, 0, 10, 10}));
  after.add(box({100, 100, 10, 10}));
  after.add(box({200, 200, 10, 10}));
  const auto region = RepaintRegion::between(before, after);
  EXPECT_TRUE(covers(region, {0, 0, 10, 10}));        // left
  EXPECT_TRUE(covers(region, {50, 0, 10, 10}));       // arrived
  EXPECT_TRUE(covers(region, {200, 200, 10, 10}));    // added
  EXPECT_FALSE(region.intersects({103, 103, 4, 4}));  // unchanged

  const auto removed = RepaintRegion::between(after, before);
  EXPECT_TRUE(covers(removed, {200, 200, 10, 10}));
  EXPECT_FALSE(removed.intersects({103, 103, 4, 4}));
}

TEST(RepaintRegionTest, AnItemInsertedEarlyLeavesTheItemsAfterItAlone) {
  DisplayList before = window(), after;
  after.add(box({300, 5, 20, 20}));
  for (const auto& item : before.items()) after.add(item);  // the same items, one further on
  const auto region = RepaintRegion::between(before, after);
  EXPECT_TRUE(covers(region, {300, 5, 20, 20}));
  EXPECT_LT(region.bounds().maxY(), 30);
}

TEST(RepaintRegionTest, AChangedTransformClipOrOpacityRepaintsWhatIsUnderIt) {
  // Scrolled: every line under the clip, and nothing outside it.
  const auto scrolled = RepaintRegion::between(window(), window("An answer", 48));
  EXPECT_TRUE(covers(scrolled, {10, 41, 200, 298}));
  EXPECT_GE(scrolled.bounds().y, 39);
  EXPECT_LE(scrolled.bounds().maxY(), 341);

  auto clipped = [](Rect clip, double opacity) {
    DisplayList list;
    list.add(DisplayItem::PushOpacity{opacity});
    list.add(DisplayItem::PushClip{Path::rect(clip)});
    list.add(box({0, 0, 100, 100}));
    list.add(DisplayItem::PopClip{});
    list.add(DisplayItem::PopOpacity{});
    list.add(box({200, 200, 10, 10}));
    return list;
  };
  const auto reclipped =
      RepaintRegion::between(clipped({0, 0, 50, 50}, 1), clipped({0, 0, 60, 60}, 1));
  EXPECT_TRUE(covers(reclipped, {0, 0, 60, 60}));
  EXPECT_LT(reclipped.bounds().maxX(), 70);  // the box's ink stops at the clips
  EXPECT_FALSE(reclipped.intersects({202, 202, 6, 6}));

  const auto faded =
      RepaintRegion::between(clipped({0, 0, 50, 50}, 1), clipped({0, 0, 50, 50}, 0.5));
  EXPECT_TRUE(covers(faded, {0, 0, 50, 50}));
  EXPECT_FALSE(faded.intersects({202, 202, 6, 6}));
  // Whatever happens under no opacity shows nowhere.
  EXPECT_TRUE(
      RepaintRegion::between(clipped({0, 0, 50, 50}, 0), clipped({0, 0, 60, 60}, 0)).isEmpty());
}

TEST(RepaintRegionTest, OverlappingItemsDrawnInAnotherOrderRepaintTheirOverlap) {
  DisplayList before, after;
  before.add(box({0, 0, 50, 50}, kRed));
  before.add(box({25, 25, 50, 50}, kBlue));
  after.add(box({25, 25, 50, 50}, kBlue));
  after.add(box({0, 0, 50, 50}, kRed));
  EXPECT_TRUE(covers(RepaintRegion::between(before, after), {25, 25, 25, 25}));

  // The same item twice matches twice; a third is new.
  DisplayList twice, thrice;
  for (int i = 0; i < 2; ++i) twice.add(box({0, 0, 10, 10}));
  for (int i = 0; i < 3; ++i) thrice.add(box({0, 0, 10, 10}));
  EXPECT_TRUE(RepaintRegion::between(twice, twice).isEmpty());
  EXPECT_TRUE(covers(RepaintRegion::between(twice, thrice), {0, 0, 10, 10}));
}

TEST(RepaintRegionTest, InkReachesAsFarAsAPainterDraws) {
  InkTracker tracker;
  DisplayItem::StrokePath line{Path::rect({10, 10, 100, 0}), kRed, {}};
  line.style.lineWidth = 4;
  line.style.join = StrokeStyle::Join::round;
  EXPECT_LE(tracker.next({line}).y, 10 - 4);

  EXPECT_EQ(tracker.next({DisplayItem::PushTransform{100, 50}}), Rect{});
  const Rect ink = tracker.next({box({0, 0, 10, 10})});
  EXPECT_LE(ink.x, 100);
  EXPECT_GE(ink.maxX(), 110);
  EXPECT_LE(ink.y, 50);
  EXPECT_TRUE(
      tracker.next({DisplayItem::PlaceWidget{Identity(1), {0, 0, 10, 10}, nullptr}}).isEmpty());
  // Unmatched pops and geometry that cannot be painted are ignored, as a painter does.
  tracker.next({DisplayItem::PopTransform{}});
  tracker.next({DisplayItem::PopClip{}});
  EXPECT_TRUE(tracker.next({run("nowhere", {std::nan(""), 0, 10, 10})}).isEmpty());
  EXPECT_EQ(tracker.state().offset, (Point{0, 0}));
  tracker.next({DisplayItem::PushClip{Path()}});
  EXPECT_TRUE(tracker.next({box({0, 0, 10, 10})}).isEmpty());
}

TEST(RepaintRegionTest, ManyScatteredChangesBecomeTheirBounds) {
  DisplayList before, after;
  for (int i = 0; i < 100; ++i) {
    before.add(box({i * 30.0, (i % 7) * 40.0, 4, 4}, kRed));
    after.add(box({i * 30.0, (i % 7) * 40.0, 4, 4}, kBlue));
  }
  const auto region = RepaintRegion::between(before, after);
  EXPECT_LE(region.rects().size(), 48u);
  EXPECT_TRUE(covers(region, {0, 0, 2974, 244}));

  // The lines of a paragraph come as one rectangle.
  const auto paragraph = RepaintRegion::between(window(), window("An answer", 10));
  EXPECT_EQ(paragraph.rects().size(), 1u);
}

}  // namespace
}  // namespace ui
