#pragma once

#include <map>
#include <optional>
#include <vector>

#include "markdown/Block.h"
#include "markdown/TableStyles.h"
#include "ui/CustomLayout.h"
#include "ui/GeometryReader.h"
#include "ui/View.h"

namespace markdown {

struct TableCellIndex {
  int row = 0, column = 0;
  auto operator<=>(const TableCellIndex&) const = default;
};

// Where each cell of a table lies, reported after layout; a later report wins.
struct TableCellBoundsPreference {
  using Value = std::map<TableCellIndex, ui::Anchor>;
  static Value defaultValue() { return {}; }
  static void reduce(Value& value, const Value& next);
};

// The rows and columns of a table folded from its cells' frames (in the reader's space). A row
// or column no cell reported keeps minY / minX at the largest finite value and size 0.
TableBounds makeTableBounds(std::size_t rowCount, std::size_t columnCount,
                            const TableCellBoundsPreference::Value& anchors,
                            const ui::GeometryProxy& proxy);
// The same from frames already resolved.
TableBounds makeTableBounds(std::size_t rowCount, std::size_t columnCount,
                            const std::map<TableCellIndex, ui::Rect>& frames, ui::Rect bounds);
// Whether a row or column has a reported extent that can be drawn.
bool isReported(const TableBounds::Row& row);
bool isReported(const TableBounds::Column& column);

// Cells in rows and columns with `spacing` between them: each column takes its widest cell's
// ideal width. When the proposal is narrower, every column keeps its longest word and the room
// left goes to the columns that wrap, in proportion to what they would need more; only where
// the longest words alone do not fit are words broken. A column ends as wide as its widest
// answered cell; each row as high as its tallest cell. Cells sit in their column by its
// alignment and are centred in their row. Subviews are the cells row by row, then, in the same
// order, one measure per cell whose ideal width is the cell's longest word (without them a
// cell's narrowest answer stands in).
class TableLayout final : public ui::Layout {
 public:
  TableLayout(std::size_t rows, std::vector<ui::HAlign> alignments, double spacing)
      : rows_(rows), alignments_(std::move(alignments)), spacing_(spacing) {}
  ui::Size sizeThatFits(ui::ProposedSize proposal,
                        const ui::LayoutSubviews& subviews) const override;
  void placeSubviews(ui::Rect bounds, ui::ProposedSize proposal,
                     const ui::LayoutSubviews& subviews) const override;

  struct Metrics {
    std::vector<double> proposedWidths, columnWidths, rowHeights;
    ui::Size size;
  };
  Metrics metrics(ui::ProposedSize proposal, const ui::LayoutSubviews& subviews) const;

 private:
  std::size_t rows_;
  std::vector<ui::HAlign> alignments_;
  double spacing_;
};

ui::HAlign horizontalAlignment(const std::optional<TextTableColumnAlignment>& alignment);

// A table: the cells in a grid spaced and padded by the border width, cell backgrounds behind
// and border lines in front, both from the environment's table styles. Rows with missing cells
// show them empty; extra cells are ignored.
class TableView final : public ui::View {
 public:
  TableView(std::vector<std::optional<TextTableColumnAlignment>> columnAlignments,
            std::vector<Block::Row> rows);
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  std::vector<ui::HAlign> alignments_;
  std::vector<Block::Row> rows_;
};

ui::AnyView TableCell(int row, int column, const std::vector<Inline>& inlines);
ui::AnyView TableBackgroundView(const TableBounds& bounds);
ui::AnyView TableBorderView(const TableBounds& bounds);

}  // namespace markdown
