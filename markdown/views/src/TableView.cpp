#include "markdown/TableView.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "markdown/ImageViews.h"
#include "markdown/InlineText.h"
#include "markdown/MarkdownEnvironment.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/node/Modifier.h"

namespace markdown {
namespace {

constexpr double kUnreported = std::numeric_limits<double>::max();

bool finite(const ui::Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
         std::isfinite(r.height) && r.width >= 0 && r.height >= 0;
}

double usableWidth(double w) {
  return std::isfinite(w) && w > 0 ? w : 0;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

// The text with a line break at every space, so that its widest line is its longest word.
std::string oneWordPerLine(std::string text) {
  std::replace_if(text.begin(), text.end(), isSpace, '\n');
  return text;
}

std::vector<Inline> oneWordPerLine(const std::vector<Inline>& inlines);

// Images are left out: they load with the cell itself.
std::optional<Inline> oneWordPerLine(const Inline& i) {
  switch (i.kind()) {
    case Inline::Kind::text:
      return Inline::text(oneWordPerLine(i.as<Inline::Text>()->text));
    case Inline::Kind::code:
      return Inline::code(oneWordPerLine(i.as<Inline::Code>()->text));
    case Inline::Kind::html:
      return Inline::html(oneWordPerLine(i.as<Inline::HTML>()->text));
    case Inline::Kind::softBreak:
    case Inline::Kind::lineBreak:
      return Inline::lineBreak();
    case Inline::Kind::emphasis:
      return Inline::emphasis(oneWordPerLine(i.as<Inline::Emphasis>()->children));
    case Inline::Kind::strong:
      return Inline::strong(oneWordPerLine(i.as<Inline::Strong>()->children));
    case Inline::Kind::strikethrough:
      return Inline::strikethrough(oneWordPerLine(i.as<Inline::Strikethrough>()->children));
    case Inline::Kind::link: {
      const auto* link = i.as<Inline::Link>();
      return Inline::link(link->destination, oneWordPerLine(link->children));
    }
    case Inline::Kind::image:
      return std::nullopt;
  }
  return std::nullopt;
}

std::vector<Inline> oneWordPerLine(const std::vector<Inline>& inlines) {
  std::vector<Inline> out;
  for (const Inline& i : inlines)
    if (auto piece = oneWordPerLine(i)) out.push_back(std::move(*piece));
  return out;
}

// Laid out only to be measured: draws nothing, takes no input, and tells its ancestors
// nothing.
class MeasuredOnly final : public ui::detail::Modifier {
 public:
  using Modifier::Modifier;
  std::string name() const override { return "MeasuredOnly"; }
  std::vector<const ui::detail::Node*> paintOrder(const ui::detail::Node&) const override {
    return {};
  }
  void render(const ui::detail::Node&, ui::detail::RenderContext&) const override {}
  std::optional<ui::Rect> ownInk(const ui::detail::Node&) const override { return std::nullopt; }
  void transformPreferences(ui::detail::Node&, ui::PreferenceValues& values) const override {
    values = ui::PreferenceValues();
  }
};

// A cell styled as the table styles it, one word a line: its ideal width is the least the
// cell can have without breaking a word.
ui::AnyView WordMeasure(int row, int column, const std::vector<Inline>& inlines) {
  if (ImageFlow::make(inlines)) return ui::EmptyView();
  return ui::AnyView(std::make_shared<const MeasuredOnly>(
      ApplyBlockStyle(tableCellSlot(),
                      TableCellConfiguration{row, column, {InlineText(oneWordPerLine(inlines))}})));
}

}  // namespace

void TableCellBoundsPreference::reduce(Value& value, const Value& next) {
  for (const auto& [index, anchor] : next) value[index] = anchor;
}

bool isReported(const TableBounds::Row& row) {
  return row.minY != kUnreported && std::isfinite(row.minY) && std::isfinite(row.height);
}
bool isReported(const TableBounds::Column& column) {
  return column.minX != kUnreported && std::isfinite(column.minX) && std::isfinite(column.width);
}

TableBounds makeTableBounds(std::size_t rowCount, std::size_t columnCount,
                            const std::map<TableCellIndex, ui::Rect>& frames, ui::Rect bounds) {
  TableBounds t;
  t.bounds = bounds;
  t.rows.assign(rowCount, {kUnreported, 0});
  t.columns.assign(columnCount, {kUnreported, 0});
  for (std::size_t r = 0; r < rowCount; ++r) {
    for (std::size_t c = 0; c < columnCount; ++c) {
      auto found = frames.find({static_cast<int>(r), static_cast<int>(c)});
      if (found == frames.end()) continue;
      const ui::Rect& f = found->second;
      t.rows[r].minY = std::min(t.rows[r].minY, f.minY());
      t.rows[r].height = std::max(t.rows[r].height, f.height);
      t.columns[c].minX = std::min(t.columns[c].minX, f.minX());
      t.columns[c].width = std::max(t.columns[c].width, f.width);
    }
  }
  return t;
}

TableBounds makeTableBounds(std::size_t rowCount, std::size_t columnCount,
                            const TableCellBoundsPreference::Value& anchors,
                            const ui::GeometryProxy& proxy) {
  std::map<TableCellIndex, ui::Rect> frames;
  for (const auto& [index, anchor] : anchors) frames[index] = proxy[anchor];
  return makeTableBounds(rowCount, columnCount, frames, proxy.localFrame());
}

ui::HAlign horizontalAlignment(const std::optional<TextTableColumnAlignment>& alignment) {
  if (!alignment) return ui::HAlign::leading;
  switch (*alignment) {
    case TextTableColumnAlignment::center:
      return ui::HAlign::center;
    case TextTableColumnAlignment::trailing:
      return ui::HAlign::trailing;
    default:
      return ui::HAlign::leading;
  }
}

TableLayout::Metrics TableLayout::metrics(ui::ProposedSize proposal,
                                          const ui::LayoutSubviews& subviews) const {
  Metrics m;
  const std::size_t columns = alignments_.size();
  const std::size_t rows = columns == 0 ? 0 : std::min(rows_, subviews.size() / columns);
  if (rows == 0 || columns == 0) return m;
  auto cell = [&](std::size_t r, std::size_t c) -> const ui::LayoutSubview& {
    return subviews[r * columns + c];
  };
  const bool measured = subviews.size() >= 2 * rows_ * columns && rows == rows_;
  std::vector<double> ideal(columns, 0), words(columns, 0);
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      ideal[c] = std::max(ideal[c], cell(r, c).idealSize().width);
      const double least = measured ? subviews[(rows + r) * columns + c].idealSize().width
                                    : cell(r, c).sizeThatFits({0.0, std::nullopt}).width;
      words[c] = std::max(words[c], least);
    }
  }
  for (std::size_t c = 0; c < columns; ++c) words[c] = std::min(words[c], ideal[c]);
  const double spacing = spacing_ * double(columns - 1);
  m.proposedWidths = ideal;
  if (proposal.width && std::isfinite(*proposal.width)) {
    const double available = std::max(0.0, *proposal.width - spacing);
    const double idealSum = std::accumulate(ideal.begin(), ideal.end(), 0.0);
    const double wordSum = std::accumulate(words.begin(), words.end(), 0.0);
    if (idealSum > available) {
      if (wordSum >= available) {
        // Words must break somewhere: each column gives up its share of the shortfall.
        for (std::size_t c = 0; c < columns; ++c)
          m.proposedWidths[c] = wordSum > 0 ? words[c] * available / wordSum : 0;
      } else {
        // Every column keeps its longest word; the room left goes to the columns that wrap.
        const double flexible = idealSum - wordSum;
        for (std::size_t c = 0; c < columns; ++c)
          m.proposedWidths[c] = words[c] + (ideal[c] - words[c]) * (available - wordSum) / flexible;
      }
    }
  }
  m.columnWidths.assign(columns, 0);
  m.rowHeights.assign(rows, 0);
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      const ui::Size s = cell(r, c).sizeThatFits({m.proposedWidths[c], std::nullopt});
      m.columnWidths[c] = std::max(m.columnWidths[c], s.width);
      m.rowHeights[r] = std::max(m.rowHeights[r], s.height);
    }
  }
  m.size = {
      std::accumulate(m.columnWidths.begin(), m.columnWidths.end(), 0.0) + spacing,
      std::accumulate(m.rowHeights.begin(), m.rowHeights.end(), 0.0) + spacing_ * double(rows - 1)};
  return m;
}

