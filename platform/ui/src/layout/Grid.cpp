#include "ui/Grid.h"

#include <algorithm>
#include <numeric>

#include "tree/Markers.h"
#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class GridRowView final : public Primitive {
 public:
  explicit GridRowView(std::vector<AnyView> cells) : cells_(std::move(cells)) {}
  std::string name() const override { return "GridRow"; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    return childSpecs(cells_);
  }

 private:
  std::vector<AnyView> cells_;
};

std::optional<HAlign> columnAlignmentOf(const Node& cell) {
  for (const Node* n = &cell; n; n = n->child(0)) {
    if (!n->primitive()) continue;
    if (auto* g = dynamic_cast<const GridColumnAlignmentView*>(n->primitive())) return g->alignment;
    if (!n->primitive()->passesTraits()) break;
  }
  return std::nullopt;
}

class GridView final : public Primitive {
 public:
  GridView(Alignment a, std::optional<double> hs, std::optional<double> vs,
           std::vector<GridRow> rows)
      : a_(a),
        hs_(hs.value_or(kDefaultSpacing)),
        vs_(vs.value_or(kDefaultSpacing)),
        rows_(std::move(rows)) {}
  std::string name() const override { return "Grid"; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    std::vector<ChildSpec> out;
    for (std::size_t r = 0; r < rows_.size(); ++r)
      out.push_back(
          {rows_[r].id.value_or(Identity(r)), std::make_shared<GridRowView>(rows_[r].cells)});
    return out;
  }

  struct Metrics {
    std::vector<double> widths, heights;
    std::vector<HAlign> alignments;
    Size size;
  };

  Metrics metrics(Node& node, ProposedSize p) const {
    Metrics m;
    std::size_t columns = 0;
    for (const auto& row : node.children()) columns = std::max(columns, row->children().size());
    m.widths.assign(columns, 0);
    m.alignments.assign(columns, a_.h);
    std::vector<bool> aligned(columns, false);
    for (const auto& row : node.children()) {
      for (std::size_t c = 0; c < row->children().size(); ++c) {
        const Node& cell = *row->children()[c];
        m.widths[c] = std::max(m.widths[c], row->children()[c]->measure({}).width);
        if (!aligned[c])
          if (auto a = columnAlignmentOf(cell)) {
            m.alignments[c] = *a;
            aligned[c] = true;
          }
      }
    }
    const double spacing = columns > 1 ? hs_ * double(columns - 1) : 0;
    if (p.width && columns > 0) {
      const double available = std::max(0.0, *p.width - spacing);
      double total = std::accumulate(m.widths.begin(), m.widths.end(), 0.0);
      if (total > available) {
        // Narrow columns keep their width; the wider ones share what is left equally.
        std::vector<std::size_t> order(columns);
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(),
                  [&](std::size_t x, std::size_t y) { return m.widths[x] < m.widths[y]; });
        double left = available;
        for (std::size_t k = 0; k < columns; ++k) {
          const double share = left / double(columns - k);
          const std::size_t c = order[k];
          if (m.widths[c] > share) m.widths[c] = share;
          left -= m.widths[c];
        }
      }
    }
    for (const auto& row : node.children()) {
      double h = 0;
      for (std::size_t c = 0; c < row->children().size(); ++c)
        h = std::max(h, row->children()[c]->measure({m.widths[c], std::nullopt}).height);
      m.heights.push_back(h);
    }
    const double rowSpacing = m.heights.size() > 1 ? vs_ * double(m.heights.size() - 1) : 0;
    m.size = {std::accumulate(m.widths.begin(), m.widths.end(), 0.0) + spacing,
              std::accumulate(m.heights.begin(), m.heights.end(), 0.0) + rowSpacing};
    return m;
  }

  Size sizeThatFits(Node& node, ProposedSize p) const override { return metrics(node, p).size; }

  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    const Metrics m = metrics(node, p);
    double y = 0;
    for (std::size_t r = 0; r < node.children().size(); ++r) {
      Node& row = *node.children()[r];
      row.setOrigin({0, y});
      row.setLaidOut({size.width, m.heights[r]}, {});
      double x = 0;
      for (std::size_t c = 0; c < row.children().size(); ++c) {
        Node& cell = *row.children()[c];
        const ProposedSize cp{m.widths[c], m.heights[r]};
        const Size s = cell.measure(cp);
        cell.setOrigin({x + alignedOffset(m.alignments[c], m.widths[c], s.width),
                        alignedOffset(a_.v, m.heights[r], s.height)});
        cell.layout(cp);
        x += m.widths[c] + hs_;
      }
      y += m.heights[r] + vs_;
    }
  }

 private:
  Alignment a_;
  double hs_, vs_;
  std::vector<GridRow> rows_;
};

}  // namespace
}  // namespace detail

AnyView Grid(Alignment alignment, std::optional<double> horizontalSpacing,
             std::optional<double> verticalSpacing, std::vector<GridRow> rows) {
  return AnyView(std::shared_ptr<const View>(std::make_shared<detail::GridView>(
      alignment, horizontalSpacing, verticalSpacing, std::move(rows))));
}

}  // namespace ui
