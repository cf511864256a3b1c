#include <foundation/DispatchQueue.h>
#include <utility>

#include "tree/IdView.h"
#include "tree/Markers.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"
#include "ui/Task.h"
#include "ui/node/Modifier.h"

namespace ui {
namespace detail {
namespace {

std::optional<double> shrink(std::optional<double> v, double by) {
  if (!v) return std::nullopt;
  return std::max(0.0, *v - by);
}

class PaddingView final : public Modifier {
 public:
  PaddingView(AnyView content, EdgeInsets insets) : Modifier(std::move(content)), in_(insets) {}
  std::string name() const override { return "Padding"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::string describe(const Node&) const override {
    return "insets=" + fmt(in_.top) + "," + fmt(in_.leading) + "," + fmt(in_.bottom) + "," +
           fmt(in_.trailing);
  }
  ProposedSize inner(ProposedSize p) const {
    return {shrink(p.width, in_.leading + in_.trailing), shrink(p.height, in_.top + in_.bottom)};
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    Size s = node.child(0) ? node.child(0)->measure(inner(p)) : Size{};
    return {s.width + in_.leading + in_.trailing, s.height + in_.top + in_.bottom};
  }
  void placeChildren(Node& node, Size, ProposedSize p) const override {
    if (auto* c = node.child(0)) {
      c->setOrigin({in_.leading, in_.top});
      c->layout(inner(p));
    }
  }
  double guide(const Node& node, VAlign g) const override {
    if (auto* c = node.child(0)) return c->frame().y + c->guide(g);
    return in_.top;
  }

 private:
  EdgeInsets in_;
};

class FixedFrameView final : public Modifier {
 public:
  FixedFrameView(AnyView content, std::optional<double> w, std::optional<double> h, Alignment a)
      : Modifier(std::move(content)), w_(w), h_(h), a_(a) {}
  std::string name() const override { return "Frame"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::string describe(const Node&) const override {
    return "width=" + (w_ ? fmt(*w_) : "nil") + " height=" + (h_ ? fmt(*h_) : "nil");
  }
  ProposedSize inner(ProposedSize p) const { return {w_ ? w_ : p.width, h_ ? h_ : p.height}; }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    Size s = node.child(0) ? node.child(0)->measure(inner(p)) : Size{};
    return {w_.value_or(s.width), h_.value_or(s.height)};
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    if (auto* c = node.child(0)) {
      placeAligned(*c, size, inner(p), a_);
    }
  }

 private:
  std::optional<double> w_, h_;
  Alignment a_;
};

class FlexFrameView final : public Modifier {
 public:
  FlexFrameView(AnyView content, FrameBounds b, Alignment a)
      : Modifier(std::move(content)), b_(b), a_(a) {}
  std::string name() const override { return "FlexFrame"; }
  // Height bounds resolve against the proposed height.
  bool ignoresProposedHeight(const Node& node) const override {
    return !b_.minHeight && !b_.idealHeight && !b_.maxHeight && contentIgnoresProposedHeight(node);
  }

  static std::optional<double> clampProposal(std::optional<double> p, std::optional<double> ideal,
                                             std::optional<double> lo, std::optional<double> hi) {
    if (!p) return ideal;
    double v = *p;
    if (lo) v = std::max(v, *lo);
    if (hi) v = std::min(v, *hi);
    return v;
  }
  static double resolve(double child, std::optional<double> p, std::optional<double> ideal,
                        std::optional<double> lo, std::optional<double> hi) {
    if (!lo && !hi) {
      if (!p && ideal) return *ideal;
      return child;
    }
    double r = child;
    if (!p && ideal) r = *ideal;
    if (lo) r = std::max(*lo, std::min(r, p.value_or(kInfinity)));
    if (hi) r = std::min(*hi, std::max(r, p.value_or(-kInfinity)));
    if (lo) r = std::max(r, *lo);
    return r;
  }
  ProposedSize inner(ProposedSize p) const {
    return {clampProposal(p.width, b_.idealWidth, b_.minWidth, b_.maxWidth),
            clampProposal(p.height, b_.idealHeight, b_.minHeight, b_.maxHeight)};
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    Size s = node.child(0) ? node.child(0)->measure(inner(p)) : Size{};
    return {resolve(s.width, p.width, b_.idealWidth, b_.minWidth, b_.maxWidth),
            resolve(s.height, p.height, b_.idealHeight, b_.minHeight, b_.maxHeight)};
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    if (auto* c = node.child(0)) {
      placeAligned(*c, size, inner(p), a_);
    }
  }

