#include "ui/ScrollView.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "layout/Viewport.h"
#include "ui/Color.h"
#include "ui/node/Modifier.h"

namespace ui {
namespace detail {
namespace {

class ScrollViewView final : public Modifier {
 public:
  ScrollViewView(ScrollAxes axes, bool indicators, AnyView content)
      : Modifier(std::move(content)), axes_(axes), indicators_(indicators) {}
  std::string name() const override { return "ScrollView"; }
  // Scrolling vertically, it takes the height proposed.
  bool ignoresProposedHeight(const Node& node) const override {
    return !vertical() && contentIgnoresProposedHeight(node);
  }
  bool passesTraits() const override { return false; }
  struct Scroll {
    Point offset;
    Size content;
    // Content laid out by what shows (lazy stacks), and the view they were last told of.
    std::vector<std::weak_ptr<NodeHandle>> watchers;
    Rect told;
    // Where in the vertical indicator the pointer holds it, while it drags it.
    double grip = 0;
  };
  static void tellWatchers(Node& node, Scroll& s) {
    const Rect shown{s.offset.x, s.offset.y, node.size().width, node.size().height};
    if (s.watchers.empty() || shown == s.told) return;
    s.told = shown;
    std::erase_if(s.watchers, [](const auto& w) { return w.expired(); });
    for (const auto& watcher : std::vector(s.watchers))
      if (auto handle = watcher.lock(); handle && handle->node) viewportChanged(*handle->node);
  }
  // Clamps the offset moved from `before`; a move shows in the next frame and tells the
  // stacks laid out by what shows. False when nothing moved.
  bool settleMove(Node& node, Scroll& s, Point before) const {
    clamp(s, node.size());
    if (s.offset == before) return false;
    node.host().setNeedsFrame();
    tellWatchers(node, s);
    return true;
  }
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
    // A view scrolled to the end stays at the end as the content changes length.
    const bool atEnd =
        vertical() && s.offset.y > 0 && s.offset.y >= s.content.height - node.size().height - 0.5;
    if (auto* c = node.child(0)) {
      c->layout(inner(p));
      s.content = c->size();
      // Along an axis that does not scroll, narrower content stands in the middle.
      c->setOrigin({horizontal() ? 0 : std::max(0.0, (size.width - s.content.width) / 2),
                    vertical() ? 0 : std::max(0.0, (size.height - s.content.height) / 2)});
    }
    if (atEnd) s.offset.y = s.content.height - size.height;
    clamp(s, size);
    tellWatchers(node, s);
  }
  Point childTranslation(const Node& node) const override {
    auto* s = node.localIfAny<Scroll>();
    return s ? Point{-s->offset.x, -s->offset.y} : Point{};
  }
  std::optional<Path> childClip(const Node& node) const override {
    return Path::rect({0, 0, node.size().width, node.size().height});
  }
  bool scrollToReveal(Node& node, Rect target, std::optional<UnitPoint> anchor) const override {
    auto& s = node.local<Scroll>();
    const Point before = s.offset;
    const Size view = node.size();
    auto reveal = [&](double offset, double start, double length, double viewport,
                      std::optional<double> unit) {
      if (unit) return start + *unit * length - *unit * viewport;
      if (start < offset || length > viewport) return start;
      if (start + length > offset + viewport) return start + length - viewport;
      return offset;
    };
    if (horizontal())
      s.offset.x = reveal(s.offset.x, target.x, target.width, view.width,
                          anchor ? std::optional<double>(anchor->x) : std::nullopt);
    if (vertical())
      s.offset.y = reveal(s.offset.y, target.y, target.height, view.height,
                          anchor ? std::optional<double>(anchor->y) : std::nullopt);
    return settleMove(node, s, before);
  }
  // In proportion to what shows, but never too short to see (a list of thousands of rows).
  static double indicatorLength(double viewport, double content) {
    return std::min(viewport, std::max(kMinimumIndicatorLength, viewport * viewport / content));
  }
  static constexpr double kMinimumIndicatorLength = 24;
  // The vertical indicator's top and length, in the view's own coordinates; none when the
  // content fits.
  struct Indicator {
    double top, length;
  };
  std::optional<Indicator> verticalIndicator(const Node& node, const Scroll* s) const {
    const double viewport = node.size().height;
    if (!vertical() || !s || s->content.height <= viewport) return std::nullopt;
    const double length = indicatorLength(viewport, s->content.height);
    return Indicator{(viewport - length) * (s->offset.y / (s->content.height - viewport)), length};
  }
  // A press this near the drawn indicator takes it: wider than it is drawn, to be easy to hit.
  static constexpr double kIndicatorGripWidth = 12;
  static constexpr double kIndicatorGripSlack = 4;
  bool takesPointerInFront(const Node& node, Point local) const override {
    const auto bar =
        indicators_ ? verticalIndicator(node, node.localIfAny<Scroll>()) : std::nullopt;
    return bar && local.x >= node.size().width - kIndicatorGripWidth &&
           local.x < node.size().width && local.y >= bar->top - kIndicatorGripSlack &&
           local.y < bar->top + bar->length + kIndicatorGripSlack;
  }
  // Dragging the vertical indicator scrolls by as much as the content is longer than the track,
  // the indicator staying where the pointer holds it.
  void pointer(Node& node, PointerPhase phase, const PointerEvent& event, bool) const override {
    auto& s = node.local<Scroll>();
    const auto bar = verticalIndicator(node, &s);
    if (phase == PointerPhase::released || phase == PointerPhase::cancelled || !bar) return;
    if (phase == PointerPhase::pressed)
      s.grip = std::clamp(event.location.y - bar->top, 0.0, bar->length);
    const double track = node.size().height - bar->length;
    const double top = std::clamp(event.location.y - s.grip, 0.0, std::max(0.0, track));
    const Point before = s.offset;
    s.offset.y = track > 0 ? top / track * (s.content.height - node.size().height) : 0;
    settleMove(node, s, before);
  }
  bool takesScroll(const Node&) const override { return true; }
  bool scroll(Node& node, double dx, double dy) const override {
    auto& s = node.local<Scroll>();
    const Point before = s.offset;
    if (horizontal()) s.offset.x += dx;
    if (vertical()) s.offset.y += dy;
    return settleMove(node, s, before);
  }
  void render(const Node& node, RenderContext& context) const override {
    renderChildren(node, context);
    auto* s = node.localIfAny<Scroll>();
    if (!indicators_ || !s) return;
    const Rect r = windowRect(node, context);
    const Rgba color = Color::secondary().resolve(context.scheme);
    if (horizontal() && s->content.width > r.width && s->content.width > 0) {
      const double w = indicatorLength(r.width, s->content.width);
      const double x = r.x + (r.width - w) * (s->offset.x / (s->content.width - r.width));
      context.list.add(DisplayItem::FillPath{
          Path::roundedRect({x, r.maxY() - kScrollIndicatorThickness, w, kScrollIndicatorThickness},
                            kScrollIndicatorThickness / 2),
          color});
    }
    if (const auto bar = verticalIndicator(node, s)) {
      context.list.add(DisplayItem::FillPath{
          Path::roundedRect({r.maxX() - kScrollIndicatorThickness, r.y + bar->top,
                             kScrollIndicatorThickness, bar->length},
                            kScrollIndicatorThickness / 2),
          color});
    }
  }

