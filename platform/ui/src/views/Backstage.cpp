#include "ui/Backstage.h"

#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class BackstageView final : public Primitive {
 public:
  BackstageView(AnyView front, AnyView back)
      : front_(std::move(front)),
        back_(std::move(back)),
        hasFront_(childSpec(front_, Identity(0)).view != nullptr),
        hasBack_(childSpec(back_, Identity(1)).view != nullptr) {}
  std::string name() const override { return "Backstage"; }
  bool passesTraits() const override { return true; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    std::vector<ChildSpec> out;
    auto f = childSpec(front_, Identity(0));
    auto b = childSpec(back_, Identity(1));
    if (f.view) out.push_back(std::move(f));
    if (b.view) out.push_back(std::move(b));
    return out;
  }
  Node* front(const Node& node) const { return hasFront_ ? node.child(0) : nullptr; }
  Node* back(const Node& node) const { return hasBack_ ? node.child(hasFront_ ? 1 : 0) : nullptr; }
  bool showsChild(const Node& node, const Node& child) const override {
    return &child != back(node);
  }

  // The back is asked for every size the front is, so that its sizes are known on the swap.
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    if (Node* b = back(node)) b->measure(p);
    Node* f = front(node);
    return f ? f->measure(p) : Size{};
  }
  void placeChildren(Node& node, Size, ProposedSize p) const override {
    for (Node* c : {front(node), back(node)}) {
      if (!c) continue;
      c->layout(p);
      c->setOrigin({0, 0});
    }
  }
  double guide(const Node& node, VAlign g) const override {
    if (Node* f = front(node)) return f->frame().y + f->guide(g);
    return g == VAlign::firstLineCenter ? node.size().height / 2 : node.size().height;
  }
  // Its size is the front's: what the back is proposed does not change it.
  bool ignoresProposedHeight(const Node& node) const override {
    Node* f = front(node);
    return !f || f->ignoresProposedHeight();
  }
  std::vector<const Node*> paintOrder(const Node& node) const override {
    if (Node* f = front(node)) return {f};
    return {};
  }
  void transformPreferences(Node& node, PreferenceValues& values) const override {
    Node* f = front(node);
    values = f ? f->collectPreferences() : PreferenceValues{};
  }

 private:
  AnyView front_, back_;
  bool hasFront_, hasBack_;
};

}  // namespace
}  // namespace detail

AnyView Backstage(AnyView front, AnyView back) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::BackstageView>(std::move(front), std::move(back))));
}

}  // namespace ui
