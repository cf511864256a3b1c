#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ViewTestSupport.h"
#include "ui/Views.h"

namespace ui {
namespace {
using namespace testing;

std::vector<std::string> texts(const DisplayList& list) {
  std::vector<std::string> out;
  for (const auto& run : list.itemsOf<DisplayItem::TextRun>()) out.push_back(run.text);
  return out;
}

bool draws(const DisplayList& list, const std::string& text) {
  const auto all = texts(list);
  return std::find(all.begin(), all.end(), text) != all.end();
}

std::size_t fillsOf(const DisplayList& list, const Color& color) {
  const Rgba c = color.resolve(ColorScheme::light);
  const auto fills = list.itemsOf<DisplayItem::FillPath>();
  return std::size_t(
      std::count_if(fills.begin(), fills.end(), [&](const auto& f) { return f.color == c; }));
}

// Rows 20 high; the first `top` high. In a 100-high scroll view at the top of the window.
AnyView rowsIn(double top, int count = 50) {
  std::vector<AnyView> rows;
  rows.push_back(T("first").frame(100, top, Alignment::topLeading));
  for (int i = 1; i < count; ++i) rows.push_back(T("row " + std::to_string(i)).frame(100, 20));
  return ScrollView(ScrollAxes::vertical, false, VStack(HAlign::leading, 0, rows))
      .frame(100, 100, Alignment::topLeading);
}

TEST(ViewCulling, ScrolledOutRowsAreLeftOutAndComeBackWhenScrolledIn) {
  Host h(rowsIn(20), {100, 100});
  auto list = h.host.render();
  EXPECT_TRUE(draws(list, "first"));
  EXPECT_TRUE(draws(list, "row 4"));
  EXPECT_FALSE(draws(list, "row 6"));
  EXPECT_FALSE(draws(list, "row 49"));

  // The middle: rows 25 to 29 show, the first is gone.
  ASSERT_TRUE(h.host.scrolled({10, 10}, 0, 500));
  h.host.update();
  list = h.host.render();
  for (int i = 25; i < 30; ++i) EXPECT_TRUE(draws(list, "row " + std::to_string(i))) << i;
  EXPECT_FALSE(draws(list, "first"));
  EXPECT_FALSE(draws(list, "row 23"));
  EXPECT_FALSE(draws(list, "row 31"));

  // Back at the top, everything that was there is drawn again.
  ASSERT_TRUE(h.host.scrolled({10, 10}, 0, -500));
  h.host.update();
  list = h.host.render();
  EXPECT_TRUE(draws(list, "first"));
  for (int i = 1; i < 5; ++i) EXPECT_TRUE(draws(list, "row " + std::to_string(i))) << i;
  EXPECT_FALSE(draws(list, "row 25"));
}

TEST(ViewCulling, RowsMovedByALayoutChangeAreDrawnWhereTheyNowAre) {
  Host h(rowsIn(20), {100, 100});
  EXPECT_TRUE(draws(h.host.render(), "row 3"));
  // The first row grows and pushes the others out of view...
  h.host.setRoot(rowsIn(400));
  h.host.update();
  auto list = h.host.render();
  EXPECT_TRUE(draws(list, "first"));
  EXPECT_FALSE(draws(list, "row 3"));
  // ...and shrinks back: they are drawn again.
  h.host.setRoot(rowsIn(20));
  h.host.update();
  list = h.host.render();
  EXPECT_TRUE(draws(list, "row 3"));
  EXPECT_FALSE(draws(list, "row 7"));
  // Rows added at the end while scrolled there are drawn: the view stays at the end.
  ASSERT_TRUE(h.host.scrolled({10, 10}, 0, 10000));
  h.host.setRoot(rowsIn(20, 60));
  h.host.update();
  EXPECT_FALSE(h.host.scrolled({10, 10}, 0, 10000));
  list = h.host.render();
  EXPECT_TRUE(draws(list, "row 59"));
  EXPECT_FALSE(draws(list, "row 49"));
}

TEST(ViewCulling, WhatOverflowsItsFrameIntoViewIsDrawn) {
  const Color offset = Color::rgba(0x00FF00FF), big = Color::rgba(0x0000FFFF),
              clipped = Color::rgba(0xFF00FFFF), stroked = Color::rgba(0x00FFFFFF);
  // Each of these has its frame below the 100-high viewport but draws into it, except the
  // clipped one, whose overflow its clip hides.
  Host h(
      ScrollView(
          ScrollAxes::vertical, false,
          VStack(HAlign::leading, 0,
                 {Spacer().frame(100, 120), ColorView(offset).frame(20, 10).offset(0, -100),
                  ColorView(big).frame(80, 80).frame(10, 10),
                  ColorView(clipped).frame(80, 80).frame(10, 10).clipped(), Spacer().frame(100, 5),
                  Rectangle().stroke(stroked, 100).frame(20, 10), Spacer().frame(100, 400)}))
          .frame(100, 100, Alignment::topLeading),
      {100, 100});
  const auto list = h.host.render();
  EXPECT_EQ(fillsOf(list, offset), 1u);
  EXPECT_EQ(fillsOf(list, big), 1u);
  EXPECT_EQ(fillsOf(list, clipped), 0u);
  EXPECT_EQ(list.itemsOf<DisplayItem::StrokePath>().size(), 1u);
}

TEST(ViewCulling, OnlyTheVisibleLinesOfALongTextAreDrawn) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line" + std::to_string(i) + "\n";
  Host h(ScrollView(ScrollAxes::vertical, false, T(text)).frame(100, 60, Alignment::topLeading),
         {100, 60});
  ASSERT_TRUE(h.host.scrolled({10, 10}, 0, 600));  // lines 50 to 54 show, 12 high each
  h.host.update();
  const auto list = h.host.render();
  for (int i = 50; i < 55; ++i) EXPECT_TRUE(draws(list, "line" + std::to_string(i))) << i;
  EXPECT_FALSE(draws(list, "line0"));
  EXPECT_FALSE(draws(list, "line99"));
  EXPECT_LT(texts(list).size(), 12u);
}

TEST(ViewCulling, AWindowAreaLeavesOutWhatLiesOutsideIt) {
  std::vector<AnyView> rows;
  for (int i = 0; i < 20; ++i) rows.push_back(T("row " + std::to_string(i)).frame(100, 20));
  // A window whose height is left open is as tall as what it shows.
  Host h(VStack(HAlign::leading, 0, rows), {100, {}});
  EXPECT_EQ(texts(h.host.render()).size(), 20u);
  // Text is kept a line's height around its own lines, for glyphs that reach past them.
  const auto list = h.host.render(Rect{0, 200, 100, 40});
  EXPECT_EQ(texts(list), (std::vector<std::string>{"row 9", "row 10", "row 11", "row 12"}));
}

TEST(ViewCulling, WhatOverflowsTheWindowIsLeftOutWithoutBeingAsked) {
  std::vector<AnyView> rows;
  for (int i = 0; i < 20; ++i) rows.push_back(T("row " + std::to_string(i)).frame(100, 20));
  // Taller than the window and not clipped: the rows below its bottom cannot be seen (the
  // first of them is kept, for glyphs reaching up into the window).
  Host h(VStack(HAlign::leading, 0, rows).frame(100, 40, Alignment::top), {100, 40});
  EXPECT_EQ(texts(h.host.render()), (std::vector<std::string>{"row 0", "row 1", "row 2"}));
  // Wider than a window of any height: what lies right of it goes too.
  Host wide(HStack(VAlign::top, 0, {T("left").frame(100, 20), T("right").frame(100, 20)}),
            {100, {}});
  EXPECT_EQ(texts(wide.host.render()), (std::vector<std::string>{"left"}));
}

TEST(ViewCulling, HitTestingIgnoresWhatDrawingLeftOut) {
  std::vector<std::string> taps;
  std::vector<AnyView> rows;
  for (int i = 0; i < 30; ++i)
    rows.push_back(T("row " + std::to_string(i)).frame(100, 20).onTapGesture([&, i] {
      taps.push_back("row " + std::to_string(i));
    }));
  Host h(ScrollView(ScrollAxes::vertical, false, VStack(HAlign::leading, 0, rows))
             .frame(100, 100, Alignment::topLeading),
         {100, 100});
  h.host.render();
  ASSERT_TRUE(h.host.scrolled({10, 10}, 0, 300));
  h.host.update();
  h.host.render();
  h.click({10, 10});
  ASSERT_TRUE(h.host.scrolled({10, 10}, 0, -300));
  h.host.update();
  h.click({10, 30});
  EXPECT_EQ(taps, (std::vector<std::string>{"row 15", "row 1"}));
}

}  // namespace
}  // namespace ui