 private:
  FrameBounds b_;
  Alignment a_;
};

class FixedSizeView final : public Modifier {
 public:
  FixedSizeView(AnyView content, bool h, bool v) : Modifier(std::move(content)), h_(h), v_(v) {}
  std::string name() const override { return "FixedSize"; }
  // Fixed vertically, the content is always proposed no height.
  bool ignoresProposedHeight(const Node& node) const override {
    return v_ || contentIgnoresProposedHeight(node);
  }
  ProposedSize inner(ProposedSize p) const {
    return {h_ ? std::nullopt : p.width, v_ ? std::nullopt : p.height};
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    return node.child(0) ? node.child(0)->measure(inner(p)) : Size{};
  }
  void placeChildren(Node& node, Size, ProposedSize p) const override {
    if (auto* c = node.child(0)) {
      c->layout(inner(p));
      c->setOrigin({0, 0});
    }
  }

 private:
  bool h_, v_;
};

class OffsetView final : public Modifier {
 public:
  OffsetView(AnyView content, double x, double y) : Modifier(std::move(content)), x_(x), y_(y) {}
  std::string name() const override { return "Offset"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::string describe(const Node&) const override { return "by=" + fmt(x_) + "," + fmt(y_); }
  Point childTranslation(const Node&) const override { return {x_, y_}; }

 private:
  double x_, y_;
};

class LayerView final : public Primitive {
 public:
  LayerView(AnyView primary, AnyView secondary, Alignment a, bool overlay)
      : primary_(std::move(primary)), secondary_(std::move(secondary)), a_(a), overlay_(overlay) {}
  std::string name() const override { return overlay_ ? "Overlay" : "Background"; }
  // The secondary is proposed the primary's size.
  bool ignoresProposedHeight(const Node& node) const override {
    const Node* p = primary(node);
    return !p || p->ignoresProposedHeight();
  }
  bool passesTraits() const override { return true; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    std::vector<ChildSpec> out;
    auto p = childSpec(primary_, Identity(0));
    auto s = childSpec(secondary_, Identity(1));
    if (p.view) out.push_back(std::move(p));
    if (s.view) {
      // Keep the secondary distinct from the primary whatever ids they carry.
      s.id = Identity::pair(Identity("layer"), s.id);
      out.push_back(std::move(s));
    }
    return out;
  }
  Node* primary(const Node& node) const { return primary_ ? node.child(0) : nullptr; }
  Node* secondary(const Node& node) const {
    return secondary_ ? node.child(primary_ ? 1 : 0) : nullptr;
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    auto* c = primary(node);
    return c ? c->measure(p) : Size{};
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    if (auto* c = primary(node)) {
      c->layout(p);
      c->setOrigin({0, 0});
    }
    if (auto* s = secondary(node)) {
      placeAligned(*s, size, ProposedSize::of(size), a_);
    }
  }
  double guide(const Node& node, VAlign g) const override {
    if (auto* c = primary(node)) return c->frame().y + c->guide(g);
    return Primitive::guide(node, g);
  }
  std::vector<const Node*> paintOrder(const Node& node) const override {
    std::vector<const Node*> order;
    const Node* p = primary(node);
    const Node* s = secondary(node);
    if (!overlay_ && s) order.push_back(s);
    if (p) order.push_back(p);
    if (overlay_ && s) order.push_back(s);
    return order;
  }

