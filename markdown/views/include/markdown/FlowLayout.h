#pragma once

#include "ui/CustomLayout.h"
#include "ui/View.h"

namespace markdown {

// Subviews left to right in rows, a row closing when the next subview would pass the proposed
// width; items sit on their row's bottom edge. A subview wider than the width has a row of its
// own; without a width nothing wraps. Subviews of negative layout priority are offered only
// the room left in their row.
class FlowLayout final : public ui::Layout {
 public:
  FlowLayout(double horizontalSpacing, double verticalSpacing)
      : horizontalSpacing_(horizontalSpacing), verticalSpacing_(verticalSpacing) {}
  ui::Size sizeThatFits(ui::ProposedSize proposal,
                        const ui::LayoutSubviews& subviews) const override;
  void placeSubviews(ui::Rect bounds, ui::ProposedSize proposal,
                     const ui::LayoutSubviews& subviews) const override;

  struct Item {
    std::size_t index = 0;
    ui::Size size;
  };
  struct Row {
    ui::Size size;
    std::vector<Item> items;
  };
  std::vector<Row> rows(ui::ProposedSize proposal, const ui::LayoutSubviews& subviews) const;

 private:
  double horizontalSpacing_, verticalSpacing_;
};

// The first subview at its ideal size, scaled down with its aspect ratio kept when the proposed
// width is narrower.
class ResizeToFitLayout final : public ui::Layout {
 public:
  ui::Size sizeThatFits(ui::ProposedSize proposal,
                        const ui::LayoutSubviews& subviews) const override;
  void placeSubviews(ui::Rect bounds, ui::ProposedSize proposal,
                     const ui::LayoutSubviews& subviews) const override;
};

ui::AnyView ResizeToFit(ui::AnyView content);

}  // namespace markdown