ui::Size TableLayout::sizeThatFits(ui::ProposedSize proposal,
                                   const ui::LayoutSubviews& subviews) const {
  return metrics(proposal, subviews).size;
}

void TableLayout::placeSubviews(ui::Rect bounds, ui::ProposedSize proposal,
                                const ui::LayoutSubviews& subviews) const {
  const Metrics m = metrics(proposal, subviews);
  const std::size_t columns = alignments_.size();
  double y = bounds.minY();
  for (std::size_t r = 0; r < m.rowHeights.size(); ++r) {
    double x = bounds.minX();
    for (std::size_t c = 0; c < columns; ++c) {
      const auto& cell = subviews[r * columns + c];
      const ui::ProposedSize p{m.proposedWidths[c], std::nullopt};
      const ui::Size s = cell.sizeThatFits(p);
      double dx = 0;
      if (alignments_[c] == ui::HAlign::center) dx = (m.columnWidths[c] - s.width) / 2;
      if (alignments_[c] == ui::HAlign::trailing) dx = m.columnWidths[c] - s.width;
      cell.place({x + dx, y + (m.rowHeights[r] - s.height) / 2}, ui::UnitPoint::topLeading, p);
      x += m.columnWidths[c] + spacing_;
    }
    y += m.rowHeights[r] + spacing_;
  }
  // The word measures are never drawn: placed as measured, the layout made for measuring
  // serves. Cells beyond the table's shape (never made by TableView) are kept out of sight.
  const std::size_t measures = std::min(subviews.size(), 2 * rows_ * columns);
  for (std::size_t i = m.rowHeights.size() * columns; i < subviews.size(); ++i) {
    const bool measure = i >= rows_ * columns && i < measures;
    subviews[i].place({bounds.minX(), bounds.minY()}, ui::UnitPoint::topLeading,
                      measure ? ui::ProposedSize::unspecified() : ui::ProposedSize{0.0, 0.0});
  }
}

