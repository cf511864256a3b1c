#include <cmath>

#include "ui/Color.h"
#include "ui/SystemEnvironment.h"
#include "ui/node/Modifier.h"

namespace ui {
namespace detail {
namespace {

constexpr double kLineThickness = 2;
constexpr double kLineInset = 4;
constexpr double kKnobSize = 7;

using MoveAction = std::function<void(const std::set<int>&, int)>;

// The rows are the children of the vertical stack under the modifier (through views of one
// child each).
Node* rowStack(const Node& node) {
  Node* n = node.child(0);
  while (n && !(n->primitive() && n->primitive()->stackAxis() == Axis::vertical))
    n = n->children().size() == 1 ? n->child(0) : nullptr;
  return n;
}

// Row frames in the modifier's coordinates.
std::vector<Rect> rowFrames(const Node& node) {
  std::vector<Rect> rows;
  const Node* stack = rowStack(node);
  if (!stack) return rows;
  const Point origin = stack->originIn(&node);
  for (const auto& row : stack->children())
    rows.push_back(row->frame().offsetBy(origin.x, origin.y));
  return rows;
}

// The row a rows' drop at height `y` goes before: the first whose middle lies below it.
int destinationAt(const std::vector<Rect>& rows, double y) {
  int destination = 0;
  while (destination < static_cast<int>(rows.size()) &&
         y >= rows[static_cast<std::size_t>(destination)].midY())
    ++destination;
  return destination;
}

// Where the insertion line for `destination` goes: in the gap above that row, or below the
// last one.
double lineY(const std::vector<Rect>& rows, int destination) {
  const auto at = static_cast<std::size_t>(destination);
  if (at >= rows.size()) return rows.back().maxY();
  if (at == 0) return rows.front().y;
  return (rows[at - 1].maxY() + rows[at].y) / 2;
}

class MoveRowsView final : public Modifier {
 public:
  MoveRowsView(AnyView content, MoveAction perform)
      : Modifier(std::move(content)), perform_(std::move(perform)) {}
  std::string name() const override { return "OnMove"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }

  struct Drag {
    int source = -1;  // the pressed row, -1 when the press is on no row
    Point start;
    bool dragging = false;
    std::optional<int> destination;  // none while the pointer is outside the rows
  };

  std::string describe(const Node& node) const override {
    const auto* drag = node.localIfAny<Drag>();
    if (!drag || !drag->dragging) return {};
    return "dragging=" + std::to_string(drag->source) +
           " to=" + (drag->destination ? std::to_string(*drag->destination) : std::string("none"));
  }

  bool watchesPointer(const Node& node) const override {
    return perform_ && node.environment().get<IsEnabledKey>();
  }

  bool watchPointer(Node& node, PointerPhase phase, const PointerEvent& event,
                    bool inside) const override {
    auto& drag = node.local<Drag>();
    const bool wasDragging = drag.dragging;
    switch (phase) {
      case PointerPhase::pressed: {
        drag = {};
        if (event.button != PointerButton::primary) return false;
        const auto rows = rowFrames(node);
        for (std::size_t i = 0; i < rows.size(); ++i)
          if (rows[i].contains(event.location)) drag.source = static_cast<int>(i);
        drag.start = event.location;
        return false;
      }
      case PointerPhase::moved: {
        if (drag.source < 0) return false;
        if (!drag.dragging) {
          const double dx = event.location.x - drag.start.x;
          const double dy = event.location.y - drag.start.y;
          if (std::hypot(dx, dy) <= kDragThreshold) return false;
          drag.dragging = true;
        }
        const auto destination =
            inside ? std::optional<int>(destinationAt(rowFrames(node), event.location.y))
                   : std::nullopt;
        if (!wasDragging || destination != drag.destination) {
          drag.destination = destination;
          node.host().setNeedsFrame();
        }
        return true;
      }
      case PointerPhase::released: {
        const Drag ended = drag;
        drag = {};
        if (!ended.dragging) return false;
        node.host().setNeedsFrame();
        if (!inside) return true;
        const int destination = destinationAt(rowFrames(node), event.location.y);
        // Before itself or the row after it: the row stays where it is.
        if (destination != ended.source && destination != ended.source + 1)
          perform_({ended.source}, destination);
        return true;
      }
      case PointerPhase::cancelled:
        drag = {};
        if (wasDragging) node.host().setNeedsFrame();
        return wasDragging;
    }
    return false;
  }

  void render(const Node& node, RenderContext& context) const override {
    renderChildren(node, context);
    const auto* drag = node.localIfAny<Drag>();
    if (!drag || !drag->dragging || !drag->destination) return;
    const auto rows = rowFrames(node);
    if (rows.empty()) return;
    const Rect r = windowRect(node, context);
    StrokeStyle ring;
    ring.lineWidth = kLineThickness;
    const double y = r.y + lineY(rows, *drag->destination);
    const Rgba color = Color::accent().resolve(context.scheme);
    const double left = r.x + kLineInset;
    context.list.add(DisplayItem::StrokePath{
        Path::ellipse({left, y - kKnobSize / 2, kKnobSize, kKnobSize}), color, ring});
    context.list.add(DisplayItem::FillPath{
        Path::rect({left + kKnobSize, y - kLineThickness / 2,
                    std::max(0.0, r.width - 2 * kLineInset - kKnobSize), kLineThickness}),
        color});
  }
  // The line may sit on the stack's very top or bottom edge.
  std::optional<Rect> ownInk(const Node& node) const override {
    return Rect{0, -kKnobSize, node.size().width, node.size().height + 2 * kKnobSize};
  }

 private:
  MoveAction perform_;
};

}  // namespace
}  // namespace detail

AnyView AnyView::onMove(std::function<void(const std::set<int>&, int)> perform) const {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<const detail::MoveRowsView>(*this, std::move(perform))));
}

}  // namespace ui
