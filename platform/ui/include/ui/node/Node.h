#pragma once

#include <foundation/ObservableObject.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

#include "ui/Alignment.h"
#include "ui/Environment.h"
#include "ui/Geometry.h"
#include "ui/Identity.h"
#include "ui/Preference.h"
#include "ui/View.h"

namespace ui {
class ViewHost;
class WidgetFactory;
class DisplayList;
namespace detail {

class Node;
class Primitive;

// The weak handle that state, tasks and anchors hold on a node: cleared when it goes.
struct NodeHandle {
  Node* node = nullptr;
};

// One child a primitive asks for: its identity among the siblings and its description.
struct ChildSpec {
  Identity id;
  std::shared_ptr<const View> view;
  bool explicitId = false;  // from `.id(...)` or ForEach, not a structural position
};

// One view-local state slot with the type it was made for: reading it as another type (a
// body that asks for different types in different branches) is a programming error.
struct StateSlot {
  std::shared_ptr<void> value;
  const std::type_info* type = nullptr;
};

struct HostServices;

// A retained node: one view description at one identity, with its state, its children and
// its layout. Rebuilt in place when its description or environment changes or it is dirty.
class Node {
 public:
  Node(HostServices& host, Node* parent, Identity id, std::type_index kind);
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Build
  void update(const std::shared_ptr<const View>& view, const Environment& env);
  void updateDirtyDescendants();
  void markDirty();
  bool needsRebuild() const { return dirty_ || descendantDirty_; }

  const View& view() const { return *view_; }
  const Primitive* primitive() const { return primitive_; }
  const Environment& environment() const { return env_; }
  const Identity& id() const { return id_; }
  bool hasExplicitId() const { return explicitId_; }
  std::type_index kind() const { return kind_; }
  Node* parent() const { return parent_; }
  HostServices& host() const { return host_; }
  const std::shared_ptr<NodeHandle>& handle() const { return handle_; }
  const std::vector<std::unique_ptr<Node>>& children() const { return children_; }
  Node* child(std::size_t i) const { return i < children_.size() ? children_[i].get() : nullptr; }

  // Replaces the children by a new list, matching old ones by (identity, kind).
  void reconcile(std::vector<ChildSpec> specs, const Environment& childEnv);
  // Rebuilds one child slot in place (content built during layout, e.g. GeometryReader).
  void rebuildChild(std::size_t index, ChildSpec spec, const Environment& childEnv);

  // State slots, in the order a body asks for them.
  std::vector<StateSlot>& stateSlots() { return stateSlots_; }
  std::vector<foundation::Cancellable>& persistentSubscriptions() { return persistentSubs_; }
  std::vector<foundation::Cancellable>& buildSubscriptions() { return buildSubs_; }

  // Data a primitive keeps for its node between builds (pressed state, scroll offset...).
  template <class T>
  T& local() {
    if (!local_) local_ = std::make_shared<T>();
    return *static_cast<T*>(local_.get());
  }
  template <class T>
  const T* localIfAny() const {
    return static_cast<const T*>(local_.get());
  }

  // Layout. A node is measured with proposals (cached until something below changes), laid
  // out at one proposal (its size and its children's frames) and put at an origin by its
  // parent. Frames are relative to the parent's origin.
  Size measure(ProposedSize proposal);
  void layout(ProposedSize proposal);
  void setOrigin(Point origin) {
    if (frame_.x == origin.x && frame_.y == origin.y) return;
    frame_.x = origin.x;
    frame_.y = origin.y;
    if (parent_) parent_->invalidateInk();
  }
  // Sets the size directly (containers that drive their children's children, e.g. rows).
  void setLaidOut(Size size, ProposedSize proposal);
  Rect frame() const { return frame_; }
  Size size() const { return frame_.size(); }
  ProposedSize lastProposal() const { return lastProposal_; }
  void invalidateLayout();
  // Vertical position of a text guide inside this node, once laid out.
  double guide(VAlign guide) const;
  double layoutPriority() const;
  bool isSpacer() const;
  // See Primitive::ignoresProposedHeight; a composite view follows its body. Cached until the
  // layout below changes.
  bool ignoresProposedHeight() const;
  std::optional<Axis> parentStackAxis() const;
  // Origin in the coordinates of `ancestor` (the root when null).
  Point originIn(const Node* ancestor) const;