TableView::TableView(std::vector<std::optional<TextTableColumnAlignment>> columnAlignments,
                     std::vector<Block::Row> rows)
    : rows_(std::move(rows)) {
  for (const auto& a : columnAlignments) alignments_.push_back(horizontalAlignment(a));
}

ui::AnyView TableCell(int row, int column, const std::vector<Inline>& inlines) {
  ui::AnyView content;
  if (auto flow = ImageFlow::make(inlines))
    content = *flow;
  else
    content = InlineText(inlines);
  return ApplyBlockStyle(tableCellSlot(), TableCellConfiguration{row, column, {content}})
      .transformAnchorPreference<TableCellBoundsPreference>(
          [row, column](TableCellBoundsPreference::Value& value, const ui::Anchor& bounds) {
            value[{row, column}] = bounds;
          });
}

ui::AnyView TableView::body(ui::BuildContext& context) const {
  const double w =
      usableWidth(context.environment().get<TableBorderStyleKey>().strokeStyle.lineWidth);
  const std::size_t columns = alignments_.size();
  const std::size_t rows = rows_.size();
  std::vector<ui::AnyView> cells;
  cells.reserve(2 * rows * columns);
  static const std::vector<Inline> kEmptyCell;
  auto inlines = [&](std::size_t r, std::size_t c) -> const std::vector<Inline>& {
    return c < rows_[r].size() ? rows_[r][c] : kEmptyCell;
  };
  for (std::size_t r = 0; r < rows; ++r)
    for (std::size_t c = 0; c < columns; ++c)
      cells.push_back(TableCell(static_cast<int>(r), static_cast<int>(c), inlines(r, c)));
  for (std::size_t r = 0; r < rows; ++r)
    for (std::size_t c = 0; c < columns; ++c)
      cells.push_back(WordMeasure(static_cast<int>(r), static_cast<int>(c), inlines(r, c)));
  auto layer = [rows, columns](bool border) {
    return [rows, columns, border](const TableCellBoundsPreference::Value& anchors) {
      return ui::GeometryReader([rows, columns, border, anchors](const ui::GeometryProxy& proxy) {
        const TableBounds bounds = makeTableBounds(rows, columns, anchors, proxy);
        return border ? TableBorderView(bounds) : TableBackgroundView(bounds);
      });
    };
  };
  return ui::CustomLayout(std::make_shared<TableLayout>(rows, alignments_, w), std::move(cells))
      .padding(w)
      .backgroundPreferenceValue<TableCellBoundsPreference>(layer(false))
      .overlayPreferenceValue<TableCellBoundsPreference>(layer(true));
}

