#pragma once

#include <memory>
#include <vector>

#include "ui/View.h"

namespace ui {

namespace detail {
class Node;
}

// One subview as a custom layout sees it.
class LayoutSubview {
 public:
  explicit LayoutSubview(detail::Node* node) : node_(node) {}
  // Pure; may be called any number of times.
  Size sizeThatFits(ProposedSize proposal) const;
  Size idealSize() const { return sizeThatFits(ProposedSize::unspecified()); }
  // Places the subview so that its `anchor` point lands on `position` (layout bounds
  // coordinates), sized for `proposal`.
  void place(Point position, UnitPoint anchor, ProposedSize proposal) const;
  double priority() const;

 private:
  detail::Node* node_;
};
using LayoutSubviews = std::vector<LayoutSubview>;

// A layout written by its user: answers a size for a proposal and places its subviews inside
// bounds (origin at the layout's own origin).
class Layout {
 public:
  virtual ~Layout() = default;
  virtual Size sizeThatFits(ProposedSize proposal, const LayoutSubviews& subviews) const = 0;
  virtual void placeSubviews(Rect bounds, ProposedSize proposal,
                             const LayoutSubviews& subviews) const = 0;
};

AnyView CustomLayout(std::shared_ptr<const Layout> layout, std::vector<AnyView> children);

}  // namespace ui
