#include "ui/ViewHost.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "core/Markers.h"
#include "core/Modifier.h"
#include "ui/SystemEnvironment.h"

namespace ui {
using namespace detail;

namespace {

class HostRoot final : public Modifier {
 public:
  using Modifier::Modifier;
  std::string name() const override { return "Root"; }
};

std::string demangled(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string out = status == 0 && name ? name : type.name();
  std::free(name);
  return out;
}

Point translationOf(const Node& n) {
  return n.primitive() ? n.primitive()->childTranslation(n) : Point{};
}

// The node's frame in window coordinates, translations of its ancestors included.
Rect windowFrame(const Node& node) {
  Rect r = node.frame();
  for (const Node* p = node.parent(); p; p = p->parent()) {
    const Point t = translationOf(*p);
    r = r.offsetBy(p->frame().x + t.x, p->frame().y + t.y);
  }
  return r;
}

template <class Pred>
Node* hitTest(Node& n, Point p, const Pred& pred) {
  const Point local{p.x - n.frame().x, p.y - n.frame().y};
  const Rect bounds{0, 0, n.size().width, n.size().height};
  const Primitive* prim = n.primitive();
  if (prim) {
    if (auto clip = prim->childClip(n); clip && !clip->boundingRect().contains(local))
      return pred(n) && bounds.contains(local) ? &n : nullptr;
  }
  const Point t = translationOf(n);
  const Point inner{local.x - t.x, local.y - t.y};
  std::vector<const Node*> order = prim ? prim->paintOrder(n) : defaultPaintOrder(n);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if (Node* hit = hitTest(const_cast<Node&>(**it), inner, pred)) return hit;
  }
  if (pred(n) && bounds.contains(local)) return &n;
  return nullptr;
}

template <class F>
void forEachNode(Node& n, const F& f) {
  f(n);
  for (auto& c : n.children()) forEachNode(*c, f);
}

}  // namespace

struct ViewHost::Impl final : HostServices {
  AnyView rootView;
  Environment baseEnvironment;
  std::shared_ptr<const TextMeasurer> measurer;
  ProposedSize proposal;
  std::unique_ptr<Node> root;
  bool rootChanged = true;
  bool needsFrame = true;
  std::function<void()> handler;
  int passes = 0;
  std::vector<std::weak_ptr<NodeHandle>> pendingAppear;
  std::weak_ptr<NodeHandle> pressed;
  std::vector<std::weak_ptr<NodeHandle>> hovered;
  std::optional<Identity> focused;

  void setNeedsFrame() override {
    if (needsFrame) return;
    needsFrame = true;
    if (handler) handler();
  }
  void nodeAppeared(Node& node) override { pendingAppear.push_back(node.handle()); }

  Environment environment() const {
    return measurer ? baseEnvironment.with<TextMeasurerKey>(measurer) : baseEnvironment;
  }

  Node* alive(const std::weak_ptr<NodeHandle>& h) const {
    auto locked = h.lock();
    return locked ? locked->node : nullptr;
  }

  std::vector<Node*> focusables() {
    std::vector<Node*> out;
    if (root)
      forEachNode(*root, [&](Node& n) {
        if (n.primitive() && n.primitive()->focusId(n)) out.push_back(&n);
      });
    return out;
  }
  Node* focusedNode() {
    if (!focused) return nullptr;
    for (Node* n : focusables())
      if (*n->primitive()->focusId(*n) == *focused) return n;
    return nullptr;
  }
};

ViewHost::ViewHost(AnyView root, std::shared_ptr<const TextMeasurer> measurer)
    : impl_(std::make_unique<Impl>()) {
  impl_->rootView = std::move(root);
  impl_->measurer = std::move(measurer);
}

ViewHost::~ViewHost() {
  if (impl_->root) {
    // Disappear hooks run while the tree is still whole.
    impl_->root->reconcile({}, impl_->environment());
    impl_->root.reset();
  }
}

void ViewHost::setRoot(AnyView root) {
  impl_->rootView = std::move(root);
  impl_->rootChanged = true;
  impl_->setNeedsFrame();
}

void ViewHost::setEnvironment(Environment environment) {
  impl_->baseEnvironment = std::move(environment);
  impl_->rootChanged = true;
  impl_->setNeedsFrame();
}

void ViewHost::setProposal(ProposedSize proposal) {
  if (impl_->proposal == proposal) return;
  impl_->proposal = proposal;
  impl_->setNeedsFrame();
}