ui::AnyView TableBackgroundView(const TableBounds& bounds) {
  return ui::EnvironmentReader([bounds](const ui::Environment& env) {
    const auto& style = env.get<TableBackgroundStyleKey>();
    std::vector<ui::AnyView> fills;
    for (std::size_t r = 0; r < bounds.rows.size(); ++r) {
      if (!isReported(bounds.rows[r])) continue;
      for (std::size_t c = 0; c < bounds.columns.size(); ++c) {
        if (!isReported(bounds.columns[c])) continue;
        const ui::Rect cell = bounds.cell(r, c);
        const ui::Color fill =
            style.background ? style.background(int(r), int(c)) : ui::Color::clear();
        fills.push_back(ui::Rectangle()
                            .fill(fill)
                            .frame(cell.width, cell.height)
                            .offset(cell.x, cell.y)
                            .id(ui::Identity::pair(ui::Identity(r), ui::Identity(c))));
      }
    }
    return ui::ZStack(ui::Alignment::topLeading, std::move(fills));
  });
}

ui::AnyView TableBorderView(const TableBounds& bounds) {
  return ui::EnvironmentReader([bounds](const ui::Environment& env) {
    const auto& style = env.get<TableBorderStyleKey>();
    const double w = usableWidth(style.strokeStyle.lineWidth);
    std::vector<ui::AnyView> lines;
    // An empty table, a zero width or a row or column not laid out yet draws nothing.
    const bool drawable = w > 0 && !bounds.rows.empty() && !bounds.columns.empty() &&
                          style.visibleBorders.rectangles &&
                          std::all_of(bounds.rows.begin(), bounds.rows.end(),
                                      [](const auto& r) { return isReported(r); }) &&
                          std::all_of(bounds.columns.begin(), bounds.columns.end(),
                                      [](const auto& c) { return isReported(c); });
    if (!drawable) return ui::ZStack(ui::Alignment::topLeading, {});
    const auto rects = style.visibleBorders.rectangles(bounds, w);
    for (std::size_t i = 0; i < rects.size(); ++i) {
      const ui::Rect& r = rects[i];
      if (!finite(r)) continue;
      ui::AnyView line;
      if (r.height <= w || r.width <= w) {
        // A strip one line wide: one stroke along its middle, flat ends, covering it exactly.
        const bool horizontal = r.height <= w;
        ui::StrokeStyle stroke = style.strokeStyle;
        stroke.cap = ui::StrokeStyle::Cap::butt;
        line = ui::Shape::custom([horizontal](ui::Rect in) {
                 ui::Path path;
                 if (horizontal) {
                   path.moveTo({in.minX(), in.midY()});
                   path.lineTo({in.maxX(), in.midY()});
                 } else {
                   path.moveTo({in.midX(), in.minY()});
                   path.lineTo({in.midX(), in.maxY()});
                 }
                 return path;
               }).stroke(style.color, stroke);
      } else {
        line = ui::Rectangle().inset(w / 2).stroke(style.color, style.strokeStyle);
      }
      lines.push_back(line.frame(r.width, r.height).offset(r.x, r.y).id(ui::Identity(i)));
    }
    return ui::ZStack(ui::Alignment::topLeading, std::move(lines));
  });
}

}  // namespace markdown
