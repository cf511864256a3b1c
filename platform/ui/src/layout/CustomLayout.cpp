#include "ui/CustomLayout.h"

#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class CustomLayoutView final : public Primitive {
 public:
  CustomLayoutView(std::shared_ptr<const Layout> layout, std::vector<AnyView> children)
      : layout_(std::move(layout)), children_(std::move(children)) {}
  std::string name() const override { return "Layout"; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    return childSpecs(children_);
  }
  static LayoutSubviews subviews(Node& node) {
    LayoutSubviews out;
    out.reserve(node.children().size());
    for (const auto& c : node.children()) out.emplace_back(c.get());
    return out;
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    return layout_ ? layout_->sizeThatFits(p, subviews(node)) : Size{};
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    if (layout_) layout_->placeSubviews({0, 0, size.width, size.height}, p, subviews(node));
  }

 private:
  std::shared_ptr<const Layout> layout_;
  std::vector<AnyView> children_;
};

}  // namespace
}  // namespace detail

Size LayoutSubview::sizeThatFits(ProposedSize proposal) const {
  return node_->measure(proposal);
}

void LayoutSubview::place(Point position, UnitPoint anchor, ProposedSize proposal) const {
  const Size s = node_->measure(proposal);
  node_->setOrigin({position.x - anchor.x * s.width, position.y - anchor.y * s.height});
  node_->layout(proposal);
}

double LayoutSubview::priority() const {
  return node_->layoutPriority();
}

AnyView CustomLayout(std::shared_ptr<const Layout> layout, std::vector<AnyView> children) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::CustomLayoutView>(std::move(layout), std::move(children))));
}

}  // namespace ui
