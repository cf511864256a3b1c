#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ViewTestSupport.h"
#include "ui/LazyVStack.h"

namespace ui::testing {
namespace {

constexpr double kRow = 20, kGap = 4, kViewport = 300;

std::string rowName(std::size_t i) {
  return "row" + std::to_string(i);
}

// `count` rows of kRow points, except those `tall` says are three times that.
AnyView Rows(std::size_t count, std::function<bool(std::size_t)> tall = {}) {
  return LazyVStack(
      HAlign::leading, kGap, count, [](std::size_t i) { return Identity(rowName(i)); },
      [tall](std::size_t i) { return Box(100, tall && tall(i) ? 3 * kRow : kRow, rowName(i)); });
}

// Set while the host below builds its first frame, so made before it.
struct ProxySlot {
  std::shared_ptr<std::optional<ScrollViewProxy>> proxy =
      std::make_shared<std::optional<ScrollViewProxy>>();
};

struct ScrolledList : ProxySlot, Host {
  explicit ScrolledList(AnyView list)
      : Host(ScrollViewReader([slot = proxy, list](ScrollViewProxy p) {
               *slot = p;
               return ScrollView(list).accessibilityIdentifier("scroller");
             }),
             {200.0, kViewport}) {}
  bool made(std::size_t i) const { return host.frameOf(rowName(i)).has_value(); }
  std::size_t madeCount(std::size_t count) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) n += made(i) ? 1 : 0;
    return n;
  }
  void scroll(double dy) {
    host.scrolled({100, 100}, 0, dy);
    host.update();
  }
};

TEST(LazyVStack, OnlyRowsNearWhatShowsAreMadeWhileTheContentKeepsItsFullHeight) {
  constexpr std::size_t kCount = 10000;
  ScrolledList list(Rows(kCount));
  EXPECT_FALSE(list.host.needsUpdate());
  // (Narrower than the scroll view, the stack stands in its middle.)
  EXPECT_EQ(list.frame("row0"), (Rect{50, 0, 100, kRow}));
  EXPECT_EQ(list.frame("row1"), (Rect{50, kRow + kGap, 100, kRow}));
  // A screenful and some rows beyond it, not ten thousand.
  const std::size_t made = list.madeCount(kCount);
  EXPECT_GE(made, std::size_t(kViewport / (kRow + kGap)));
  EXPECT_LE(made, 60u);
  EXPECT_LT(list.host.nodeCount(), 400u);
  // The scroll view still scrolls over every row.
  EXPECT_NE(
      list.host.dump().find("content=100x" + std::to_string(int(kCount * (kRow + kGap) - kGap))),
      std::string::npos)
      << list.host.dump().substr(0, 800);

  // Scrolled far down, the rows there are made, at their places; the first are let go.
  list.scroll(5000 * (kRow + kGap));
  EXPECT_FALSE(list.host.needsUpdate());
  EXPECT_FALSE(list.made(0));
  ASSERT_TRUE(list.made(5000));
  EXPECT_EQ(list.frame("row5000").y, 0);
  EXPECT_EQ(list.frame("row5010").y, 10 * (kRow + kGap));
  EXPECT_LE(list.madeCount(kCount), 60u);

  // The scroll indicator stays long enough to see, halfway down.
  std::optional<Rect> indicator;
  for (const auto& fill : list.host.render().itemsOf<DisplayItem::FillPath>())
    if (fill.path.boundingRect().x == 200 - kScrollIndicatorThickness)
      indicator = fill.path.boundingRect();
  ASSERT_TRUE(indicator);
  EXPECT_DOUBLE_EQ(indicator->height, 24);
  EXPECT_NEAR(indicator->midY(), kViewport / 2, 2);

  // A small move makes nothing new: what is made already reaches beyond it.
  const std::size_t before = list.host.stats().nodesCreated;
  list.scroll(kRow + kGap);
  EXPECT_EQ(list.host.stats().nodesCreated, before);
  EXPECT_EQ(list.frame("row5001").y, 0);
}

