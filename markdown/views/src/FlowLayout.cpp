#include "markdown/FlowLayout.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace markdown {
namespace {

std::optional<double> finiteWidth(const ui::ProposedSize& p) {
  if (p.width && std::isfinite(*p.width)) return std::max(0.0, *p.width);
  return std::nullopt;
}

}  // namespace

std::vector<FlowLayout::Row> FlowLayout::rows(ui::ProposedSize proposal,
                                              const ui::LayoutSubviews& subviews) const {
  // An infinite width is taken as no width: no child is ever offered an infinite one.
  const std::optional<double> width = finiteWidth(proposal);
  const double available = width.value_or(ui::kInfinity);
  std::vector<Row> rows;
  Row current;
  double x = 0, h = 0;
  for (std::size_t i = 0; i < subviews.size(); ++i) {
    std::optional<double> offered = width;
    if (width && subviews[i].priority() < 0) offered = std::max(0.0, available - x);
    const ui::Size s = subviews[i].sizeThatFits({offered, std::nullopt});
    if (x > 0 && x + s.width > available) {
      current.size = {x - horizontalSpacing_, h};
      rows.push_back(std::move(current));
      current = Row{};
      x = 0;
      h = 0;
    }
    current.items.push_back({i, s});
    x += s.width + horizontalSpacing_;
    h = std::max(h, s.height);
  }
  if (!current.items.empty()) {
    current.size = {x - horizontalSpacing_, h};
    rows.push_back(std::move(current));
  }
  return rows;
}

ui::Size FlowLayout::sizeThatFits(ui::ProposedSize proposal,
                                  const ui::LayoutSubviews& subviews) const {
  const auto all = rows(proposal, subviews);
  if (all.empty()) return {};
  ui::Size size;
  for (const auto& row : all) {
    size.width = std::max(size.width, row.size.width);
    size.height += row.size.height;
  }
  size.height += verticalSpacing_ * double(all.size() - 1);
  return size;
}

void FlowLayout::placeSubviews(ui::Rect bounds, ui::ProposedSize proposal,
                               const ui::LayoutSubviews& subviews) const {
  double y = bounds.minY();
  for (const auto& row : rows(proposal, subviews)) {
    double x = bounds.minX();
    for (const auto& item : row.items) {
      subviews[item.index].place({x, y + row.size.height - item.size.height},
                                 ui::UnitPoint::topLeading, ui::ProposedSize::of(item.size));
      x += item.size.width + horizontalSpacing_;
    }
    y += row.size.height + verticalSpacing_;
  }
}

ui::Size ResizeToFitLayout::sizeThatFits(ui::ProposedSize proposal,
                                         const ui::LayoutSubviews& subviews) const {
  if (subviews.empty()) return {};
  const ui::Size ideal = subviews.front().idealSize();
  const std::optional<double> width = finiteWidth(proposal);
  if (width && ideal.width > *width && ideal.width > 0)
    return {*width, *width * ideal.height / ideal.width};
  return ideal;
}

void ResizeToFitLayout::placeSubviews(ui::Rect bounds, ui::ProposedSize,
                                      const ui::LayoutSubviews& subviews) const {
  if (subviews.empty()) return;
  subviews.front().place(bounds.origin(), ui::UnitPoint::topLeading,
                         ui::ProposedSize::of(bounds.size()));
}

ui::AnyView ResizeToFit(ui::AnyView content) {
  static const auto layout = std::make_shared<const ResizeToFitLayout>();
  return ui::CustomLayout(layout, {std::move(content)});
}

}  // namespace markdown
