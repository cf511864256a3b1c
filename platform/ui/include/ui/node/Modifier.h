#pragma once

#include "ui/node/Primitive.h"

namespace ui::detail {

// A primitive around one content view; layout, traits and drawing pass through unless
// overridden.
class Modifier : public Primitive {
 public:
  explicit Modifier(AnyView content) : content_(std::move(content)) {}
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    if (!content_) return {};
    auto spec = childSpec(content_, Identity(0));
    if (!spec.view) return {};
    return {std::move(spec)};
  }
  void placeChildren(Node& node, Size, ProposedSize proposal) const override {
    if (auto* c = node.child(0)) {
      c->layout(proposal);
      c->setOrigin({0, 0});
    }
  }
  bool passesTraits() const override { return true; }
  const AnyView& content() const { return content_; }

 protected:
  // For modifiers that hand the proposed height on to their content (perhaps less fixed insets):
  // they ignore it when their content does.
  static bool contentIgnoresProposedHeight(const Node& node) {
    return childrenIgnoreProposedHeight(node);
  }

 private:
  AnyView content_;
};

}  // namespace ui::detail
