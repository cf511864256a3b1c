#pragma once

#include <string>
#include <vector>

#include "ui/DisplayList.h"
#include "ui/Input.h"
#include "ui/ViewHost.h"
#include "ui/node/Node.h"

namespace ui::detail {

// Where a primitive draws: the display list and the window position of its parent's origin.
// `visible`, when set, bounds what can be seen (in the coordinates items are drawn in, under
// the transforms in force): what lies wholly outside it may be left out.
struct RenderContext {
  DisplayList& list;
  Point origin;
  ColorScheme scheme = ColorScheme::light;
  std::optional<Rect> visible;

  // Whether `rect` (in the coordinates items are drawn in) can show.
  bool mayShow(const Rect& rect) const;
};

enum class PointerPhase { pressed, moved, released, cancelled };

// A view the layer lays out and draws itself. Primitives never have a body; they describe
// their children, lay them out, take part in preferences and draw.
class Primitive : public View {
 public:
  AnyView body(BuildContext&) const final { return {}; }

  virtual std::string name() const = 0;
  virtual std::string describe(const Node&) const { return {}; }

  virtual Environment childEnvironment(const Environment& env) const { return env; }
  virtual std::vector<ChildSpec> children(Node&, const Environment&) const { return {}; }
  virtual void didUpdate(Node&) const {}

  // Default: the size of the only child (zero without one).
  virtual Size sizeThatFits(Node& node, ProposedSize proposal) const;
  // Default: each child laid out at exactly this size at the origin.
  virtual void placeChildren(Node& node, Size size, ProposedSize proposal) const;
  // Default: the first child's guide; without children the bottom (baseline) or centre.
  virtual double guide(const Node& node, VAlign guide) const;
  virtual std::optional<double> priority() const { return std::nullopt; }
  virtual std::optional<Axis> stackAxis() const { return std::nullopt; }
  // A spacer takes only what the other children of its stack leave.
  virtual bool isSpacer() const { return false; }
  // Single-content modifiers: traits (priority, the enclosing stack) pass through them.
  virtual bool passesTraits() const { return false; }
  // Whether the node's size and the layout below it are the same for every proposed height,
  // and for none (ask children with Node::ignoresProposedHeight). Such a subtree is measured and
  // laid out once for all heights: text, and the stacks and modifiers around it, inside a row
  // that proposes them its own height as it grows. Default: no, which is always safe.
  virtual bool ignoresProposedHeight(const Node&) const { return false; }

  virtual void transformPreferences(Node&, PreferenceValues&) const {}
  virtual void preferencesCollected(Node&, const PreferenceValues&) const {}

  // Default: draws the children in order. Call renderChildren to draw them from overrides.
  virtual void render(const Node& node, RenderContext& context) const;
  // The area the node's own drawing (its children's aside) may cover, in its coordinates;
  // none when it draws nothing itself. Default: its bounds. A primitive that draws beyond its
  // bounds says so here, or it is left out when its bounds are out of sight.
  virtual std::optional<Rect> ownInk(const Node& node) const;
  // The translation applied to children when drawing and hit testing (offset, scrolling).
  virtual Point childTranslation(const Node&) const { return {}; }
  // A clip applied to children, in this node's coordinates.
  virtual std::optional<Path> childClip(const Node&) const { return std::nullopt; }
  // Children back to front; hit testing goes front to back.
  virtual std::vector<const Node*> paintOrder(const Node& node) const;
  // Whether a child is on screen: one that is not is left out of drawing, hit testing, focus and
  // the searches by identity and accessibility. Default: every child.
  virtual bool showsChild(const Node&, const Node& /*child*/) const { return true; }

  virtual void appeared(Node&) const {}
  virtual void disappeared(Node&) const {}

