#include "ui/ViewHost.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>

#include <foundation/MainThread.h>

#include "layout/Viewport.h"
#include "tree/Markers.h"
#include "ui/SystemEnvironment.h"
#include "ui/node/Modifier.h"

namespace ui {
using namespace detail;

namespace {

class HostRoot final : public Modifier {
 public:
  using Modifier::Modifier;
  std::string name() const override { return "Root"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
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

// Visits the nodes under `p` (in the coordinates of n's parent's content) front to back,
// children before their parent, skipping what a clip hides; stops when `visit` returns true.
// The one hit-testing path for presses, hover, scrolling, cursors and focus.
template <class Visit>
Node* visitHits(Node& n, Point p, const Visit& visit) {
  const Point local{p.x - n.frame().x, p.y - n.frame().y};
  const Rect bounds{0, 0, n.size().width, n.size().height};
  const Primitive* prim = n.primitive();
  const auto clip = prim ? prim->childClip(n) : std::nullopt;
  if (!clip || clip->boundingRect().contains(local)) {
    const Point t = translationOf(n);
    const Point inner{local.x - t.x, local.y - t.y};
    std::vector<const Node*> order = prim ? prim->paintOrder(n) : defaultPaintOrder(n);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
      if (Node* hit = visitHits(const_cast<Node&>(**it), inner, visit)) return hit;
  }
  if (bounds.contains(local) && visit(n, local)) return &n;
  return nullptr;
}

// The frontmost node under `p` that satisfies `pred`.
template <class Pred>
Node* hitTest(Node& root, Point p, const Pred& pred) {
  return visitHits(root, p, [&](Node& n, Point) { return n.primitive() && pred(n); });
}

bool shows(const Node& n, const Node& child) {
  return !n.primitive() || n.primitive()->showsChild(n, child);
}

// The nodes on screen, depth first.
template <class F>
void forEachNode(Node& n, const F& f) {
  f(n);
  for (auto& c : n.children())
    if (shows(n, *c)) forEachNode(*c, f);
}

}  // namespace

struct ViewHost::Impl final : HostServices {
  AnyView rootView;
  Environment baseEnvironment;
  std::shared_ptr<const TextMeasurer> measurer;
  std::shared_ptr<WidgetFactory> factory;
  std::function<void(const std::string&)> copyHandler;
  std::function<void()> accessibilityFocusHandler;
  ProposedSize proposal;
  std::unique_ptr<Node> root;
  bool rootChanged = true;
  bool needsFrame = true;
  std::function<void()> handler;
  int passes = 0;
  std::vector<std::weak_ptr<NodeHandle>> pendingAppear;
  std::vector<std::weak_ptr<NodeHandle>> focusBindingNodes;
  std::weak_ptr<NodeHandle> pressed;
  // The node watching the current press and whether it took the gesture over.
  std::weak_ptr<NodeHandle> watcher;
  bool watcherTookOver = false;
  std::vector<std::weak_ptr<NodeHandle>> hovered;
  std::weak_ptr<NodeHandle> selectionOwner;
  std::optional<Identity> focused;
  // The node that holds `focused`, kept so that a key does not walk the whole tree to find it.
  std::weak_ptr<NodeHandle> focusedHandle;
  // The frame in which no node held `focused`: it is not looked for again until a new frame.
  std::optional<std::uint64_t> focusMissedInFrame;
  // How many items the last frame drew: the next one is much the same.
  std::size_t renderedItems = 0;
  struct ScrollRequest {
    std::weak_ptr<NodeHandle> within;
    Identity id;
    std::optional<UnitPoint> anchor;
    bool waitedForRow = false;
  };
  std::vector<ScrollRequest> scrollRequests;

