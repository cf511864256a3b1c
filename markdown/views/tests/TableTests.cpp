#include <algorithm>
#include <cmath>
#include <limits>

#include "MarkdownTestSupport.h"
#include "markdown/TableView.h"

namespace markdown {
namespace {

using Alignments = std::vector<std::optional<TextTableColumnAlignment>>;

Block::Cell cell(std::string text) {
  return {Inline::text(std::move(text))};
}

// A table with plain cells (no theme padding) named "r<row>c<column>".
ui::AnyView table(Alignments alignments, std::vector<Block::Row> rows) {
  Theme plain = Theme().tableCell([](const TableCellConfiguration& c) {
    return c.label.body.accessibilityIdentifier("r" + std::to_string(c.row) + "c" +
                                                std::to_string(c.column));
  });
  return markdownTheme(ui::AnyView(TableView(std::move(alignments), std::move(rows)))
                           .accessibilityIdentifier("table"),
                       plain);
}

// Painted paths with their bounds in window coordinates (offsets are pushed transforms).
template <class Item>
std::vector<std::pair<Item, ui::Rect>> painted(const testing::Rendered& r) {
  std::vector<std::pair<Item, ui::Rect>> out;
  std::vector<ui::Point> offsets{{0, 0}};
  const ui::DisplayList list = r.host.render();
  for (const auto& item : list.items()) {
    if (auto* push = std::get_if<ui::DisplayItem::PushTransform>(&item.item))
      offsets.push_back({offsets.back().x + push->dx, offsets.back().y + push->dy});
    else if (std::holds_alternative<ui::DisplayItem::PopTransform>(item.item))
      offsets.pop_back();
    else if (auto* path = std::get_if<Item>(&item.item))
      out.emplace_back(*path,
                       path->path.boundingRect().offsetBy(offsets.back().x, offsets.back().y));
  }
  return out;
}
std::vector<std::pair<ui::DisplayItem::StrokePath, ui::Rect>> strokes(const testing::Rendered& r) {
  return painted<ui::DisplayItem::StrokePath>(r);
}

TEST(Tables, CellsAreOneBorderApartAndAlignedInTheirColumns) {
  testing::Rendered r(
      table({std::nullopt, TextTableColumnAlignment::center, TextTableColumnAlignment::trailing},
            {{cell("wide"), cell("wide"), cell("wide")}, {cell("a"), cell("b"), cell("c")}}));
  const double w = 4 * 7.8, h = 15.6;
  EXPECT_EQ(r.frame("table").size(), (ui::Size{3 * w + 2 + 2, 2 * h + 1 + 2}));
  EXPECT_EQ(r.frame("r0c0").origin(), (ui::Point{1, 1}));
  EXPECT_EQ(r.frame("r1c0").origin(), (ui::Point{1, 1 + h + 1}));
  EXPECT_NEAR(r.frame("r1c1").x, 1 + w + 1 + (w - 7.8) / 2, 1e-9);
  EXPECT_NEAR(r.frame("r1c2").maxX(), 1 + 3 * w + 2, 1e-9);

  // All borders: one inner horizontal line, two inner vertical lines, then the outline.
  const auto lines = strokes(r);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NEAR(lines[0].second.y, 1 + h + 0.5, 1e-9) << "the line runs down the middle of the gap";
  EXPECT_EQ(lines[0].first.style.lineWidth, 1);
  EXPECT_EQ(lines[3].second, (ui::Rect{0.5, 0.5, 3 * w + 3, 2 * h + 2})) << "the outline, inset";
}

TEST(Tables, SelectorsGiveTheLinesOfTheirKind) {
  std::map<TableCellIndex, ui::Rect> frames{{{0, 0}, {1, 1, 10, 10}}, {{0, 1}, {12, 1, 10, 10}}};
  const TableBounds header = makeTableBounds(1, 2, frames, {0, 0, 23, 12});
  EXPECT_EQ(TableBorderSelector::horizontalBorders().rectangles(header, 1),
            (std::vector<ui::Rect>{{0, 0, 23, 1}, {0, 11, 23, 1}}));
  EXPECT_EQ(TableBorderSelector::insideVerticalBorders().rectangles(header, 1),
            (std::vector<ui::Rect>{{11, 0, 1, 12}}));
  EXPECT_EQ(TableBorderSelector::outsideBorders().rectangles(header, 1),
            (std::vector<ui::Rect>{{0, 0, 23, 12}}));
  const TableBounds single = makeTableBounds(1, 1, {{{0, 0}, {1, 1, 10, 10}}}, {0, 0, 12, 12});
  EXPECT_TRUE(TableBorderSelector::insideVerticalBorders().rectangles(single, 1).empty());
  // Three points wide: the same geometry, scaled.
  std::map<TableCellIndex, ui::Rect> wide{{{0, 0}, {3, 3, 10, 10}}, {{1, 0}, {3, 16, 10, 10}}};
  const TableBounds thick = makeTableBounds(2, 1, wide, {0, 0, 16, 29});
  EXPECT_EQ(TableBorderSelector::insideHorizontalBorders().rectangles(thick, 3),
            (std::vector<ui::Rect>{{0, 13, 16, 3}}));
}

TEST(Tables, RaggedRowsShowMissingCellsEmptyAndIgnoreExtraOnes) {
  testing::Rendered r(
      table({std::nullopt, std::nullopt},
            {{cell("h1"), cell("h2")}, {cell("only")}, {cell("a"), cell("b"), cell("x")}}));
  EXPECT_EQ(r.frame("r1c1").size(), ui::Size{});
  EXPECT_FALSE(r.host.frameOf("r2c2"));
  EXPECT_EQ(strokes(r).size(), 2u + 1u + 1u);
}

TEST(Tables, TablesWithoutRowsOrColumnsDrawNoLines) {
  testing::Rendered noRows(table({std::nullopt, std::nullopt}, {}));
  EXPECT_TRUE(strokes(noRows).empty());
  testing::Rendered noColumns(table({}, {{cell("a")}, {cell("b")}}));
  EXPECT_TRUE(strokes(noColumns).empty());
}

TEST(Tables, UnreportedRowsAndColumnsAreNeverPainted) {
  const double far = std::numeric_limits<double>::max();
  TableBounds bounds;
  bounds.bounds = {0, 0, 20, 20};
  bounds.rows = {{1, 8}, {far, 0}};
  bounds.columns = {{1, 18}};
  testing::Rendered border(TableBorderView(bounds));
  EXPECT_TRUE(strokes(border).empty());
  testing::Rendered fill(markdownTableBackgroundStyle(
      TableBackgroundView(bounds),
      TableBackgroundStyle::alternatingRows(ui::Color::red(), ui::Color::blue())));
  const auto fills = painted<ui::DisplayItem::FillPath>(fill);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].second, (ui::Rect{1, 1, 18, 8}));
}

