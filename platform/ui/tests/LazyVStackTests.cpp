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

// What ScrolledList shows, for a root set again: the views that stay keep their nodes.
AnyView scrolled(AnyView list) {
  return ScrollViewReader(
      [list](ScrollViewProxy) { return ScrollView(list).accessibilityIdentifier("scroller"); });
}

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

// Rows of heights given by `heights` (shared, so a test can change them), estimated from
// `estimates` and keyed by `keys` when those are given.
struct HintedRows {
  std::shared_ptr<std::vector<double>> heights, estimates;
  std::shared_ptr<std::vector<std::uint64_t>> keys;
  std::shared_ptr<int> made = std::make_shared<int>(0);
  bool firstByEstimate = false;

  explicit HintedRows(std::vector<double> h)
      : heights(std::make_shared<std::vector<double>>(std::move(h))) {}
  AnyView view() const {
    LazyRowHints hints;
    if (estimates) hints.estimate = [e = estimates](std::size_t i, double) { return (*e)[i]; };
    if (keys) hints.key = [k = keys](std::size_t i) { return (*k)[i]; };
    hints.firstRowsByEstimate = firstByEstimate;
    return LazyVStack(
        HAlign::leading, kGap, heights->size(), [](std::size_t i) { return Identity(rowName(i)); },
        [h = heights, made = made](std::size_t i) {
          ++*made;
          return Box(100, (*h)[i], rowName(i));
        },
        std::move(hints));
  }
};

double contentHeight(const Host& h) {
  const std::string dump = h.host.dump();
  const auto at = dump.find("content=");
  return std::stod(dump.substr(dump.find('x', at) + 1));
}

TEST(LazyVStack, RowsNotMadeAreTakenAtTheirEstimatesScaledLikeTheRowsMade) {
  // Past the first rows every tenth row is five times as tall, and says so: the length shows
  // before they are made, though every estimate is half the true height.
  std::vector<double> heights(2000), estimates(2000);
  for (std::size_t i = 0; i < heights.size(); ++i) {
    heights[i] = i >= 100 && i % 10 == 9 ? 5 * kRow : kRow;
    estimates[i] = heights[i] / 2;
  }
  HintedRows rows(heights);
  rows.estimates = std::make_shared<std::vector<double>>(estimates);
  ScrolledList list(rows.view());
  double truth = kGap * (heights.size() - 1);
  for (double h : heights) truth += h;
  EXPECT_NEAR(contentHeight(list), truth, truth * 0.01);
  EXPECT_LT(list.madeCount(heights.size()), 60u);

  // Averaging the rows made instead, without estimates, misses the tall rows not made.
  ScrolledList averaged(HintedRows(heights).view());
  EXPECT_GT(std::abs(contentHeight(averaged) - truth), truth * 0.05);
}

TEST(LazyVStack, AStackNewInAScrollViewShownAlreadyMakesTheRowsItsEstimatesSayReachWhatShows) {
  // Rows of many lines, as a long text that came at once is cut into, and say so.
  HintedRows rows(std::vector<double>(100, 40 * kRow));
  rows.estimates = std::make_shared<std::vector<double>>(100, 40 * kRow);
  rows.firstByEstimate = true;
  auto lazy = std::make_shared<bool>(false);
  auto content = [lazy](HintedRows shown) {
    return AnyView(ViewBuilder(
        [shown, lazy](BuildContext&) { return *lazy ? shown.view() : Box(100, kRow, "short"); }));
  };
  ScrolledList list(content(rows));
  ASSERT_TRUE(list.host.frameOf("short"));
  *lazy = true;
  list.host.setRoot(scrolled(content(rows)));
  list.host.update();
  // The first row reaches past the screen and what is made beyond it: it alone is made, not
  // the two dozen a stack makes where nothing tells it what shows.
  EXPECT_FALSE(list.host.needsUpdate());
  EXPECT_EQ(*rows.made, 1);
  EXPECT_EQ(list.frame("row0"), (Rect{50, 0, 100, 40 * kRow}));
  EXPECT_NEAR(contentHeight(list), 100 * 40 * kRow + 99 * kGap, 1e-6);
  // Scrolled, the rows that come into view are made as they are for any stack.
  list.scroll(2 * 40 * kRow);
  EXPECT_TRUE(list.made(2));
  EXPECT_LE(list.madeCount(100), 3u);

  // Unless asked to, a stack makes its first two dozen rows, whose widest sets its width.
  HintedRows everyFirst = rows;
  everyFirst.firstByEstimate = false;
  *lazy = false;
  list.host.setRoot(scrolled(content(everyFirst)));
  list.host.update();
  *lazy = true;
  *rows.made = 0;
  list.host.setRoot(scrolled(content(everyFirst)));
  list.host.update();
  EXPECT_GE(*rows.made, 24);
}