  void setNeedsFrame() override {
    if (needsFrame) return;
    needsFrame = true;
    if (handler) handler();
  }
  void nodeAppeared(Node& node) override {
    pendingAppear.push_back(node.handle());
    if (dynamic_cast<const FocusBindingView*>(node.primitive()))
      focusBindingNodes.push_back(node.handle());
  }
  WidgetFactory* widgetFactory() override { return factory.get(); }
  void requestScroll(std::weak_ptr<NodeHandle> within, Identity id,
                     std::optional<UnitPoint> anchor) override {
    scrollRequests.push_back({std::move(within), std::move(id), anchor});
    setNeedsFrame();
  }
  void requestFocus(const Identity& id) override {
    if (!(focused == std::optional<Identity>(id))) setFocus(nodeWithFocusId(id));
  }
  void selectionStarted(Node& node) override {
    Node* before = alive(selectionOwner);
    if (before && before != &node) before->primitive()->clearSelection(*before);
    selectionOwner = node.handle();
  }

  Environment environment() const {
    return measurer ? baseEnvironment.with<TextMeasurerKey>(measurer) : baseEnvironment;
  }

  Node* alive(const std::weak_ptr<NodeHandle>& h) const {
    auto locked = h.lock();
    return locked ? locked->node : nullptr;
  }

  static std::optional<Identity> focusIdOf(const Node& n) {
    return n.primitive() ? n.primitive()->focusId(n) : std::nullopt;
  }
  std::vector<Node*> focusables(Node* within = nullptr) {
    std::vector<Node*> out;
    if (!within) within = root.get();
    if (within)
      forEachNode(*within, [&](Node& n) {
        if (focusIdOf(n)) out.push_back(&n);
      });
    return out;
  }
  Node* nodeWithFocusId(const Identity& id) {
    for (Node* n : focusables())
      if (*focusIdOf(*n) == id) return n;
    return nullptr;
  }
  Node* focusedNode() override {
    if (!focused) return nullptr;
    if (Node* n = alive(focusedHandle); n && focusIdOf(*n) == focused && onScreen(n)) return n;
    // The node went, or no longer holds the focus: another may hold it now.
    if (focusMissedInFrame == frame) return nullptr;
    Node* found = nodeWithFocusId(*focused);
    focusedHandle = found ? found->handle() : std::weak_ptr<NodeHandle>{};
    focusMissedInFrame = found ? std::nullopt : std::optional<std::uint64_t>(frame);
    return found;
  }
  static bool onScreen(const Node* n) {
    for (; n->parent(); n = n->parent())
      if (!shows(*n->parent(), *n)) return false;
    return true;
  }
  static bool isWithin(const Node* n, const Node* ancestor) {
    for (; n; n = n->parent())
      if (n == ancestor) return true;
    return false;
  }

  // The one place the focus changes: hosted widgets follow it and focus bindings learn it.
  void setFocus(Node* target, FocusMove move = FocusMove::other) {
    Node* before = focusedNode();
    focused = target ? focusIdOf(*target) : std::nullopt;
    focusedHandle = target ? target->handle() : std::weak_ptr<NodeHandle>{};
    focusMissedInFrame.reset();
    if (before == target) return;
    if (before) {
      before->primitive()->focusChanged(*before, false);
      if (HostedWidget* w = before->primitive()->hostedWidget(*before)) w->focusMoved(false, move);
    }
    if (target) {
      target->primitive()->focusChanged(*target, true);
      if (HostedWidget* w = target->primitive()->hostedWidget(*target)) w->focusMoved(true, move);
    }
    publishFocus(target);
    setNeedsFrame();
    if (accessibilityFocusHandler) accessibilityFocusHandler();
  }

