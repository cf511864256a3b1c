#include "markdown/TableStyles.h"

namespace markdown {
namespace {

using Rects = std::vector<ui::Rect>;

ui::Rect grown(const ui::Rect& r, double by) {
  return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

// Below each row but the last, across the table.
Rects innerHorizontal(const TableBounds& t, double w) {
  Rects lines;
  if (t.columns.empty()) return lines;
  for (std::size_t r = 0; r + 1 < t.rows.size(); ++r) {
    ui::Rect united = t.cell(r, 0);
    for (std::size_t c = 1; c < t.columns.size(); ++c) united = united.united(t.cell(r, c));
    const ui::Rect g = grown(united, w);
    lines.push_back({g.minX(), g.maxY() - w, g.width, w});
  }
  return lines;
}

// Right of each column but the last, down the table.
Rects innerVertical(const TableBounds& t, double w) {
  Rects lines;
  if (t.rows.empty()) return lines;
  for (std::size_t c = 0; c + 1 < t.columns.size(); ++c) {
    ui::Rect united = t.cell(0, c);
    for (std::size_t r = 1; r < t.rows.size(); ++r) united = united.united(t.cell(r, c));
    const ui::Rect g = grown(united, w);
    lines.push_back({g.maxX() - w, g.minY(), w, g.height});
  }
  return lines;
}

Rects joined(Rects a, const Rects& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

ui::Rect TableBounds::cell(std::size_t row, std::size_t column) const {
  return {columns.at(column).minX, rows.at(row).minY, columns.at(column).width,
          rows.at(row).height};
}

TableBorderSelector TableBorderSelector::allBorders() {
  return {[](const TableBounds& t, double w) {
    Rects rects = joined(innerHorizontal(t, w), innerVertical(t, w));
    rects.push_back(t.bounds);
    return rects;
  }};
}
TableBorderSelector TableBorderSelector::horizontalBorders() {
  return {[](const TableBounds& t, double w) {
    const ui::Rect& b = t.bounds;
    Rects rects{{b.minX(), b.minY(), b.width, w}, {b.minX(), b.maxY() - w, b.width, w}};
    return joined(std::move(rects), innerHorizontal(t, w));
  }};
}
TableBorderSelector TableBorderSelector::outsideBorders() {
  return {[](const TableBounds& t, double) { return Rects{t.bounds}; }};
}
TableBorderSelector TableBorderSelector::insideBorders() {
  return {[](const TableBounds& t, double w) {
    return joined(innerHorizontal(t, w), innerVertical(t, w));
  }};
}
TableBorderSelector TableBorderSelector::insideHorizontalBorders() {
  return {[](const TableBounds& t, double w) { return innerHorizontal(t, w); }};
}
TableBorderSelector TableBorderSelector::insideVerticalBorders() {
  return {[](const TableBounds& t, double w) { return innerVertical(t, w); }};
}

TableBorderStyle::TableBorderStyle(TableBorderSelector selector, ui::Color c, double width)
    : visibleBorders(std::move(selector)), color(std::move(c)) {
  strokeStyle.lineWidth = width;
  strokeStyle.cap = ui::StrokeStyle::Cap::butt;
  strokeStyle.join = ui::StrokeStyle::Join::miter;
  strokeStyle.miterLimit = 10;
  strokeStyle.dash.clear();
  strokeStyle.dashPhase = 0;
}

TableBackgroundStyle TableBackgroundStyle::clear() {
  return {[](int, int) { return ui::Color::clear(); }};
}

TableBackgroundStyle TableBackgroundStyle::alternatingRows(ui::Color first, ui::Color second,
                                                           std::optional<ui::Color> header) {
  return {[first, second, header](int row, int) {
    if (row < 1) return header.value_or(first);
    return row % 2 == 1 ? first : second;
  }};
}

}  // namespace markdown