int ViewHost::update(bool force) {
  Impl& d = *impl_;
  if (!force && !d.needsFrame && !d.rootChanged) return 0;
  d.needsFrame = true;  // state written while the frame runs needs no extra request
  int pass = 0;
  while (pass < kMaxFramePasses) {
    ++pass;
    if (!d.root) {
      d.root = std::make_unique<Node>(d, nullptr, Identity(0), std::type_index(typeid(HostRoot)));
      d.rootChanged = true;
    }
    if (d.rootChanged) {
      d.rootChanged = false;
      d.root->update(std::make_shared<HostRoot>(d.rootView), d.environment());
    } else if (d.root->needsRebuild()) {
      d.root->updateDirtyDescendants();
    }
    d.root->layout(d.proposal);
    d.root->setOrigin({0, 0});
    d.root->collectPreferences();
    if (!d.root->needsRebuild()) break;
  }
  d.passes = pass;
  d.needsFrame = false;
  // Appear hooks run on the settled tree; what they change goes into the next frame.
  auto appearing = std::exchange(d.pendingAppear, {});
  for (const auto& h : appearing) {
    if (Node* n = d.alive(h)) {
      if (n->primitive())
        n->primitive()->appeared(*n);
      else
        n->appeared = true;
    }
  }
  if (d.root->needsRebuild()) {
    d.needsFrame = false;
    d.setNeedsFrame();
  }
  return pass;
}

bool ViewHost::needsUpdate() const {
  return impl_->needsFrame || impl_->rootChanged;
}
void ViewHost::setNeedsUpdateHandler(std::function<void()> handler) {
  impl_->handler = std::move(handler);
}
int ViewHost::lastPassCount() const {
  return impl_->passes;
}
Size ViewHost::rootSize() const {
  return impl_->root ? impl_->root->size() : Size{};
}

DisplayList ViewHost::render() const {
  DisplayList list;
  if (!impl_->root) return list;
  RenderContext context{list, {0, 0}, impl_->root->environment().get<ColorSchemeKey>()};
  impl_->root->primitive()->render(*impl_->root, context);
  return list;
}

std::string ViewHost::dump() const {
  std::ostringstream out;
  std::function<void(const Node&, int, Point)> visit = [&](const Node& n, int depth, Point at) {
    const Rect r = n.frame().offsetBy(at.x, at.y);
    out << std::string(depth * 2, ' ');
    if (n.primitive()) {
      out << n.primitive()->name();
    } else {
      out << demangled(typeid(n.view()));
    }
    out << " (" << fmt(r.x) << ", " << fmt(r.y) << ", " << fmt(r.width) << ", " << fmt(r.height)
        << ")";
    if (n.primitive()) {
      const std::string extra = n.primitive()->describe(n);
      if (!extra.empty()) out << " " << extra;
    }
    out << "\n";
    const Point t = translationOf(n);
    for (const auto& c : n.children()) visit(*c, depth + 1, {r.x + t.x, r.y + t.y});
  };
  if (impl_->root)
    for (const auto& c : impl_->root->children()) visit(*c, 0, {});
  return out.str();
}

namespace {
const AccessibilityView* accessibilityOf(const Node& n) {
  return dynamic_cast<const AccessibilityView*>(n.primitive());
}
}  // namespace

std::optional<Rect> ViewHost::frameOf(std::string_view identifier) const {
  std::optional<Rect> found;
  if (impl_->root)
    forEachNode(*impl_->root, [&](Node& n) {
      auto* a = accessibilityOf(n);
      if (!found && a && a->identifier == identifier) found = windowFrame(n);
    });
  return found;
}

std::optional<std::string> ViewHost::accessibilityLabelOf(std::string_view identifier) const {
  std::optional<std::string> found;
  if (impl_->root)
    forEachNode(*impl_->root, [&](Node& n) {
      auto* a = accessibilityOf(n);
      if (found || !a || a->identifier != identifier) return;
      // The nearest label at or below the identified view.
      forEachNode(n, [&](Node& m) {
        auto* l = accessibilityOf(m);
        if (!found && l && l->label) found = l->label;
      });
    });
  return found;
}

void ViewHost::pointerPressed(Point p) {
  Impl& d = *impl_;
  if (!d.root) return;
  if (Node* f = hitTest(*d.root, p, [](const Node& n) {
        return n.primitive() && n.primitive()->focusId(n).has_value();
      }))
    d.focused = f->primitive()->focusId(*f);
  Node* target = hitTest(
      *d.root, p, [](const Node& n) { return n.primitive() && n.primitive()->takesPointer(n); });
  d.pressed = target ? target->handle() : std::weak_ptr<NodeHandle>{};
  if (target) {
    const Rect r = windowFrame(*target);
    target->primitive()->pointer(*target, PointerPhase::pressed, {p.x - r.x, p.y - r.y}, true);
  }
}