 private:
  AnyView primary_, secondary_;
  Alignment a_;
  bool overlay_;
};

class ClipView final : public Modifier {
 public:
  ClipView(AnyView content, Shape shape) : Modifier(std::move(content)), shape_(std::move(shape)) {}
  std::string name() const override { return "Clip"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::optional<Path> childClip(const Node& node) const override {
    return shape_.path(Rect{0, 0, node.size().width, node.size().height});
  }

 private:
  Shape shape_;
};

class PriorityView final : public Modifier {
 public:
  PriorityView(AnyView content, double p) : Modifier(std::move(content)), p_(p) {}
  std::string name() const override { return "LayoutPriority"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::optional<double> priority() const override { return p_; }

 private:
  double p_;
};

class OpacityView final : public Modifier {
 public:
  OpacityView(AnyView content, double o) : Modifier(std::move(content)), o_(o) {}
  std::string name() const override { return "Opacity"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  // What cannot be seen is not read either.
  AccessibilityTraits accessibilityTraits(const Node&) const override {
    return {.hidden = o_ <= 0};
  }
  void render(const Node& node, RenderContext& context) const override {
    context.list.add(DisplayItem::PushOpacity{o_});
    renderChildren(node, context);
    context.list.add(DisplayItem::PopOpacity{});
  }

 private:
  double o_;
};

class EnvironmentModifierView final : public Modifier {
 public:
  EnvironmentModifierView(AnyView content, std::function<Environment(const Environment&)> f)
      : Modifier(std::move(content)), f_(std::move(f)) {}
  std::string name() const override { return "Environment"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  Environment childEnvironment(const Environment& env) const override { return f_(env); }
  // Colours resolve in the scheme the content is given, not the window's: a dark panel keeps
  // its light text on a light desktop.
  void render(const Node& node, RenderContext& context) const override {
    const Node* content = node.child(0);
    const ColorScheme scheme =
        content ? content->environment().get<ColorSchemeKey>() : context.scheme;
    const ColorScheme outer = std::exchange(context.scheme, scheme);
    renderChildren(node, context);
    context.scheme = outer;
  }

 private:
  std::function<Environment(const Environment&)> f_;
};

class PreferenceTransformView final : public Modifier {
 public:
  PreferenceTransformView(AnyView content, std::function<void(PreferenceValues&, const Anchor&)> f)
      : Modifier(std::move(content)), f_(std::move(f)) {}
  std::string name() const override { return "Preference"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  void transformPreferences(Node& node, PreferenceValues& values) const override {
    f_(values, Anchor(node.handle(), Rect{0, 0, node.size().width, node.size().height}));
  }

 private:
  std::function<void(PreferenceValues&, const Anchor&)> f_;
};

using Erased = std::shared_ptr<const void>;

class PreferenceChangeView final : public Modifier {
 public:
  PreferenceChangeView(AnyView content, std::function<Erased(const PreferenceValues&)> select,
                       std::function<bool(const Erased&, const Erased&)> same,
                       std::function<void(const Erased&)> action)
      : Modifier(std::move(content)),
        select_(std::move(select)),
        same_(std::move(same)),
        action_(std::move(action)) {}
  std::string name() const override { return "OnPreferenceChange"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  struct Last {
    Erased value;
  };
  void preferencesCollected(Node& node, const PreferenceValues& values) const override {
    Erased now = select_(values);
    auto& last = node.local<Last>();
    if (last.value && same_(last.value, now)) return;
    last.value = now;
    action_(now);
  }

 private:
  std::function<Erased(const PreferenceValues&)> select_;
  std::function<bool(const Erased&, const Erased&)> same_;
  std::function<void(const Erased&)> action_;
};

// Secondary content made from the primary's combined preferences, rebuilt during layout
// whenever they change, so the reader sees this pass's values.
class PreferenceLayerView final : public Primitive {
 public:
  PreferenceLayerView(AnyView primary, std::function<AnyView(const PreferenceValues&)> content,
                      Alignment a, bool overlay)
      : primary_(std::move(primary)), content_(std::move(content)), a_(a), overlay_(overlay) {}
  std::string name() const override {
    return overlay_ ? "OverlayPreferenceValue" : "BackgroundPreferenceValue";
  }
  // The secondary is proposed the primary's size.
  bool ignoresProposedHeight(const Node& node) const override {
    return !node.child(0) || node.child(0)->ignoresProposedHeight();
  }
  bool passesTraits() const override { return true; }
  struct Seen {
    PreferenceValues values;
    bool built = false;
  };
  ChildSpec secondarySpec(const PreferenceValues& values) const {
    auto spec = childSpec(content_(values), Identity(1));
    spec.id = Identity::pair(Identity("layer"), spec.id);
    return spec;
  }
  std::vector<ChildSpec> children(Node& node, const Environment&) const override {
    std::vector<ChildSpec> out;
    auto p = childSpec(primary_, Identity(0));
    out.push_back(p.view ? std::move(p) : ChildSpec{Identity(0), std::make_shared<EmptyLeaf>()});
    auto& seen = node.local<Seen>();
    auto s = secondarySpec(seen.values);
    if (s.view) out.push_back(std::move(s));
    seen.built = true;
    return out;
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    return node.child(0) ? node.child(0)->measure(p) : Size{};
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    Node* primary = node.child(0);
    if (!primary) return;
    primary->layout(p);
    primary->setOrigin({0, 0});
    auto& seen = node.local<Seen>();
    const PreferenceValues& now = primary->collectPreferences();
    if (!(now == seen.values)) {
      seen.values = now;
      auto spec = secondarySpec(now);
      Node* saved = node.host().layoutBarrier;
      node.host().layoutBarrier = &node;
      if (spec.view)
        node.rebuildChild(1, std::move(spec), node.environment());
      else if (node.child(1))
        node.rebuildChild(1, ChildSpec{}, node.environment());
      node.host().layoutBarrier = saved;
    }
    if (auto* s = node.child(1)) {
      placeAligned(*s, size, ProposedSize::of(size), a_);
    }
  }
  void transformPreferences(Node& node, PreferenceValues& values) const override {
    // Only the primary's values travel on; the reader's content is not part of the subtree.
    values = node.child(0) ? node.child(0)->collectPreferences() : PreferenceValues{};
  }
  double guide(const Node& node, VAlign g) const override {
    if (auto* c = node.child(0)) return c->frame().y + c->guide(g);
    return Primitive::guide(node, g);
  }
  std::vector<const Node*> paintOrder(const Node& node) const override {
    std::vector<const Node*> order;
    if (!overlay_ && node.child(1)) order.push_back(node.child(1));
    if (node.child(0)) order.push_back(node.child(0));
    if (overlay_ && node.child(1)) order.push_back(node.child(1));
    return order;
  }

