#include <gtest/gtest.h>

#include <limits>

#include "StylingProbe.h"
#include "markdown/BlockStyle.h"
#include "markdown/ColorHelpers.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/TableStyles.h"

namespace markdown {
namespace {

using testing::Layout;
using ListStyle = BlockStyle<ListMarkerConfiguration>;

TEST(RomanNumeral, ConvertsOneToThreeThousandNineHundredNinetyNine) {
  struct Case {
    std::int64_t n;
    const char* text;
  };
  for (const Case c : {Case{1, "I"},
                       {4, "IV"},
                       {9, "IX"},
                       {14, "XIV"},
                       {40, "XL"},
                       {90, "XC"},
                       {400, "CD"},
                       {1994, "MCMXCIV"},
                       {3999, "MMMCMXCIX"},
                       {0, "0"},
                       {-1, "-1"},
                       {4000, "4000"}})
    EXPECT_EQ(romanNumeral(c.n), c.text) << c.n;
}

TEST(ListMarker, ItemNumbersSaturate) {
  constexpr auto max = std::numeric_limits<std::int64_t>::max();
  constexpr auto min = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(ListMarkerConfiguration::itemNumberFor(3, 2), 5);
  EXPECT_EQ(ListMarkerConfiguration::itemNumberFor(max - 1, 5), max);
  EXPECT_EQ(ListMarkerConfiguration::itemNumberFor(min, -1), min);
}

// What a marker draws: its text and its symbols.
struct Drawn {
  std::string text;
  std::vector<std::string> symbols;
  std::vector<ui::Rect> symbolFrames;
  ui::Size size;
};

Drawn draw(const ui::AnyView& view) {
  Layout layout(view.accessibilityIdentifier("marker"));
  Drawn drawn;
  const ui::DisplayList list = layout.render();
  for (const auto& run : list.itemsOf<ui::DisplayItem::TextRun>()) drawn.text += run.text;
  for (const auto& image : list.itemsOf<ui::DisplayItem::DrawImage>()) {
    drawn.symbols.push_back(image.image.symbolName());
    drawn.symbolFrames.push_back(image.frame);
  }
  drawn.size = layout.frameOf("marker").size();
  return drawn;
}

TEST(ListMarker, NumbersAndNumerals) {
  struct Case {
    ListStyle style;
    std::int64_t number;
    const char* text;
  };
  const Case cases[] = {
      {ListStyle::decimal(), 3, "3."},          {ListStyle::upperRoman(), 4, "IV."},
      {ListStyle::lowerRoman(), 4, "iv."},      {ListStyle::upperRoman(), 4000, "4000."},
      {ListStyle::lowerRoman(), 4000, "4000."}, {ListStyle::dash(), 1, "-"}};
  for (const Case& c : cases) EXPECT_EQ(draw(c.style.body({1, c.number})).text, c.text);
}

TEST(ListMarker, DecimalDigitsAreMonospaced) {
  Layout layout(ListStyle::decimal().body({1, 12}));
  const auto runs = layout.render().itemsOf<ui::DisplayItem::TextRun>();
  ASSERT_FALSE(runs.empty());
  EXPECT_TRUE(runs.front().font.monospacedDigits);
}

TEST(ListMarker, BulletsByLevelNeverFail) {
  struct Case {
    int level;
    const char* symbol;
  };
  for (const Case c : {Case{-5, "circle.fill"},
                       {0, "circle.fill"},
                       {1, "circle.fill"},
                       {2, "circle"},
                       {3, "square.fill"},
                       {4, "square.fill"},
                       {10, "square.fill"}})
    EXPECT_EQ(draw(ListStyle::discCircleSquare().body({c.level, 1})).symbols,
              std::vector<std::string>{c.symbol})
        << c.level;
}

TEST(ListMarker, BulletFontIsAThirdOfTheText) {
  FontProperties sixteen;
  sixteen.size = 16;
  struct Case {
    std::optional<FontProperties> font;
    double symbolSize, columnWidth;
  };
  for (const Case& c :
       {Case{std::nullopt, 4, 20}, Case{FontProperties{}, 4, 20}, Case{sixteen, 5, 24}}) {
    ui::AnyView marker = ListStyle::disc().body({1, 1});
    if (c.font)
      marker = marker.environment<TextStyleKey>(TextStyleArg(*c.font).get());
    else
      marker = marker.environment<TextStyleKey>(std::make_shared<const EmptyTextStyle>());
    const Drawn drawn = draw(marker);
    ASSERT_EQ(drawn.symbolFrames.size(), 1u);
    EXPECT_DOUBLE_EQ(drawn.symbolFrames[0].height, c.symbolSize);
    EXPECT_DOUBLE_EQ(drawn.size.width, c.columnWidth);
  }
  ui::AttributeContainer tiny;
  FontProperties one;
  one.size = 1;
  tiny.set<FontPropertiesAttribute>(one);
  EXPECT_EQ(listBulletFontSize(tiny), 1);
}

TEST(ListMarker, CheckmarkSquareFollowsCompletion) {
  const auto style = BlockStyle<TaskListMarkerConfiguration>::checkmarkSquare();
  EXPECT_EQ(draw(style.body({true})).symbols, std::vector<std::string>{"checkmark.square.fill"});
  const Drawn open = draw(style.body({false}));
  EXPECT_EQ(open.symbols, std::vector<std::string>{"square"});
  // Small image scale: 0.8 of the 13-point text.
  EXPECT_DOUBLE_EQ(open.symbolFrames[0].height, 13 * ui::imageScaleFactor(ui::ImageScale::small));
}

TEST(TableStyles, AlternatingRows) {
  const ui::Color a = ui::Color::red(), b = ui::Color::blue(), h = ui::Color::green();
  const auto plain = TableBackgroundStyle::alternatingRows(a, b);
  const auto header = TableBackgroundStyle::alternatingRows(a, b, h);
  const std::vector<ui::Color> expectPlain{a, a, b, a, b}, expectHeader{h, a, b, a, b};
  for (int row = 0; row < 5; ++row) {
    EXPECT_EQ(plain.background(row, 3), expectPlain[static_cast<std::size_t>(row)]);
    EXPECT_EQ(header.background(row, 0), expectHeader[static_cast<std::size_t>(row)]);
  }
  EXPECT_EQ(header.background(-2, 0), h);
  EXPECT_EQ(TableBackgroundStyle::clear().background(1, 1), ui::Color::clear());
}

TEST(TableStyles, BorderWidthKeepsTheStrokeDefaults) {
  const TableBorderStyle style(TableBorderSelector::allBorders(), ui::Color::red(), 2);
  ui::StrokeStyle expected;
  expected.lineWidth = 2;
  EXPECT_EQ(style.strokeStyle, expected);
  EXPECT_EQ(style.strokeStyle.cap, ui::StrokeStyle::Cap::butt);
  EXPECT_EQ(style.strokeStyle.join, ui::StrokeStyle::Join::miter);
  EXPECT_EQ(style.strokeStyle.miterLimit, 10);
  EXPECT_TRUE(style.strokeStyle.dash.empty());
}

// Two rows of 20 and two columns of 50, one point apart inside a one-point padding.
TableBounds twoByTwo() {
  return {{0, 0, 103, 43}, {{1, 20}, {22, 20}}, {{1, 50}, {52, 50}}};
}

TEST(TableStyles, BorderSelectors) {
  using R = ui::Rect;
  const TableBounds t = twoByTwo();
  EXPECT_EQ(TableBorderSelector::allBorders().rectangles(t, 1),
            (std::vector<R>{{0, 21, 103, 1}, {51, 0, 1, 43}, {0, 0, 103, 43}}));
  EXPECT_EQ(TableBorderSelector::horizontalBorders().rectangles(t, 1),
            (std::vector<R>{{0, 0, 103, 1}, {0, 42, 103, 1}, {0, 21, 103, 1}}));
  EXPECT_EQ(TableBorderSelector::outsideBorders().rectangles(t, 1), (std::vector<R>{t.bounds}));
  EXPECT_EQ(TableBorderSelector::insideVerticalBorders().rectangles(t, 1),
            (std::vector<R>{{51, 0, 1, 43}}));

  const TableBounds headerOnly{{0, 0, 52, 22}, {{1, 20}}, {{1, 50}}};
  EXPECT_EQ(TableBorderSelector::horizontalBorders().rectangles(headerOnly, 1).size(), 2u);
  EXPECT_TRUE(TableBorderSelector::insideBorders().rectangles(headerOnly, 1).empty());
  const TableBounds empty{{0, 0, 2, 2}, {}, {}};
  EXPECT_EQ(TableBorderSelector::allBorders().rectangles(empty, 1), (std::vector<R>{empty.bounds}));
}

TEST(ColorHelpers, PackedAndPairedColours) {
  EXPECT_EQ(colorFromRGBA(0x000000FF).resolve(ui::ColorScheme::light), (ui::Rgba{0, 0, 0, 1}));
  EXPECT_EQ(colorFromRGBA(0xFFFFFF00).resolve(ui::ColorScheme::dark), (ui::Rgba{1, 1, 1, 0}));
  const ui::Rgba blue = colorFromRGBA(0x0066CCFF).resolve(ui::ColorScheme::light);
  EXPECT_DOUBLE_EQ(blue.green, 0.4);
  EXPECT_DOUBLE_EQ(blue.blue, 0.8);

  int calls = 0;
  const ui::Color pair =
      lightDarkColor([] { return ui::Color::white(); },
                     [&calls] { return colorFromRGBA(++calls == 1 ? 0x000000FF : 0xFF0000FF); });
  EXPECT_EQ(pair.resolve(ui::ColorScheme::light), (ui::Rgba{1, 1, 1, 1}));
  EXPECT_EQ(pair.resolve(ui::ColorScheme::dark), (ui::Rgba{0, 0, 0, 1}));
  EXPECT_EQ(pair.resolve(ui::ColorScheme::dark), (ui::Rgba{1, 0, 0, 1}));  // not cached
}

}  // namespace
}  // namespace markdown