  // The live focus bindings in tree order. Kept as they appear, so a frame does not walk the
  // whole tree (a streamed Markdown answer has tens of thousands of nodes).
  std::vector<Node*> focusBindings() {
    std::vector<Node*> out;
    std::erase_if(focusBindingNodes, [&](const std::weak_ptr<NodeHandle>& h) {
      Node* n = alive(h);
      if (!n || !dynamic_cast<const FocusBindingView*>(n->primitive())) return true;
      if (onScreen(n)) out.push_back(n);
      return false;
    });
    if (out.size() > 1) {
      std::sort(out.begin(), out.end(),
                [](const Node* a, const Node* b) { return treePath(a) < treePath(b); });
      out.erase(std::unique(out.begin(), out.end()), out.end());
    }
    return out;
  }
  // Child positions from the root down to `n`.
  static std::vector<std::size_t> treePath(const Node* n) {
    std::vector<std::size_t> path;
    for (; n->parent(); n = n->parent()) {
      const auto& siblings = n->parent()->children();
      for (std::size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == n) path.push_back(i);
    }
    std::reverse(path.begin(), path.end());
    return path;
  }
  void publishFocus(Node* target) {
    for (Node* n : focusBindings()) {
      auto* b = static_cast<const FocusBindingView*>(n->primitive());
      const std::optional<Identity> current = b->binding.get();
      std::optional<Identity> next = current;
      if (target && isWithin(target, n))
        next = b->equals;
      else if (current == std::optional<Identity>(b->equals))
        next = std::nullopt;
      n->local<FocusBindingView::Seen>() = {true, next};
      if (!(next == current)) b->binding.set(next);
    }
  }
  // Bindings the model changed since the last look move the focus.
  void applyFocusBindings() {
    for (Node* n : focusBindings()) {
      auto* b = static_cast<const FocusBindingView*>(n->primitive());
      auto& seen = n->local<FocusBindingView::Seen>();
      const std::optional<Identity> value = b->binding.get();
      if (seen.any && seen.value == value) continue;
      seen = {true, value};
      Node* current = focusedNode();
      const bool inside = current && isWithin(current, n);
      if (value == std::optional<Identity>(b->equals) && !inside) {
        auto candidates = focusables(n);
        if (!candidates.empty()) setFocus(candidates.front());
      } else if (!value && inside) {
        setFocus(nullptr);
      }
    }
  }

  void applyScrollRequests() {
    auto requests = std::exchange(scrollRequests, {});
    for (auto& r : requests) {
      Node* within = alive(r.within);
      if (!within) continue;
      Node* target = nullptr;
      forEachNode(*within, [&](Node& n) {
        if (!target && n.hasExplicitId() && n.id() == r.id) target = &n;
      });
      if (!target) {
        // A lazy stack makes the row first; the request waits for the frame that lays it out.
        if (!r.waitedForRow && makeRowForScrollRequest(*within, r.id)) {
          r.waitedForRow = true;
          scrollRequests.push_back(r);
        }
        continue;
      }
      Rect rect = target->frame();
      for (Node* a = target->parent(); a && a != within->parent(); a = a->parent()) {
        if (a->primitive()) a->primitive()->scrollToReveal(*a, rect, r.anchor);
        const Point t = translationOf(*a);
        rect = rect.offsetBy(t.x + a->frame().x, t.y + a->frame().y);
      }
    }
  }