  // The area the subtree can draw into, in this node's coordinates (its origin at 0, 0); none
  // when it draws nothing. Cached until the layout or the content below changes.
  std::optional<Rect> inkBounds() const;
  void invalidateInk();

  // Preferences: the subtree's combined value, computed after layout and cached.
  const PreferenceValues& collectPreferences();
  void invalidatePreferences();

  // Lifetime hooks run once a frame has settled (appear) and when the node goes (disappear).
  bool appeared = false;

 private:
  void rebuild();
  void adopt(std::unique_ptr<Node>& slot, const ChildSpec& spec, const Environment& env);
  void unmountTree();

  HostServices& host_;
  Node* parent_;
  Identity id_;
  bool explicitId_ = false;
  std::type_index kind_;
  std::shared_ptr<const View> view_;
  const Primitive* primitive_ = nullptr;
  Environment env_;
  std::vector<std::unique_ptr<Node>> children_;
  std::shared_ptr<NodeHandle> handle_;
  bool dirty_ = true;
  bool descendantDirty_ = false;
  bool built_ = false;

  std::vector<StateSlot> stateSlots_;
  std::vector<foundation::Cancellable> persistentSubs_;
  std::vector<foundation::Cancellable> buildSubs_;
  std::shared_ptr<void> local_;

  struct CachedSize {
    ProposedSize proposal;
    Size size;
    std::uint64_t frame = 0;  // when it was last asked for
  };
  void remember(const CachedSize& entry);
  // The proposal this node answers for `proposal`: without its height where it ignores it.
  ProposedSize effective(ProposedSize proposal) const;
  std::vector<CachedSize> measureCache_;
  bool layoutValid_ = false;
  enum class Known : unsigned char { unknown, no, yes };
  mutable Known ignoresHeight_ = Known::unknown;
  bool placing_ = false;  // inside its own placeChildren
  ProposedSize lastProposal_;
  Rect frame_;

  PreferenceValues prefs_;
  bool prefsValid_ = false;

  mutable std::optional<Rect> ink_;
  mutable bool inkValid_ = false;
};

// The services a host gives its nodes.
struct HostServices {
  virtual ~HostServices() = default;
  virtual void setNeedsFrame() = 0;
  virtual void nodeAppeared(Node&) {}
  virtual void nodeRemoved(Node&) {}
  virtual WidgetFactory* widgetFactory() { return nullptr; }
  // After the next layout, scrolls the containers around the view with explicit identity
  // `id` inside `within` so that it shows.
  virtual void requestScroll(std::weak_ptr<NodeHandle> /*within*/, Identity /*id*/,
                             std::optional<UnitPoint> /*anchor*/) {}
  virtual void requestFocus(const Identity&) {}
  // The node holding the keyboard focus, if any.
  virtual Node* focusedNode() { return nullptr; }
  // A node began a text selection; any other selection is cleared.
  virtual void selectionStarted(Node&) {}
  // Counters for tests and benchmarks.
  std::size_t bodiesEvaluated = 0;
  std::size_t nodesUpdated = 0;
  std::size_t nodesMeasured = 0;
  std::size_t nodesCreated = 0;
  // Counts the host's frames; measured sizes remember the last one that asked for them.
  std::uint64_t frame = 0;
  // Content built during layout stops layout invalidation here (the node being laid out).
  Node* layoutBarrier = nullptr;
};

// The kind a description gives its node: a change of kind replaces the node (and its state).
std::type_index kindOf(const View& view);
// The identity a child takes at a structural position, unless it carries an explicit id.
ChildSpec childSpec(const AnyView& view, Identity structural);
std::vector<ChildSpec> childSpecs(const std::vector<AnyView>& views);

}  // namespace detail
}  // namespace ui