TEST(LazyVStack, RowsThatComeByTheHundredAtTheEndAreMadeOnlyAsFarAsTheyReachWhatShows) {
  // Two rows show, the stack's end well within the screen; then a long text's worth of rows
  // comes at once.
  HintedRows rows(std::vector<double>(2, kRow));
  rows.estimates = std::make_shared<std::vector<double>>(2, kRow);
  auto content = [rows] {
    return AnyView(ViewBuilder([rows](BuildContext&) { return rows.view(); }));
  };
  ScrolledList list(content());
  ASSERT_TRUE(list.made(1));
  rows.heights->assign(500, kRow);
  rows.estimates->assign(500, kRow);
  *rows.made = 0;
  list.host.setRoot(scrolled(content()));
  list.host.update();
  EXPECT_FALSE(list.host.needsUpdate());
  // A screenful and what is made beyond it, not five hundred rows where the end was.
  const std::size_t made = list.madeCount(500);
  EXPECT_GE(made, std::size_t(kViewport / (kRow + kGap)));
  EXPECT_LE(made, 60u);
  EXPECT_LE(*rows.made, 120);
  EXPECT_EQ(list.frame("row20").y, 20 * (kRow + kGap));
  EXPECT_NEAR(contentHeight(list), 500 * kRow + 499 * kGap, 1e-6);
}

TEST(LazyVStack, AMeasuredHeightIsKeptByKeyAcrossRebuildsAndForgottenWhenTheKeyChanges) {
  HintedRows rows(std::vector<double>(500, kRow));
  rows.estimates = std::make_shared<std::vector<double>>(500, kRow);
  rows.keys = std::make_shared<std::vector<std::uint64_t>>(500, 1);
  for (std::size_t i = 0; i < 500; ++i) (*rows.keys)[i] = i;
  (*rows.heights)[3] = 4 * kRow;
  ScrolledList list(ViewBuilder([rows](BuildContext&) { return rows.view(); }));
  EXPECT_EQ(list.frame("row4").y, 3 * (kRow + kGap) + 4 * kRow + kGap);
  // Scrolled away, rebuilt, and back: row 3 keeps the height it was measured at, as its key
  // is the same, whatever the row's view says meanwhile.
  list.scroll(300 * (kRow + kGap));
  ASSERT_FALSE(list.made(3));
  (*rows.heights)[3] = 2 * kRow;
  auto rebuild = [&] {
    list.host.setRoot(ScrollViewReader([rows](ScrollViewProxy) {
      return ScrollView(ViewBuilder([rows](BuildContext&) { return rows.view(); }))
          .accessibilityIdentifier("scroller");
    }));
    list.host.update();
    list.host.update();
  };
  rebuild();
  ASSERT_FALSE(list.made(3));
  const double evenly = 500 * kRow + 499 * kGap;
  EXPECT_GE(contentHeight(list), evenly + 3 * kRow - 1e-6);
  // A new key for row 3: its height is estimated again until it is made.
  (*rows.keys)[3] = 1000;
  rebuild();
  ASSERT_FALSE(list.made(3));
  EXPECT_NEAR(contentHeight(list), evenly, 1e-6);
}

TEST(LazyVStack, RowsMeasuredAboveWhatShowsLeaveItInPlace) {
  // The rows are all estimated at one height, but the first thousand are three times taller.
  std::vector<double> heights(3000, kRow);
  for (std::size_t i = 0; i < 1000; ++i) heights[i] = 3 * kRow;
  HintedRows rows(heights);
  rows.estimates = std::make_shared<std::vector<double>>(3000, kRow);
  ScrolledList list(rows.view());
  // Far down, then up, a wheel notch at a time: the row at the top moves by the notch only,
  // however the rows made above it measure.
  list.scroll(1e9);
  list.scroll(1e9);
  for (int notch = 0; notch < 200; ++notch) {
    std::optional<std::pair<std::size_t, double>> top;
    for (std::size_t i = 0; i < heights.size() && !top; ++i)
      if (list.made(i) && list.frame(rowName(i)).y >= 0) top = {i, list.frame(rowName(i)).y};
    ASSERT_TRUE(top);
    list.scroll(-40);
    ASSERT_TRUE(list.made(top->first));
    ASSERT_NEAR(list.frame(rowName(top->first)).y, top->second + 40, 1e-6) << notch;
  }
}

TEST(LazyVStack, AViewScrolledToTheEndStaysThereAsTheRowsMadeMeasureOtherwise) {
  std::vector<double> heights(1000, kRow);
  for (std::size_t i = 980; i < 1000; ++i) heights[i] = 4 * kRow;
  HintedRows rows(heights);
  rows.estimates = std::make_shared<std::vector<double>>(1000, kRow);
  ScrolledList list(rows.view());
  list.scroll(1e9);
  EXPECT_FALSE(list.host.needsUpdate());
  EXPECT_NEAR(list.frame("row999").maxY(), kViewport, 1e-6);
}

}  // namespace
}  // namespace ui::testing
