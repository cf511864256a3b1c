#include "ui/node/Primitive.h"

#include <cmath>
#include <cstdio>

namespace ui::detail {

Size Primitive::sizeThatFits(Node& node, ProposedSize proposal) const {
  if (auto* c = node.child(0)) return c->measure(proposal);
  return {};
}

void Primitive::placeChildren(Node& node, Size size, ProposedSize) const {
  for (auto& c : node.children()) {
    c->layout(ProposedSize::of(size));
    c->setOrigin({0, 0});
  }
}

double Primitive::guide(const Node& node, VAlign g) const {
  if (auto* c = node.child(0)) return c->frame().y + c->guide(g);
  return g == VAlign::firstLineCenter ? node.size().height / 2 : node.size().height;
}

void Primitive::render(const Node& node, RenderContext& context) const {
  renderChildren(node, context);
}

std::optional<Rect> Primitive::ownInk(const Node& node) const {
  return Rect{0, 0, node.size().width, node.size().height};
}

namespace {
// Antialiased edges and pixel-aligned clips reach a little past the geometry.
constexpr double kInkMargin = 2;
}  // namespace

// Out of sight only when provably so: non-finite geometry always draws.
bool RenderContext::mayShow(const Rect& r) const {
  if (!visible) return true;
  const Rect& v = *visible;
  return !(r.maxX() + kInkMargin < v.x || r.x - kInkMargin > v.maxX() ||
           r.maxY() + kInkMargin < v.y || r.y - kInkMargin > v.maxY());
}

namespace {
bool finite(const Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
         std::isfinite(r.height);
}

// `visible` narrowed to a clip's bounds, in the same coordinates.
Rect narrowed(const std::optional<Rect>& visible, const Rect& clip) {
  if (!visible) return clip;
  const double x = std::max(visible->x, clip.x), y = std::max(visible->y, clip.y);
  return {x, y, std::max(0.0, std::min(visible->maxX(), clip.maxX()) - x),
          std::max(0.0, std::min(visible->maxY(), clip.maxY()) - y)};
}
}  // namespace

std::vector<const Node*> defaultPaintOrder(const Node& node) {
  std::vector<const Node*> order;
  order.reserve(node.children().size());
  for (const auto& c : node.children()) order.push_back(c.get());
  return order;
}

std::vector<const Node*> Primitive::paintOrder(const Node& node) const {
  return defaultPaintOrder(node);
}

Rect windowRect(const Node& node, const RenderContext& context) {
  return node.frame().offsetBy(context.origin.x, context.origin.y);
}

void renderChildren(const Node& node, RenderContext& context) {
  const Rect r = windowRect(node, context);
  const auto* p = node.primitive();
  const Point t = p ? p->childTranslation(node) : Point{};
  const auto clip = p ? p->childClip(node) : std::nullopt;
  const std::optional<Rect> savedVisible = context.visible;
  if (clip) {
    const Path windowClip = clip->translated(r.x, r.y);
    if (const Rect box = windowClip.boundingRect(); finite(box))
      context.visible = narrowed(context.visible, box);
    context.list.add(DisplayItem::PushClip{windowClip});
  }
  const bool translated = t.x != 0 || t.y != 0;
  if (translated) context.list.add(DisplayItem::PushTransform{t.x, t.y});
  if (translated && context.visible) context.visible = context.visible->offsetBy(-t.x, -t.y);
  const Point saved = context.origin;
  context.origin = r.origin();
  auto draw = [&](const Node* c) {
    if (context.visible) {
      const auto ink = c->inkBounds();
      if (!ink || !context.mayShow(ink->offsetBy(r.x + c->frame().x, r.y + c->frame().y))) return;
    }
    if (c->primitive())
      c->primitive()->render(*c, context);
    else
      renderChildren(*c, context);
  };
  // A composite view's only child needs no paint order (and no list made for it).
  if (p) {
    for (const Node* c : p->paintOrder(node)) draw(c);
  } else {
    for (const auto& c : node.children()) draw(c.get());
  }
  context.origin = saved;
  context.visible = savedVisible;
  if (translated) context.list.add(DisplayItem::PopTransform{});
  if (clip) context.list.add(DisplayItem::PopClip{});
}

bool childrenIgnoreProposedHeight(const Node& node) {
  for (const auto& c : node.children())
    if (!c->ignoresProposedHeight()) return false;
  return true;
}

std::string fmt(double value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  if (std::nearbyint(value) == value && std::fabs(value) < 1e15)
    return std::to_string(static_cast<long long>(value));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  std::string s = buffer;
  while (!s.empty() && s.back() == '0') s.pop_back();
  return s;
}

double alignedOffset(HAlign alignment, double container, double content) {
  switch (alignment) {
    case HAlign::leading:
      return 0;
    case HAlign::center:
      return (container - content) / 2;
    case HAlign::trailing:
      return container - content;
  }
  return 0;
}

double alignedOffset(VAlign alignment, double container, double content) {
  switch (alignment) {
    case VAlign::top:
      return 0;
    case VAlign::bottom:
      return container - content;
    default:
      return (container - content) / 2;
  }
}

void placeAligned(Node& child, Size container, ProposedSize proposal, Alignment alignment) {
  const Size m = child.measure(proposal);
  child.setOrigin({alignedOffset(alignment.h, container.width, m.width),
                   alignedOffset(alignment.v, container.height, m.height)});
  child.layout(proposal);
}

}  // namespace ui::detail