 private:
  ScrollAxes axes_;
  bool indicators_;
};

// Builds its content with a proxy that scrolls to the identities inside it.
class ScrollViewReaderView final : public Primitive {
 public:
  explicit ScrollViewReaderView(std::function<AnyView(ScrollViewProxy)> content)
      : content_(std::move(content)) {}
  std::string name() const override { return "ScrollViewReader"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return childrenIgnoreProposedHeight(node);
  }
  bool passesTraits() const override { return true; }
  std::vector<ChildSpec> children(Node& node, const Environment&) const override {
    auto spec = childSpec(content_(ScrollViewProxy(node.handle())), Identity(0));
    if (!spec.view) return {};
    return {std::move(spec)};
  }
  void placeChildren(Node& node, Size, ProposedSize proposal) const override {
    if (auto* c = node.child(0)) {
      c->layout(proposal);
      c->setOrigin({0, 0});
    }
  }

 private:
  std::function<AnyView(ScrollViewProxy)> content_;
};

}  // namespace

void shiftViewport(Node& watcher, double dy) {
  for (Node* p = watcher.parent(); p; p = p->parent()) {
    if (!dynamic_cast<const ScrollViewView*>(p->primitive())) continue;
    p->local<ScrollViewView::Scroll>().offset.y += dy;
    return;
  }
}

void watchViewport(Node& watcher) {
  for (Node* p = watcher.parent(); p; p = p->parent()) {
    if (!dynamic_cast<const ScrollViewView*>(p->primitive())) continue;
    auto& watchers = p->local<ScrollViewView::Scroll>().watchers;
    for (const auto& w : watchers)
      if (w.lock() == watcher.handle()) return;
    watchers.push_back(watcher.handle());
    return;
  }
}

}  // namespace detail

void ScrollViewProxy::scrollTo(Identity id, std::optional<UnitPoint> anchor) const {
  auto handle = reader_.lock();
  if (!handle || !handle->node) return;
  handle->node->host().requestScroll(reader_, std::move(id), anchor);
}

AnyView ScrollViewReader(std::function<AnyView(ScrollViewProxy)> content) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::ScrollViewReaderView>(std::move(content))));
}

AnyView ScrollView(ScrollAxes axes, bool showsIndicators, AnyView content) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::ScrollViewView>(axes, showsIndicators, std::move(content))));
}

}  // namespace ui
