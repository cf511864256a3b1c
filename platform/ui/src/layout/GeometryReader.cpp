#include "ui/GeometryReader.h"

#include <algorithm>

#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class GeometryReaderView final : public Primitive {
 public:
  explicit GeometryReaderView(std::function<AnyView(const GeometryProxy&)> content)
      : content_(std::move(content)) {}
  std::string name() const override { return "GeometryReader"; }
  struct Seen {
    Size size;
  };
  ChildSpec spec(const Node& node, Size size) const {
    return childSpec(content_(GeometryProxy(&node, size)), Identity(0));
  }
  std::vector<ChildSpec> children(Node& node, const Environment&) const override {
    auto s = spec(node, node.local<Seen>().size);
    if (!s.view) return {};
    return {std::move(s)};
  }
  Size sizeThatFits(Node&, ProposedSize p) const override {
    return {p.width.value_or(0), p.height.value_or(0)};
  }
  // The content is rebuilt with this layout's geometry, anchors it resolves included.
  void placeChildren(Node& node, Size size, ProposedSize) const override {
    node.local<Seen>().size = size;
    auto s = spec(node, size);
    Node* saved = node.host().layoutBarrier;
    node.host().layoutBarrier = &node;
    if (s.view)
      node.rebuildChild(0, std::move(s), node.environment());
    else if (node.child(0))
      node.rebuildChild(0, ChildSpec{}, node.environment());
    node.host().layoutBarrier = saved;
    if (auto* c = node.child(0)) {
      c->setOrigin({0, 0});
      c->layout(ProposedSize::of(size));
    }
  }

 private:
  std::function<AnyView(const GeometryProxy&)> content_;
};

}  // namespace
}  // namespace detail

Rect GeometryProxy::globalFrame() const {
  const Point o = reader_ ? reader_->originIn(nullptr) : Point{};
  return {o.x, o.y, size_.width, size_.height};
}

Rect GeometryProxy::operator[](const Anchor& anchor) const {
  auto handle = anchor.source().lock();
  if (!handle || !handle->node || !reader_) return {};
  const detail::Node* source = handle->node;
  std::vector<const detail::Node*> readerChain;
  for (const detail::Node* n = reader_; n; n = n->parent()) readerChain.push_back(n);
  const detail::Node* common = source;
  while (common && std::find(readerChain.begin(), readerChain.end(), common) == readerChain.end())
    common = common->parent();
  if (!common) return {};
  const Point s = source == common ? Point{} : source->originIn(common);
  const Point r = reader_ == common ? Point{} : reader_->originIn(common);
  return anchor.localRect().offsetBy(s.x - r.x, s.y - r.y);
}

AnyView GeometryReader(std::function<AnyView(const GeometryProxy&)> content) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::GeometryReaderView>(std::move(content))));
}

}  // namespace ui