  // The node handling a key first: the focused one, or with nothing focused the innermost
  // node of the root's single-child chain.
  std::vector<Node*> keyChain() { return keyChain(focusedNode()); }
  // The same from `focused`, found already (finding it walks the tree).
  std::vector<Node*> keyChain(Node* focused) {
    std::vector<Node*> chain;
    Node* start = focused;
    if (start) {
      // The focused view's own content first (a control under `.focusable`).
      std::vector<Node*> inner;
      for (Node* n = start->child(0); n; n = n->child(0)) {
        inner.push_back(n);
        if (n->primitive() && !n->primitive()->passesTraits()) break;
      }
      for (Node* n : inner) chain.push_back(n);
    } else if (root) {
      start = root.get();
      while (start->children().size() == 1) start = start->child(0);
    }
    for (Node* n = start; n; n = n->parent()) chain.push_back(n);
    return chain;
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
  foundation::assertMainThread();
  Impl& d = *impl_;
  if (!force && !d.needsFrame && !d.rootChanged) return 0;
  d.needsFrame = true;  // state written while the frame runs needs no extra request
  ++d.frame;
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
  d.applyFocusBindings();
  d.applyScrollRequests();
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
std::uint64_t ViewHost::frameCount() const {
  return impl_->frame;
}
Size ViewHost::rootSize() const {
  return impl_->root ? impl_->root->size() : Size{};
}

Size ViewHost::sizeThatFits(ProposedSize proposal) const {
  Impl& d = *impl_;
  if (!d.root) return {};
  const Size size = d.root->measure(proposal);
  if (proposal == d.proposal) return size;
  // Measuring may lay children out at other proposals (stacks aligned by text guides):
  // put the frame back as it was.
  d.root->invalidateLayout();
  d.root->layout(d.proposal);
  d.root->setOrigin({0, 0});
  d.root->collectPreferences();
  return size;
}

DisplayList ViewHost::render(std::optional<Rect> visible) const {
  DisplayList list;
  if (!impl_->root) return list;
  list.reserve(impl_->renderedItems);
  if (!visible) {
    const Size root = impl_->root->size();
    visible = Rect{0, 0, impl_->proposal.width.value_or(root.width),
                   impl_->proposal.height.value_or(root.height)};
  }
  RenderContext context{list, {0, 0}, impl_->root->environment().get<ColorSchemeKey>(), visible};
  impl_->root->primitive()->render(*impl_->root, context);
  impl_->renderedItems = list.items().size();
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
      const auto& view = n.view();
      out << demangled(typeid(view));
    }
    out << " (" << fmt(r.x) << ", " << fmt(r.y) << ", " << fmt(r.width) << ", " << fmt(r.height)
        << ")";
    if (n.primitive()) {
      const std::string extra = n.primitive()->describe(n);
      if (!extra.empty()) out << " " << extra;
    }
    out << "\n";
    const Point t = translationOf(n);
    for (const auto& c : n.children())
      if (shows(n, *c)) visit(*c, depth + 1, {r.x + t.x, r.y + t.y});
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
        if (!found && l && l->traits.label) found = l->traits.label;
      });
    });
  return found;
}

AccessibleElement ViewHost::accessibleRoot() const {
  return impl_->root ? AccessibleElement::rootOf(*impl_->root) : AccessibleElement{};
}

AccessibleElement ViewHost::focusedAccessibleElement() const {
  Node* focused = impl_->focusedNode();
  return focused ? accessibleElementAt(*focused) : AccessibleElement{};
}

void ViewHost::setAccessibilityFocusHandler(std::function<void()> handler) {
  impl_->accessibilityFocusHandler = std::move(handler);
}

std::string ViewHost::accessibilityDump() const {
  std::ostringstream out;
  std::function<void(const AccessibleElement&, int)> visit = [&](const AccessibleElement& e,
                                                                 int depth) {
    const AccessibilityDescription d = e.describe();
    out << std::string(depth * 2, ' ') << roleName(d.role);
    if (!d.name.empty()) out << " \"" << d.name << "\"";
    if (!d.value.empty()) out << " value=\"" << d.value << "\"";
    if (d.headingLevel) out << " level=" << d.headingLevel;
    if (d.checked) out << (*d.checked ? " checked" : " unchecked");
    if (d.selected && *d.selected) out << " selected";
    if (d.focused) out << " focused";
    if (!d.enabled) out << " disabled";
    if (d.hasText) {
      std::string t = e.text();
      if (t.size() > 40) t = t.substr(0, 37) + "...";
      out << " text=\"" << t << "\"";
    }
    out << "\n";
    for (const auto& c : e.children()) visit(c, depth + 1);
  };
  for (const auto& c : accessibleRoot().children()) visit(c, 0);
  return out.str();
}

namespace {
PointerEvent localized(const PointerEvent& e, const Rect& frame) {
  PointerEvent local = e;
  local.location = {e.location.x - frame.x, e.location.y - frame.y};
  return local;
}
}  // namespace