 private:
  AnyView primary_;
  std::function<AnyView(const PreferenceValues&)> content_;
  Alignment a_;
  bool overlay_;
};

class LifecycleView final : public Modifier {
 public:
  LifecycleView(AnyView content, std::function<void()> appear, std::function<void()> disappear)
      : Modifier(std::move(content)),
        appear_(std::move(appear)),
        disappear_(std::move(disappear)) {}
  std::string name() const override { return "Lifecycle"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  void appeared(Node& node) const override {
    if (node.appeared) return;
    node.appeared = true;
    if (appear_) appear_();
  }
  void disappeared(Node&) const override {
    if (disappear_) disappear_();
  }

 private:
  std::function<void()> appear_, disappear_;
};

class TaskView final : public Modifier {
 public:
  TaskView(AnyView content, std::optional<Identity> id, std::function<void(TaskContext&)> work)
      : Modifier(std::move(content)), id_(std::move(id)), work_(std::move(work)) {}
  std::string name() const override { return "Task"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  struct Running {
    std::shared_ptr<std::atomic<bool>> token;
    std::optional<Identity> id;
  };
  void appeared(Node& node) const override {
    node.appeared = true;
    auto& running = node.local<Running>();
    if (running.token && running.id == id_) return;
    if (running.token) running.token->store(true);
    running.token = std::make_shared<std::atomic<bool>>(false);
    running.id = id_;
    TaskContext context(running.token);
    work_(context);
  }
  void didUpdate(Node& node) const override {
    auto* running = node.localIfAny<Running>();
    if (running && running->token && !(running->id == id_)) node.host().nodeAppeared(node);
  }
  void disappeared(Node& node) const override {
    auto& running = node.local<Running>();
    if (running.token) running.token->store(true);
    running.token.reset();
  }

 private:
  std::optional<Identity> id_;
  std::function<void(TaskContext&)> work_;
};

class TapView final : public Modifier {
 public:
  TapView(AnyView content, int count, std::function<void()> action)
      : Modifier(std::move(content)), count_(count), action_(std::move(action)) {}
  std::string name() const override { return "TapGesture"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  bool takesPointer(const Node& node) const override {
    return node.environment().get<IsEnabledKey>();
  }
  struct Press {
    int clicks = 0;
  };
  // What takes a click is a button unless it says otherwise; a double click is no press.
  AccessibilityTraits accessibilityTraits(const Node& node) const override {
    if (count_ > 1) return {};
    return {.role = AccessibilityRole::button,
            .actionable = node.environment().get<IsEnabledKey>()};
  }
  bool accessibilityPerform(Node& node) const override {
    if (count_ > 1 || !action_ || !node.environment().get<IsEnabledKey>()) return false;
    action_();
    return true;
  }
  void pointer(Node& node, PointerPhase phase, const PointerEvent& event,
               bool inside) const override {
    if (phase == PointerPhase::pressed) node.local<Press>().clicks = event.clickCount;
    // Stacked tap gestures on one view (single and double) all see the press; a single tap
    // fires on each press of a double-click, before the double tap.
    if (count_ > 1) forward(node, phase, event, inside);
    if (phase == PointerPhase::released && inside && action_ &&
        (count_ <= 1 || node.local<Press>().clicks == count_))
      action_();
    if (count_ <= 1) forward(node, phase, event, inside);
  }
  static void forward(Node& node, PointerPhase phase, const PointerEvent& event, bool inside) {
    for (Node* p = node.parent(); p && p->primitive() && p->primitive()->passesTraits();
         p = p->parent()) {
      if (dynamic_cast<const TapView*>(p->primitive())) {
        p->primitive()->pointer(*p, phase, event, inside);
        return;
      }
    }
  }

 private:
  int count_;
  std::function<void()> action_;
};

class HoverView final : public Modifier {
 public:
  HoverView(AnyView content, std::function<void(bool)> action)
      : Modifier(std::move(content)), action_(std::move(action)) {}
  std::string name() const override { return "Hover"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  bool takesHover(const Node&) const override { return true; }
  void hover(Node&, bool inside) const override {
    if (action_) action_(inside);
  }

 private:
  std::function<void(bool)> action_;
};

class FocusView final : public Modifier {
 public:
  FocusView(AnyView content, Identity id) : Modifier(std::move(content)), id_(std::move(id)) {}
  std::string name() const override { return "Focusable"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::optional<Identity> focusId(const Node& node) const override {
    if (!node.environment().get<IsEnabledKey>()) return std::nullopt;
    return id_;
  }
  struct Focus {
    bool focused = false;
  };
  void focusChanged(Node& node, bool focused) const override {
    node.local<Focus>().focused = focused;
    node.invalidateInk();
  }
  static bool focused(const Node& node) {
    auto* f = node.localIfAny<Focus>();
    return f && f->focused;
  }
  std::string describe(const Node& node) const override { return focused(node) ? "focused" : ""; }
  // A painted control shows its focus with a ring; a hosted widget draws its own.
  bool ringed(const Node& node) const {
    return focused(node) && !(node.child(0) && node.child(0)->primitive() &&
                              node.child(0)->primitive()->hostedWidget(*node.child(0)));
  }
  std::optional<Rect> ownInk(const Node& node) const override {
    if (!ringed(node)) return std::nullopt;
    const double out = kFocusRingOutset + kFocusRingWidth;
    return Rect{-out, -out, node.size().width + 2 * out, node.size().height + 2 * out};
  }
  void render(const Node& node, RenderContext& context) const override {
    renderChildren(node, context);
    if (!ringed(node)) return;
    const double inset = -(kFocusRingOutset + kFocusRingWidth / 2);
    const Rect ring = windowRect(node, context).insetBy(inset, inset);
    StrokeStyle style;
    style.lineWidth = kFocusRingWidth;
    context.list.add(
        DisplayItem::StrokePath{Path::roundedRect(ring, kButtonCornerRadius + kFocusRingOutset),
                                Color::accent().resolve(context.scheme), style});
  }

 private:
  Identity id_;
};

class ConditionalView final : public Primitive {
 public:
  ConditionalView(bool c, AnyView then, AnyView otherwise)
      : c_(c), then_(std::move(then)), else_(std::move(otherwise)) {}
  std::string name() const override { return "If"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return childrenIgnoreProposedHeight(node);
  }
  bool passesTraits() const override { return true; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    auto spec = childSpec(c_ ? then_ : else_, Identity(0));
    if (!spec.view) return {};
    spec.id = Identity::pair(Identity(c_ ? 1 : 0), spec.id);
    return {std::move(spec)};
  }
  void placeChildren(Node& node, Size, ProposedSize p) const override {
    if (auto* c = node.child(0)) {
      c->layout(p);
      c->setOrigin({0, 0});
    }
  }

