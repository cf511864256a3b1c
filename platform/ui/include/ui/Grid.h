#pragma once

#include <optional>
#include <vector>

#include "ui/View.h"

namespace ui {

struct GridRow {
  std::vector<AnyView> cells;
  std::optional<Identity> id;  // the row's identity; its position when absent
  GridRow(std::vector<AnyView> c) : cells(std::move(c)) {}  // NOLINT: rows read as lists
  GridRow(Identity rowId, std::vector<AnyView> c) : cells(std::move(c)), id(std::move(rowId)) {}
};

// Cells in rows and columns: a column is as wide as its widest cell, a row as high as its
// tallest. A proposed width narrower than the ideal shrinks the widest columns first. A cell is
// placed in its column by the column's alignment (`.gridColumnAlignment` on any of its cells,
// else the grid's) and vertically by the grid's.
AnyView Grid(Alignment alignment, std::optional<double> horizontalSpacing,
             std::optional<double> verticalSpacing, std::vector<GridRow> rows);

}  // namespace ui