TEST(Tables, BackgroundsFillCellsAndDashesReachEveryLine) {
  ui::StrokeStyle dashed;
  dashed.lineWidth = 1;
  dashed.dash = {2, 2};
  ui::AnyView styled = markdownTableBorderStyle(
      markdownTableBackgroundStyle(
          table({std::nullopt, std::nullopt}, {{cell("a"), cell("b")}, {cell("c"), cell("d")}}),
          TableBackgroundStyle::alternatingRows(ui::Color::red(), ui::Color::blue())),
      TableBorderStyle(TableBorderSelector::allBorders(), ui::Color::secondary(), dashed));
  testing::Rendered r(styled);
  const auto fills = painted<ui::DisplayItem::FillPath>(r);
  ASSERT_EQ(fills.size(), 4u);
  EXPECT_EQ(fills[0].second, r.frame("r0c0"));
  EXPECT_EQ(fills[3].second, r.frame("r1c1"));
  const auto lines = strokes(r);
  ASSERT_EQ(lines.size(), 3u);
  for (const auto& l : lines) EXPECT_EQ(l.first.style.dash, (std::vector<double>{2, 2}));
}

TEST(Tables, NarrowTablesKeepEveryColumnAsWideAsItsWidestCell) {
  const std::string longText = "several words that wrap when the table is narrow";
  testing::Rendered r(table({std::nullopt, std::nullopt},
                            {{cell("head"), cell(longText)}, {cell("x"), cell("short")}}),
                      120);
  EXPECT_LE(r.frame("table").width, 120);
  const ui::Rect wide = r.frame("r0c1"), narrow = r.frame("r1c1");
  EXPECT_GE(wide.width, narrow.width);
  // The column's line sits right after its widest cell.
  const auto lines = strokes(r);
  ASSERT_FALSE(lines.empty());
  EXPECT_NEAR(r.frame("r0c0").maxX() + 0.5, lines[1].second.x, 1e-9);
}

// The texts drawn, line piece by line piece.
std::vector<std::string> drawnTexts(const testing::Rendered& r) {
  std::vector<std::string> texts;
  for (const auto& run : r.host.render().itemsOf<ui::DisplayItem::TextRun>())
    texts.push_back(run.text);
  return texts;
}

TEST(Tables, ShortWordsStayWholeWhileTheLongColumnWraps) {
  const std::string table =
      "| Language | Typing | Notes |\n|---|---|---|\n"
      "| Swift | static | Types are checked when the program is compiled, so many mistakes are "
      "found before it ever runs |\n"
      "| Python | dynamic | Types are checked while the program runs, which keeps small scripts "
      "short and quick to write |\n";
  // About the width of an answer in the panel.
  testing::Rendered r(Markdown(table), 490);
  const auto texts = drawnTexts(r);
  for (const char* word : {"Language", "Typing", "Notes", "Swift", "static", "Python", "dynamic"})
    EXPECT_EQ(std::count(texts.begin(), texts.end(), word), 1) << word << " drawn whole, once";
  EXPECT_GE(texts.size(), 7u + 2 * 2) << "each note wraps onto two lines or more";
}

TEST(Tables, WordsBreakOnlyWhereTheLongestWordsDoNotFit) {
  // 8 + 7 characters at 7.8 points: 117 points of words in a 60-point table.
  testing::Rendered narrow(
      table({std::nullopt, std::nullopt}, {{cell("Language"), cell("dynamic")}}), 60);
  EXPECT_LE(narrow.frame("table").width, 60 + 1e-9);
  // Both columns give up words in proportion: neither is squeezed to nothing.
  EXPECT_GE(narrow.frame("r0c0").width, 3 * 7.8);
  EXPECT_GE(narrow.frame("r0c1").width, 3 * 7.8);

  // Wide enough for both words and a little more: the wrapping column takes what is left.
  testing::Rendered roomy(table({std::nullopt, std::nullopt},
                                {{cell("Language"), cell("one two three four five six seven")}}),
                          150);
  EXPECT_EQ(roomy.frame("r0c0").width, 8 * 7.8);
  EXPECT_LE(roomy.frame("table").width, 150 + 1e-9);
  EXPECT_GT(roomy.frame("r0c1").height, 15.6) << "the long cell wraps";
}

}  // namespace
}  // namespace markdown