void ViewHost::pointerMoved(Point p) {
  Impl& d = *impl_;
  if (!d.root) return;
  if (Node* n = d.alive(d.pressed)) {
    const Rect r = windowFrame(*n);
    n->primitive()->pointer(*n, PointerPhase::moved, {p.x - r.x, p.y - r.y}, r.contains(p));
  }
  std::vector<Node*> now;
  forEachNode(*d.root, [&](Node& n) {
    if (n.primitive() && n.primitive()->takesHover(n) && windowFrame(n).contains(p))
      now.push_back(&n);
  });
  std::vector<Node*> before;
  for (const auto& h : d.hovered)
    if (Node* n = d.alive(h)) before.push_back(n);
  for (Node* n : before)
    if (std::find(now.begin(), now.end(), n) == now.end()) n->primitive()->hover(*n, false);
  for (Node* n : now)
    if (std::find(before.begin(), before.end(), n) == before.end()) n->primitive()->hover(*n, true);
  d.hovered.clear();
  for (Node* n : now) d.hovered.push_back(n->handle());
}

void ViewHost::pointerReleased(Point p) {
  Impl& d = *impl_;
  Node* n = d.alive(d.pressed);
  d.pressed.reset();
  if (!n) return;
  const Rect r = windowFrame(*n);
  n->primitive()->pointer(*n, PointerPhase::released, {p.x - r.x, p.y - r.y}, r.contains(p));
}

bool ViewHost::scrolled(Point p, double dx, double dy) {
  Impl& d = *impl_;
  if (!d.root) return false;
  Node* n = hitTest(*d.root, p,
                    [](const Node& m) { return m.primitive() && m.primitive()->takesScroll(m); });
  for (; n; n = n->parent())
    if (n->primitive() && n->primitive()->takesScroll(*n) && n->primitive()->scroll(*n, dx, dy))
      return true;
  return false;
}

bool ViewHost::keyPressed(const KeyEvent& event) {
  Impl& d = *impl_;
  if (event.key == "tab") return event.shift ? focusPrevious() : focusNext();
  Node* focused = d.focusedNode();
  // The focused view's own content first (a control under `.focusable`), then its ancestors.
  for (Node* n = focused ? focused->child(0) : nullptr; n; n = n->child(0)) {
    if (n->primitive() && n->primitive()->key(*n, event)) return true;
    if (n->primitive() && !n->primitive()->passesTraits()) break;
  }
  for (Node* n = focused; n; n = n->parent())
    if (n->primitive() && n->primitive()->key(*n, event)) return true;
  return false;
}

std::optional<Identity> ViewHost::focusedId() const {
  return impl_->focusedNode() ? impl_->focused : std::nullopt;
}

bool ViewHost::focus(const Identity& id) {
  for (Node* n : impl_->focusables()) {
    if (*n->primitive()->focusId(*n) == id) {
      impl_->focused = id;
      return true;
    }
  }
  return false;
}

bool ViewHost::focusNext() {
  auto all = impl_->focusables();
  if (all.empty()) return false;
  auto it = std::find(all.begin(), all.end(), impl_->focusedNode());
  Node* next = (it == all.end() || it + 1 == all.end()) ? all.front() : *(it + 1);
  impl_->focused = next->primitive()->focusId(*next);
  return true;
}

bool ViewHost::focusPrevious() {
  auto all = impl_->focusables();
  if (all.empty()) return false;
  auto it = std::find(all.begin(), all.end(), impl_->focusedNode());
  Node* prev = (it == all.end() || it == all.begin()) ? all.back() : *(it - 1);
  impl_->focused = prev->primitive()->focusId(*prev);
  return true;
}

ViewHost::Stats ViewHost::stats() const {
  return {impl_->bodiesEvaluated, impl_->nodesUpdated, impl_->nodesMeasured, impl_->nodesCreated};
}
void ViewHost::resetStats() {
  impl_->bodiesEvaluated = impl_->nodesUpdated = impl_->nodesMeasured = impl_->nodesCreated = 0;
}
std::size_t ViewHost::nodeCount() const {
  std::size_t count = 0;
  if (impl_->root) forEachNode(*impl_->root, [&](Node&) { ++count; });
  return count;
}

}  // namespace ui