TEST(LazyVStack, RowsOfOtherHeightsAreMeasuredAsTheyComeAndTheEndIsReachedExactly) {
  constexpr std::size_t kCount = 2000;
  auto tall = [](std::size_t i) { return i % 10 == 9; };
  ScrolledList list(Rows(kCount, tall));
  EXPECT_EQ(list.frame("row9"), (Rect{50, 9 * (kRow + kGap), 100, 3 * kRow}));
  EXPECT_EQ(list.frame("row10").y, 10 * (kRow + kGap) + 2 * kRow);

  // To the end: the last row sits at the bottom of the scroll view, right after the one
  // before it, whatever the rows in between were guessed to be.
  list.scroll(1e9);
  list.scroll(1e9);
  EXPECT_FALSE(list.host.needsUpdate());
  const Rect last = list.frame("row1999"), beforeLast = list.frame("row1998");
  EXPECT_NEAR(last.maxY(), kViewport, 1e-6);
  EXPECT_DOUBLE_EQ(last.height, 3 * kRow);
  EXPECT_NEAR(beforeLast.maxY() + kGap, last.y, 1e-6);
  // And back to the top: the first rows where they were.
  list.scroll(-1e9);
  list.scroll(-1e9);
  EXPECT_EQ(list.frame("row10").y, 10 * (kRow + kGap) + 2 * kRow);
}

TEST(LazyVStack, ScrollingToARowNotMadeYetMakesItAndShowsIt) {
  ScrolledList list(Rows(10000));
  ASSERT_FALSE(list.made(7000));
  (*list.proxy)->scrollTo(Identity(rowName(7000)));
  // One frame makes the row, the next scrolls to it and makes its neighbours.
  list.host.update();
  list.host.update();
  list.host.update();
  EXPECT_FALSE(list.host.needsUpdate());
  const Rect row = list.frame("row7000");
  EXPECT_GE(row.y, 0);
  EXPECT_LE(row.maxY(), kViewport);
  EXPECT_TRUE(list.made(6999));
  EXPECT_FALSE(list.made(0));
  // An identity no row has changes nothing.
  (*list.proxy)->scrollTo(Identity("none"));
  list.host.update();
  list.host.update();
  EXPECT_EQ(list.frame("row7000"), row);
}

TEST(LazyVStack, OutsideAScrollViewEveryRowIsMadeAndRowsMayComeAndGo) {
  Host plain(Rows(50), {200.0, std::nullopt});
  EXPECT_EQ(plain.frame("row49").y, 49 * (kRow + kGap));
  EXPECT_DOUBLE_EQ(plain.host.rootSize().height, 50 * (kRow + kGap) - kGap);

  // A row that draws nothing keeps its place: the rows after it stay at theirs.
  Host gaps(
      LazyVStack(HAlign::leading, kGap, 4, {},
                 [](std::size_t i) { return i == 1 ? AnyView() : Box(100, kRow, rowName(i)); }),
      {200.0, std::nullopt});
  EXPECT_EQ(gaps.frame("row2").y, kRow + 2 * kGap);
  EXPECT_EQ(gaps.frame("row3").y, 2 * kRow + 3 * kGap);

  // The list grows and shrinks under a scrolled view.
  std::size_t count = 1000;
  ScrolledList list(ViewBuilder([&count](BuildContext&) { return Rows(count); }));
  list.scroll(500 * (kRow + kGap));
  ASSERT_TRUE(list.made(500));
  count = 3;
  list.host.setRoot(ScrollViewReader([&count](ScrollViewProxy) {
    return ScrollView(ViewBuilder([&count](BuildContext&) { return Rows(count); }));
  }));
  list.host.update();
  list.host.update();
  EXPECT_FALSE(list.host.needsUpdate());
  EXPECT_FALSE(list.made(500));
  EXPECT_EQ(list.frame("row2").y, 2 * (kRow + kGap));
  count = 0;
  list.host.setRoot(ScrollView(Rows(0)));
  list.host.update();
  EXPECT_FALSE(list.made(0));
}

}  // namespace
}  // namespace ui::testing