bool ViewHost::pointerPressed(const PointerEvent& event) {
  Impl& d = *impl_;
  if (!d.root) return false;
  const Point p = event.location;
  if (Node* bar = visitHits(*d.root, p, [](Node& n, Point local) {
        return n.primitive() && n.primitive()->takesPointerInFront(n, local);
      })) {
    d.pressed = bar->handle();
    d.watcher.reset();
    d.watcherTookOver = false;
    bar->primitive()->pointer(*bar, PointerPhase::pressed, localized(event, windowFrame(*bar)),
                              true);
    return true;
  }
  Node* focusable =
      hitTest(*d.root, p, [](const Node& n) { return Impl::focusIdOf(n).has_value(); });
  if (focusable) d.setFocus(focusable);
  Node* target = hitTest(*d.root, p, [](const Node& n) { return n.primitive()->takesPointer(n); });
  if (Node* owner = d.alive(d.selectionOwner); owner && owner != target) {
    owner->primitive()->clearSelection(*owner);
    d.selectionOwner.reset();
  }
  d.pressed = target ? target->handle() : std::weak_ptr<NodeHandle>{};
  Node* watcher =
      hitTest(*d.root, p, [](const Node& n) { return n.primitive()->watchesPointer(n); });
  d.watcher = watcher ? watcher->handle() : std::weak_ptr<NodeHandle>{};
  d.watcherTookOver = false;
  if (watcher)
    watcher->primitive()->watchPointer(*watcher, PointerPhase::pressed,
                                       localized(event, windowFrame(*watcher)), true);
  if (target)
    target->primitive()->pointer(*target, PointerPhase::pressed,
                                 localized(event, windowFrame(*target)), true);
  return target || focusable || watcher;
}