  // Input. Every pointer event goes to the frontmost node under it that asks, respecting
  // clips. A node that takes the pointer receives the press and the moves and release that
  // follow it (event locations in its own coordinates); hover goes to every node under the
  // pointer that asks for it.
  virtual bool takesPointer(const Node&) const { return false; }
  virtual void pointer(Node&, PointerPhase, const PointerEvent& /*local*/, bool /*inside*/) const {}
  // A node that takes a press at `local` in front of its content (a scroll bar over the rows it
  // scrolls); it then gets the press and what follows it, as by `pointer`.
  virtual bool takesPointerInFront(const Node&, Point /*local*/) const { return false; }
  // A node that watches the presses inside it ahead of the node taking them (a drag that
  // starts on a row which takes clicks itself) sees the press and what follows; once it
  // returns true it takes the gesture over: the pressed node gets `cancelled` and the rest
  // goes to the watcher alone. Escape cancels a gesture taken over. The innermost watcher
  // under the press is asked.
  virtual bool watchesPointer(const Node&) const { return false; }
  virtual bool watchPointer(Node&, PointerPhase, const PointerEvent& /*local*/,
                            bool /*inside*/) const {
    return false;
  }
  // Every release in the window, for the focused node and its ancestors, before the node that
  // took the press gets it (location in this node's coordinates, inside it or not).
  virtual void pointerReleasedWhileFocused(Node&, const PointerEvent& /*local*/) const {}
  virtual bool takesHover(const Node&) const { return false; }
  virtual void hover(Node&, bool) const {}
  virtual bool takesScroll(const Node&) const { return false; }
  virtual bool scroll(Node&, double, double) const { return false; }
  // The pointer's shape over this node (local point), if it sets one.
  virtual std::optional<CursorShape> cursor(const Node&, Point /*local*/) const {
    return std::nullopt;
  }
  virtual std::optional<Identity> focusId(const Node&) const { return std::nullopt; }
  // The focus came to (or left) this node, a focusable one.
  virtual void focusChanged(Node&, bool /*focused*/) const {}
  // Keys go to the focused node and then its ancestors until one takes it.
  virtual bool key(Node&, const KeyEvent&) const { return false; }
  virtual bool isDisabled() const { return false; }
  // A scrolling container moves the least so that `target` (in its content's coordinates)
  // is visible, or puts the target's `anchor` point at the same point of its viewport.
  virtual bool scrollToReveal(Node&, Rect /*target*/, std::optional<UnitPoint> /*anchor*/) const {
    return false;
  }
  // Selectable content: the selected plain text (Ctrl+C copies it) and clearing it when a
  // selection starts elsewhere.
  virtual std::optional<std::string> selectedText(const Node&) const { return std::nullopt; }
  virtual void clearSelection(Node&) const {}
  // Text from an input method, for the focused node and its ancestors.
  virtual bool textInput(Node&, const TextInputEvent&) const { return false; }
  // The backend widget this node hosts, if any.
  virtual HostedWidget* hostedWidget(const Node&) const { return nullptr; }

  // Accessibility: what the node says of the element it is part of (none for plain layout),
  // the press or toggle a screen reader asks for (true when it did something), and the links
  // inside a text.
  virtual AccessibilityTraits accessibilityTraits(const Node&) const { return {}; }
  virtual bool accessibilityPerform(Node&) const { return false; }
  virtual std::vector<AccessibleLink> accessibleLinks(const Node&) const { return {}; }
};

void renderChildren(const Node& node, RenderContext& context);
// Whether every child ignores the proposed height (true without children).
bool childrenIgnoreProposedHeight(const Node& node);
std::vector<const Node*> defaultPaintOrder(const Node& node);
// The child's frame rectangle in window coordinates under `context`.
Rect windowRect(const Node& node, const RenderContext& context);

// A number for dumps: integral values without decimals, others with up to two.
std::string fmt(double value);

// Zero size, draws nothing: a placeholder where a slot must hold a node.
class EmptyLeaf final : public Primitive {
 public:
  std::string name() const override { return "Empty"; }
  bool ignoresProposedHeight(const Node&) const override { return true; }
};

// Layout helpers.
double alignedOffset(HAlign alignment, double container, double content);
double alignedOffset(VAlign alignment, double container, double content);
// Lays the child out under `proposal` and puts it in `container` by `alignment`.
void placeAligned(Node& child, Size container, ProposedSize proposal, Alignment alignment);

}  // namespace ui::detail
