#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "ui/Color.h"
#include "ui/Geometry.h"
#include "ui/StrokeStyle.h"

namespace markdown {

// Where the rows and columns of a laid-out table lie, in the table's own coordinates.
struct TableBounds {
  struct Row {
    double minY = 0, height = 0;
  };
  struct Column {
    double minX = 0, width = 0;
  };
  ui::Rect bounds;
  std::vector<Row> rows;
  std::vector<Column> columns;

  ui::Rect cell(std::size_t row, std::size_t column) const;
};

// Which border lines of a table are drawn: the rectangles to stroke, for a border width.
struct TableBorderSelector {
  std::function<std::vector<ui::Rect>(const TableBounds&, double width)> rectangles;

  // Inner horizontal and vertical lines, then the outline.
  static TableBorderSelector allBorders();
  // Top and bottom lines, then the inner horizontal lines.
  static TableBorderSelector horizontalBorders();
  static TableBorderSelector outsideBorders();
  static TableBorderSelector insideBorders();
  static TableBorderSelector insideHorizontalBorders();
  static TableBorderSelector insideVerticalBorders();
};

struct TableBorderStyle {
  TableBorderSelector visibleBorders;
  ui::Color color;
  ui::StrokeStyle strokeStyle;

  TableBorderStyle(TableBorderSelector selector, ui::Color color, ui::StrokeStyle stroke)
      : visibleBorders(std::move(selector)),
        color(std::move(color)),
        strokeStyle(std::move(stroke)) {}
  // Butt caps, miter joins, miter limit 10, no dashes.
  TableBorderStyle(TableBorderSelector selector, ui::Color color, double width);
};

// The fill of each cell, by (row, column).
struct TableBackgroundStyle {
  std::function<ui::Color(int row, int column)> background;

  static TableBackgroundStyle clear();
  // Rows below 1 take the header style (else `first`), odd rows `first`, even rows `second`.
  static TableBackgroundStyle alternatingRows(ui::Color first, ui::Color second,
                                              std::optional<ui::Color> header = std::nullopt);
};

}  // namespace markdown