 private:
  bool c_;
  AnyView then_, else_;
};

class ClosureView final : public View {
 public:
  explicit ClosureView(std::function<AnyView(BuildContext&)> body) : body_(std::move(body)) {}
  AnyView body(BuildContext& context) const override { return body_(context); }

 private:
  std::function<AnyView(BuildContext&)> body_;
};

class EnvironmentReaderView final : public View {
 public:
  explicit EnvironmentReaderView(std::function<AnyView(const Environment&)> body)
      : body_(std::move(body)) {}
  AnyView body(BuildContext& context) const override { return body_(context.environment()); }

 private:
  std::function<AnyView(const Environment&)> body_;
};

}  // namespace

AccessibilityView::AccessibilityView(AnyView content, AccessibilityTraits traits,
                                     std::optional<std::string> identifier)
    : Modifier(std::move(content)), traits(std::move(traits)), identifier(std::move(identifier)) {}
std::string AccessibilityView::describe(const Node&) const {
  std::string out;
  auto add = [&](const std::string& part) { out += (out.empty() ? "" : " ") + part; };
  if (identifier) add("id=" + *identifier);
  if (traits.label) add("label=\"" + *traits.label + "\"");
  if (traits.role) add("role=" + roleName(*traits.role));
  if (traits.hidden) add("hidden");
  return out;
}

GridColumnAlignmentView::GridColumnAlignmentView(AnyView content, HAlign a)
    : Modifier(std::move(content)), alignment(a) {}

FocusBindingView::FocusBindingView(AnyView content, Binding<std::optional<Identity>> binding,
                                   Identity equals)
    : Modifier(std::move(content)), binding(std::move(binding)), equals(std::move(equals)) {}

KeyPressView::KeyPressView(AnyView content, std::function<bool(const KeyEvent&)> handler)
    : Modifier(std::move(content)), handler_(std::move(handler)) {}

PointerReleaseView::PointerReleaseView(AnyView content,
                                       std::function<void(const PointerEvent&, Size)> handler)
    : Modifier(std::move(content)), handler_(std::move(handler)) {}

DisabledView::DisabledView(AnyView content, bool disabled)
    : Modifier(std::move(content)), disabled_(disabled) {}
Environment DisabledView::childEnvironment(const Environment& env) const {
  return disabled_ ? env.with<IsEnabledKey>(false) : env;
}

}  // namespace detail

using namespace detail;

namespace {
template <class V, class... Args>
AnyView make(Args&&... args) {
  return AnyView(
      std::shared_ptr<const View>(std::make_shared<const V>(std::forward<Args>(args)...)));
}
}  // namespace

AnyView EmptyView() {
  return {};
}
AnyView If(bool condition, AnyView then, AnyView otherwise) {
  return make<ConditionalView>(condition, std::move(then), std::move(otherwise));
}
AnyView ViewBuilder(std::function<AnyView(BuildContext&)> body) {
  return make<ClosureView>(std::move(body));
}
AnyView EnvironmentReader(std::function<AnyView(const Environment&)> body) {
  return make<EnvironmentReaderView>(std::move(body));
}

AnyView AnyView::padding(std::optional<double> length) const {
  return padding(EdgeSet::all(), length);
}
AnyView AnyView::padding(EdgeSet edges, std::optional<double> length) const {
  const double l = length.value_or(kDefaultPadding);
  return padding(
      EdgeInsets{edges.contains(Edge::top) ? l : 0, edges.contains(Edge::leading) ? l : 0,
                 edges.contains(Edge::bottom) ? l : 0, edges.contains(Edge::trailing) ? l : 0});
}
AnyView AnyView::padding(EdgeInsets insets) const {
  return make<PaddingView>(*this, insets);
}
AnyView AnyView::frame(std::optional<double> width, std::optional<double> height,
                       Alignment alignment) const {
  return make<FixedFrameView>(*this, width, height, alignment);
}
AnyView AnyView::frame(FrameBounds bounds, Alignment alignment) const {
  return make<FlexFrameView>(*this, bounds, alignment);
}
AnyView AnyView::fixedSize(bool horizontal, bool vertical) const {
  return make<FixedSizeView>(*this, horizontal, vertical);
}
AnyView AnyView::offset(double x, double y) const {
  return make<OffsetView>(*this, x, y);
}
AnyView AnyView::overlay(AnyView content, Alignment alignment) const {
  return make<LayerView>(*this, std::move(content), alignment, true);
}
AnyView AnyView::background(AnyView content, Alignment alignment) const {
  return make<LayerView>(*this, std::move(content), alignment, false);
}
AnyView AnyView::background(const std::optional<Color>& color) const {
  if (!color) return *this;
  return background(ColorView(*color));
}
AnyView AnyView::clipShape(const Shape& shape) const {
  return make<ClipView>(*this, shape);
}
AnyView AnyView::clipped() const {
  return clipShape(Rectangle());
}
AnyView AnyView::layoutPriority(double priority) const {
  return make<PriorityView>(*this, priority);
}
AnyView AnyView::gridColumnAlignment(HAlign alignment) const {
  return make<GridColumnAlignmentView>(*this, alignment);
}
AnyView AnyView::opacity(double value) const {
  return make<OpacityView>(*this, value);
}
AnyView AnyView::id(Identity identity) const {
  return AnyView(
      std::shared_ptr<const View>(std::make_shared<const IdView>(std::move(identity), *this)));
}

AnyView AnyView::transformEnvironmentWith(
    std::function<Environment(const Environment&)> change) const {
  return make<EnvironmentModifierView>(*this, std::move(change));
}
AnyView AnyView::font(const std::optional<Font>& font) const {
  if (!font) return *this;
  return environment<FontKey>(font);
}
AnyView AnyView::foregroundColor(const std::optional<Color>& color) const {
  if (!color) return *this;
  return environment<ForegroundColorKey>(color);
}
AnyView AnyView::foregroundStyle(const Color& primary,
                                 const std::optional<Color>& secondary) const {
  return transformEnvironmentWith([primary, secondary](const Environment& e) {
    return e.with<ForegroundColorKey>(primary).with<SecondaryForegroundColorKey>(secondary);
  });
}
AnyView AnyView::tint(const Color& color) const {
  return environment<TintKey>(color);
}
AnyView AnyView::lineSpacing(double spacing) const {
  return environment<LineSpacingKey>(spacing);
}
AnyView AnyView::multilineTextAlignment(TextAlignment alignment) const {
  return environment<MultilineTextAlignmentKey>(alignment);
}
AnyView AnyView::labelStyle(LabelStyle style) const {
  return environment<LabelStyleKey>(style);
}
AnyView AnyView::buttonStyle(ButtonStyle style) const {
  return environment<ButtonStyleKey>(style);
}
AnyView AnyView::symbolRenderingMode(SymbolRenderingMode mode) const {
  return environment<SymbolRenderingModeKey>(mode);
}
AnyView AnyView::imageScale(ImageScale scale) const {
  return environment<ImageScaleKey>(scale);
}
AnyView AnyView::textSelection(TextSelectability selectability) const {
  return environment<TextSelectabilityKey>(selectability);
}

AnyView AnyView::transformPreferencesWith(
    std::function<void(PreferenceValues&, const Anchor&)> edit) const {
  return make<PreferenceTransformView>(*this, std::move(edit));
}
AnyView AnyView::onPreferencesChangeWith(
    std::function<ErasedValue(const PreferenceValues&)> select,
    std::function<bool(const ErasedValue&, const ErasedValue&)> same,
    std::function<void(const ErasedValue&)> action) const {
  return make<PreferenceChangeView>(*this, std::move(select), std::move(same), std::move(action));
}
AnyView AnyView::preferenceValueLayer(std::function<AnyView(const PreferenceValues&)> content,
                                      Alignment alignment, bool overlay) const {
  return make<PreferenceLayerView>(*this, std::move(content), alignment, overlay);
}

AnyView AnyView::onAppear(std::function<void()> action) const {
  return make<LifecycleView>(*this, std::move(action), nullptr);
}
AnyView AnyView::onDisappear(std::function<void()> action) const {
  return make<LifecycleView>(*this, nullptr, std::move(action));
}
AnyView AnyView::task(std::function<void(TaskContext&)> work) const {
  return make<TaskView>(*this, std::nullopt, std::move(work));
}
AnyView AnyView::task(Identity id, std::function<void(TaskContext&)> work) const {
  return make<TaskView>(*this, std::move(id), std::move(work));
}
AnyView AnyView::onTapGesture(std::function<void()> action) const {
  return make<TapView>(*this, 1, std::move(action));
}
AnyView AnyView::onTapGesture(int count, std::function<void()> action) const {
  return make<TapView>(*this, count, std::move(action));
}
AnyView AnyView::onHover(std::function<void(bool)> action) const {
  return make<HoverView>(*this, std::move(action));
}
AnyView AnyView::focusable(Identity focusId) const {
  return make<FocusView>(*this, std::move(focusId));
}
AnyView AnyView::focused(Binding<std::optional<Identity>> binding, Identity equals) const {
  return make<FocusBindingView>(*this, std::move(binding), std::move(equals));
}
AnyView AnyView::onKeyPress(std::function<bool(const KeyEvent&)> handler) const {
  return make<KeyPressView>(*this, std::move(handler));
}
AnyView AnyView::onPointerReleaseWhileFocused(
    std::function<void(const PointerEvent&, Size)> handler) const {
  return make<PointerReleaseView>(*this, std::move(handler));
}
AnyView AnyView::accessibilityLabel(std::string label) const {
  return accessibility({.label = std::move(label)});
}
AnyView AnyView::accessibilityIdentifier(std::string identifier) const {
  return make<AccessibilityView>(*this, AccessibilityTraits{}, std::move(identifier));
}
AnyView AnyView::accessibilityRole(AccessibilityRole role) const {
  return accessibility({.role = role});
}
AnyView AnyView::accessibilityHeading(int level) const {
  return accessibility({.role = AccessibilityRole::heading, .headingLevel = level});
}
AnyView AnyView::accessibilitySelected(bool selected) const {
  return accessibility({.selected = selected});
}
AnyView AnyView::accessibilityValue(std::string value) const {
  return accessibility({.value = std::move(value)});
}
AnyView AnyView::accessibilityText(std::function<std::string()> text) const {
  return accessibility({.role = AccessibilityRole::text, .text = std::move(text)});
}
AnyView AnyView::accessibilityAction(std::function<void()> action) const {
  return accessibility({.action = std::move(action), .actionable = true});
}
AnyView AnyView::accessibilityHidden(bool hidden) const {
  return hidden ? accessibility({.hidden = true}) : *this;
}
AnyView AnyView::accessibility(AccessibilityTraits traits) const {
  return make<AccessibilityView>(*this, std::move(traits), std::nullopt);
}
AnyView AnyView::disabled(bool isDisabled) const {
  return make<DisabledView>(*this, isDisabled);
}

void TaskContext::onMain(std::function<void()> work) const {
  foundation::DispatchQueue::main().async([cancelled = cancelled_, work = std::move(work)] {
    if (!cancelled->load()) work();
  });
}
std::function<void(std::function<void()>)> TaskContext::mainPoster() const {
  return [self = *this](std::function<void()> work) { self.onMain(std::move(work)); };
}

}  // namespace ui