void ViewHost::pointerMoved(const PointerEvent& event) {
  Impl& d = *impl_;
  if (!d.root) return;
  const Point p = event.location;
  if (Node* w = d.alive(d.watcher)) {
    const Rect r = windowFrame(*w);
    const bool takes =
        w->primitive()->watchPointer(*w, PointerPhase::moved, localized(event, r), r.contains(p));
    if (takes && !d.watcherTookOver) {
      d.watcherTookOver = true;
      if (Node* n = d.alive(d.pressed)) {
        d.pressed.reset();
        n->primitive()->pointer(*n, PointerPhase::cancelled, localized(event, windowFrame(*n)),
                                false);
      }
    }
  }
  if (Node* n = d.alive(d.pressed)) {
    const Rect r = windowFrame(*n);
    n->primitive()->pointer(*n, PointerPhase::moved, localized(event, r), r.contains(p));
  }
  std::vector<Node*> now;
  visitHits(*d.root, p, [&](Node& n, Point) {
    if (n.primitive() && n.primitive()->takesHover(n)) now.push_back(&n);
    return false;
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

void ViewHost::pointerLeft() {
  Impl& d = *impl_;
  auto hovered = std::exchange(d.hovered, {});
  for (const auto& h : hovered)
    if (Node* n = d.alive(h)) n->primitive()->hover(*n, false);
}

void ViewHost::pointerReleased(const PointerEvent& event) {
  Impl& d = *impl_;
  if (Node* focused = d.focusedNode())
    for (Node* n : d.keyChain(focused))
      if (n->primitive())
        n->primitive()->pointerReleasedWhileFocused(*n, localized(event, windowFrame(*n)));
  if (Node* w = d.alive(d.watcher)) {
    d.watcher.reset();
    const Rect r = windowFrame(*w);
    w->primitive()->watchPointer(*w, PointerPhase::released, localized(event, r),
                                 r.contains(event.location));
  }
  Node* n = d.alive(d.pressed);
  d.pressed.reset();
  if (!n) return;
  const Rect r = windowFrame(*n);
  n->primitive()->pointer(*n, PointerPhase::released, localized(event, r),
                          r.contains(event.location));
}

bool ViewHost::scrolled(Point p, double dx, double dy) {
  Impl& d = *impl_;
  if (!d.root) return false;
  Node* n = hitTest(*d.root, p, [](const Node& m) { return m.primitive()->takesScroll(m); });
  for (; n; n = n->parent())
    if (n->primitive() && n->primitive()->takesScroll(*n) && n->primitive()->scroll(*n, dx, dy))
      return true;
  return false;
}

CursorShape ViewHost::cursorAt(Point p) const {
  std::optional<CursorShape> shape;
  if (impl_->root)
    visitHits(*impl_->root, p, [&](Node& n, Point local) {
      if (n.primitive()) shape = n.primitive()->cursor(n, local);
      return shape.has_value();
    });
  return shape.value_or(CursorShape::arrow);
}

bool ViewHost::keyPressed(const KeyEvent& event) {
  Impl& d = *impl_;
  if (Node* w = d.alive(d.watcher); w && d.watcherTookOver && event.key == Key::escape) {
    d.watcher.reset();
    w->primitive()->watchPointer(*w, PointerPhase::cancelled, PointerEvent{}, false);
    return true;
  }
  for (Node* n : d.keyChain())
    if (n->primitive() && n->primitive()->key(*n, event)) return true;
  if (event.key == Key::tab && !event.modifiers.control && !event.modifiers.alt)
    return event.modifiers.shift ? focusPrevious() : focusNext();
  if (event.isControl('c')) {
    Node* f = d.focusedNode();
    if (f && f->primitive()->hostedWidget(*f)) return false;  // the widget copies its own
    if (auto text = selectedText(); text && d.copyHandler) {
      d.copyHandler(*text);
      return true;
    }
  }
  return false;
}

bool ViewHost::textInput(const TextInputEvent& event) {
  for (Node* n : impl_->keyChain())
    if (n->primitive() && n->primitive()->textInput(*n, event)) return true;
  return false;
}

std::optional<Identity> ViewHost::focusedId() const {
  return impl_->focusedNode() ? impl_->focused : std::nullopt;
}

bool ViewHost::focus(const Identity& id) {
  Node* n = impl_->nodeWithFocusId(id);
  if (!n) return false;
  impl_->setFocus(n);
  return true;
}

void ViewHost::clearFocus() {
  impl_->setFocus(nullptr);
}

bool ViewHost::focusNext() {
  auto all = impl_->focusables();
  if (all.empty()) return false;
  auto it = std::find(all.begin(), all.end(), impl_->focusedNode());
  impl_->setFocus((it == all.end() || it + 1 == all.end()) ? all.front() : *(it + 1),
                  FocusMove::forward);
  return true;
}

bool ViewHost::focusPrevious() {
  auto all = impl_->focusables();
  if (all.empty()) return false;
  auto it = std::find(all.begin(), all.end(), impl_->focusedNode());
  impl_->setFocus((it == all.end() || it == all.begin()) ? all.back() : *(it - 1),
                  FocusMove::backward);
  return true;
}

void ViewHost::setWidgetFactory(std::shared_ptr<WidgetFactory> factory) {
  impl_->factory = std::move(factory);
}

void ViewHost::setCopyHandler(std::function<void(const std::string&)> handler) {
  impl_->copyHandler = std::move(handler);
}

std::optional<std::string> ViewHost::selectedText() const {
  Node* owner = impl_->alive(impl_->selectionOwner);
  return owner ? owner->primitive()->selectedText(*owner) : std::nullopt;
}

ViewHost::Stats ViewHost::stats() const {
  return {impl_->bodiesEvaluated, impl_->nodesUpdated, impl_->nodesMeasured, impl_->nodesCreated};
}
void ViewHost::resetStats() {
  impl_->bodiesEvaluated = impl_->nodesUpdated = impl_->nodesMeasured = impl_->nodesCreated = 0;
}
std::size_t ViewHost::nodeCount() const {
  std::function<std::size_t(const Node&)> count = [&](const Node& n) {
    std::size_t sum = 1;
    for (const auto& c : n.children()) sum += count(*c);
    return sum;
  };
  return impl_->root ? count(*impl_->root) : 0;
}

}  // namespace ui
