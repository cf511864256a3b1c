#include "ui/ScrollView.h"

#include <algorithm>

#include "core/Modifier.h"
#include "ui/Color.h"

namespace ui {
namespace detail {
namespace {

class ScrollViewView final : public Modifier {
 public:
  ScrollViewView(ScrollAxes axes, bool indicators, AnyView content)
      : Modifier(std::move(content)), axes_(axes), indicators_(indicators) {}
  std::string name() const override { return "ScrollView"; }
  bool passesTraits() const override { return false; }
  struct Scroll {
    Point offset;
    Size content;
  };
  std::string describe(const Node& node) const override {
    auto* s = node.localIfAny<Scroll>();
    return "content=" + fmt(s ? s->content.width : 0) + "x" + fmt(s ? s->content.height : 0) +
           " offset=" + fmt(s ? s->offset.x : 0) + "," + fmt(s ? s->offset.y : 0);
  }
  bool horizontal() const { return int(axes_) & int(ScrollAxes::horizontal); }
  bool vertical() const { return int(axes_) & int(ScrollAxes::vertical); }
  ProposedSize inner(ProposedSize p) const {
    return {horizontal() ? std::nullopt : p.width, vertical() ? std::nullopt : p.height};
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    const Size c = node.child(0) ? node.child(0)->measure(inner(p)) : Size{};
    return {p.width.value_or(c.width), vertical() ? p.height.value_or(c.height) : c.height};
  }
  void clamp(Scroll& s, Size size) const {
    s.offset.x = std::clamp(s.offset.x, 0.0, std::max(0.0, s.content.width - size.width));
    s.offset.y = std::clamp(s.offset.y, 0.0, std::max(0.0, s.content.height - size.height));
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    auto& s = node.local<Scroll>();
    if (auto* c = node.child(0)) {
      c->setOrigin({0, 0});
      c->layout(inner(p));
      s.content = c->size();
    }
    clamp(s, size);
  }
  Point childTranslation(const Node& node) const override {
    auto* s = node.localIfAny<Scroll>();
    return s ? Point{-s->offset.x, -s->offset.y} : Point{};
  }
  std::optional<Path> childClip(const Node& node) const override {
    return Path::rect({0, 0, node.size().width, node.size().height});
  }
  bool takesScroll(const Node&) const override { return true; }
  bool scroll(Node& node, double dx, double dy) const override {
    auto& s = node.local<Scroll>();
    const Point before = s.offset;
    if (horizontal()) s.offset.x += dx;
    if (vertical()) s.offset.y += dy;
    clamp(s, node.size());
    if (s.offset == before) return false;
    node.host().setNeedsFrame();
    return true;
  }
  void render(const Node& node, RenderContext& context) const override {
    renderChildren(node, context);
    auto* s = node.localIfAny<Scroll>();
    if (!indicators_ || !s) return;
    const Rect r = windowRect(node, context);
    const Rgba color = Color::secondary().resolve(context.scheme);
    if (horizontal() && s->content.width > r.width && s->content.width > 0) {
      const double w = r.width * r.width / s->content.width;
      const double x = r.x + (r.width - w) * (s->offset.x / (s->content.width - r.width));
      context.list.add(DisplayItem::FillPath{
          Path::roundedRect({x, r.maxY() - kScrollIndicatorThickness, w, kScrollIndicatorThickness},
                            kScrollIndicatorThickness / 2),
          color});
    }
    if (vertical() && s->content.height > r.height && s->content.height > 0) {
      const double h = r.height * r.height / s->content.height;
      const double y = r.y + (r.height - h) * (s->offset.y / (s->content.height - r.height));
      context.list.add(DisplayItem::FillPath{
          Path::roundedRect({r.maxX() - kScrollIndicatorThickness, y, kScrollIndicatorThickness, h},
                            kScrollIndicatorThickness / 2),
          color});
    }
  }

 private:
  ScrollAxes axes_;
  bool indicators_;
};

}  // namespace
}  // namespace detail

AnyView ScrollView(ScrollAxes axes, bool showsIndicators, AnyView content) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::ScrollViewView>(axes, showsIndicators, std::move(content))));
}

}  // namespace ui
