#include "ui/node/Node.h"

#include <algorithm>
#include <unordered_map>

#include "tree/IdView.h"
#include "ui/State.h"
#include "ui/node/Primitive.h"

namespace ui::detail {

namespace {
// A parent that is built again measures its unchanged children once more with every proposal
// of its own layout: stacks inside stacks ask for a dozen sizes a frame. The cache holds them
// all, so that an unchanged subtree answers from it and is not walked.
constexpr std::size_t kMeasureCacheSize = 16;
constexpr std::size_t kLinearMatchLimit = 8;
}  // namespace

std::type_index kindOf(const View& view) {
  return std::type_index(typeid(view));
}

ChildSpec childSpec(const AnyView& view, Identity structural) {
  ChildSpec spec{std::move(structural), view.shared()};
  // The outermost explicit id wins; inner ones are scoped inside it and irrelevant here.
  bool explicitId = false;
  while (auto* id = dynamic_cast<const IdView*>(spec.view.get())) {
    if (!explicitId) spec.id = id->identity;
    explicitId = true;
    spec.explicitId = true;
    spec.view = id->content.shared();
  }
  return spec;
}

std::vector<ChildSpec> childSpecs(const std::vector<AnyView>& views) {
  std::vector<ChildSpec> specs;
  specs.reserve(views.size());
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (!views[i]) continue;  // empty content keeps its position but takes no node
    specs.push_back(childSpec(views[i], Identity(i)));
    if (!specs.back().view) specs.pop_back();
  }
  return specs;
}

Node::Node(HostServices& host, Node* parent, Identity id, std::type_index kind)
    : host_(host),
      parent_(parent),
      id_(std::move(id)),
      kind_(kind),
      handle_(std::make_shared<NodeHandle>(NodeHandle{this})) {
  ++host_.nodesCreated;
}

Node::~Node() {
  handle_->node = nullptr;
  // Children go first, so that a parent's state outlives its subtree's disappear hooks.
  children_.clear();
}

void Node::unmountTree() {
  for (auto& c : children_) c->unmountTree();
  if (primitive_ && appeared) primitive_->disappeared(*this);
  host_.nodeRemoved(*this);
  persistentSubs_.clear();
  buildSubs_.clear();
}

void Node::update(const std::shared_ptr<const View>& view, const Environment& env) {
  const bool sameView = view_ && (view_ == view || view_->equals(*view));
  if (built_ && sameView && !dirty_ && env_ == env) {
    if (descendantDirty_) updateDirtyDescendants();
    return;
  }
  if (!sameView) view_ = view;
  env_ = env;
  rebuild();
}

void Node::updateDirtyDescendants() {
  if (dirty_) return rebuild();
  for (auto& c : children_)
    if (c->needsRebuild()) c->updateDirtyDescendants();
  descendantDirty_ = false;
}

void Node::rebuild() {
  ++host_.nodesUpdated;
  dirty_ = false;
  const bool firstBuild = !built_;
  primitive_ = dynamic_cast<const Primitive*>(view_.get());
  if (primitive_) {
    reconcile(primitive_->children(*this, env_), primitive_->childEnvironment(env_));
    primitive_->didUpdate(*this);
  } else {
    buildSubs_.clear();
    ++host_.bodiesEvaluated;
    BuildContext context(*this);
    AnyView body = view_->body(context);
    std::vector<ChildSpec> specs;
    if (body) specs.push_back(childSpec(body, Identity(0)));
    if (!specs.empty() && !specs.front().view) specs.clear();
    reconcile(std::move(specs), env_);
  }
  built_ = true;
  descendantDirty_ = std::any_of(children_.begin(), children_.end(),
                                 [](const auto& c) { return c->needsRebuild(); });
  invalidateLayout();
  if (firstBuild) host_.nodeAppeared(*this);
}

void Node::adopt(std::unique_ptr<Node>& slot, const ChildSpec& spec, const Environment& env) {
  if (!slot) {
    slot = std::make_unique<Node>(host_, this, spec.id, kindOf(*spec.view));
    slot->explicitId_ = spec.explicitId;
  }
  slot->update(spec.view, env);
}

void Node::reconcile(std::vector<ChildSpec> specs, const Environment& childEnv) {
  std::vector<std::unique_ptr<Node>> old = std::move(children_);
  children_.clear();
  children_.resize(specs.size());

  auto take = [&](std::size_t i) { return std::exchange(old[i], nullptr); };
  if (old.size() <= kLinearMatchLimit) {
    for (std::size_t s = 0; s < specs.size(); ++s) {
      const auto kind = kindOf(*specs[s].view);
      for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i] && old[i]->kind_ == kind && old[i]->id_ == specs[s].id) {
          children_[s] = take(i);
          break;
        }
      }
    }
  } else {
    std::unordered_multimap<Identity, std::size_t> byId;
    byId.reserve(old.size());
    for (std::size_t i = 0; i < old.size(); ++i) byId.emplace(old[i]->id_, i);
    for (std::size_t s = 0; s < specs.size(); ++s) {
      const auto kind = kindOf(*specs[s].view);
      auto [first, last] = byId.equal_range(specs[s].id);
      for (auto it = first; it != last; ++it) {
        if (old[it->second] && old[it->second]->kind_ == kind) {
          children_[s] = take(it->second);
          byId.erase(it);
          break;
        }
      }
    }
  }
  for (auto& gone : old)
    if (gone) gone->unmountTree();
  old.clear();
  for (std::size_t s = 0; s < specs.size(); ++s) adopt(children_[s], specs[s], childEnv);
}

void Node::rebuildChild(std::size_t index, ChildSpec spec, const Environment& childEnv) {
  invalidateInk();
  if (index >= children_.size()) children_.resize(index + 1);
  auto& slot = children_[index];
  if (!spec.view) {
    if (slot) slot->unmountTree();
    slot.reset();
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
    return;
  }
  if (slot && (slot->kind_ != kindOf(*spec.view) || !(slot->id_ == spec.id))) {
    slot->unmountTree();
    slot.reset();
  }
  adopt(slot, spec, childEnv);
}

void Node::markDirty() {
  if (dirty_) return;
  dirty_ = true;
  for (Node* p = parent_; p && !p->descendantDirty_; p = p->parent_) p->descendantDirty_ = true;
  host_.setNeedsFrame();
}

void invalidate(const std::weak_ptr<NodeHandle>& owner) {
  if (auto handle = owner.lock())
    if (handle->node) handle->node->markDirty();
}

ProposedSize Node::effective(ProposedSize proposal) const {
  if (proposal.height && ignoresProposedHeight()) proposal.height = std::nullopt;
  return proposal;
}

Size Node::measure(ProposedSize proposal) {
  proposal = effective(proposal);
  for (auto& c : measureCache_) {
    if (c.proposal == proposal) {
      c.frame = host_.frame;
      return c.size;
    }
  }
  ++host_.nodesMeasured;
  Size size;
  if (primitive_)
    size = primitive_->sizeThatFits(*this, proposal);
  else if (auto* c = child(0))
    size = c->measure(proposal);
  remember({proposal, size, host_.frame});
  return size;
}

void Node::remember(const CachedSize& entry) {
  if (measureCache_.size() < kMeasureCacheSize) {
    measureCache_.push_back(entry);
    return;
  }
  // The size asked for longest ago gives way. When every one was asked for in this frame (more
  // proposals than the cache holds), the newest does: the others still answer the next frame,
  // where evicting in turn would have each of them miss.
  auto victim = std::min_element(measureCache_.begin(), measureCache_.end(),
                                 [](const auto& a, const auto& b) { return a.frame < b.frame; });
  if (victim->frame == entry.frame) victim = std::prev(measureCache_.end());
  *victim = entry;
}

void Node::layout(ProposedSize proposal) {
  proposal = effective(proposal);
  if (layoutValid_ && proposal == lastProposal_) return;
  // Laid out while its parent only measures (a stack reading text guides): the parent's
  // placement of it is no longer current, up to the ancestor that is placing.
  for (Node* p = parent_; p && p->layoutValid_ && !p->placing_; p = p->parent_)
    p->layoutValid_ = false;
  const Size size = measure(proposal);
  setLaidOut(size, proposal);
  placing_ = true;
  if (primitive_) {
    primitive_->placeChildren(*this, size, proposal);
  } else if (auto* c = child(0)) {
    c->layout(proposal);
    c->setOrigin({0, 0});
  }
  placing_ = false;
}

void Node::setLaidOut(Size size, ProposedSize proposal) {
  invalidateInk();
  frame_.width = size.width;
  frame_.height = size.height;
  lastProposal_ = proposal;
  layoutValid_ = true;
  prefsValid_ = false;
}

void Node::invalidateLayout() {
  invalidateInk();
  for (Node* n = this; n; n = n->parent_) {
    if (n->host_.layoutBarrier == n) break;
    if (n != this && !n->layoutValid_ && n->measureCache_.empty() && !n->prefsValid_ &&
        n->ignoresHeight_ == Known::unknown)
      break;
    n->layoutValid_ = false;
    n->measureCache_.clear();
    n->prefsValid_ = false;
    n->ignoresHeight_ = Known::unknown;
  }
}

// A clipping node's ink stops at its clip, so it does not depend on its children's: they are
// left invalid below it, and a change there need not reach further up.
void Node::invalidateInk() {
  for (Node* n = this; n && n->inkValid_; n = n->parent_) n->inkValid_ = false;
}

std::optional<Rect> Node::inkBounds() const {
  if (inkValid_) return ink_;
  std::optional<Rect> ink = primitive_ ? primitive_->ownInk(*this) : std::nullopt;
  auto add = [&](const Rect& r) { ink = ink ? ink->united(r) : r; };
  if (auto clip = primitive_ ? primitive_->childClip(*this) : std::nullopt) {
    if (!children_.empty()) add(clip->boundingRect());
  } else {
    const Point t = primitive_ ? primitive_->childTranslation(*this) : Point{};
    for (const auto& c : children_) {
      if (primitive_ && !primitive_->showsChild(*this, *c)) continue;
      if (auto r = c->inkBounds()) add(r->offsetBy(c->frame_.x + t.x, c->frame_.y + t.y));
    }
  }
  ink_ = ink;
  inkValid_ = true;
  return ink;
}

void Node::invalidatePreferences() {
  for (Node* n = this; n && n->prefsValid_; n = n->parent_) n->prefsValid_ = false;
}

double Node::guide(VAlign g) const {
  if (primitive_) return primitive_->guide(*this, g);
  if (auto* c = child(0)) return c->frame_.y + c->guide(g);
  return g == VAlign::firstLineCenter ? frame_.height / 2 : frame_.height;
}

double Node::layoutPriority() const {
  for (const Node* n = this; n; n = n->child(0)) {
    if (!n->primitive_) continue;
    if (auto p = n->primitive_->priority()) return *p;
    if (!n->primitive_->passesTraits()) return 0;
  }
  return 0;
}

bool Node::ignoresProposedHeight() const {
  if (ignoresHeight_ == Known::unknown) {
    bool ignores = true;
    if (primitive_)
      ignores = primitive_->ignoresProposedHeight(*this);
    else if (auto* c = child(0))
      ignores = c->ignoresProposedHeight();
    ignoresHeight_ = ignores ? Known::yes : Known::no;
  }
  return ignoresHeight_ == Known::yes;
}

bool Node::isSpacer() const {
  for (const Node* n = this; n; n = n->child(0)) {
    if (!n->primitive_) continue;
    if (n->primitive_->isSpacer()) return true;
    if (!n->primitive_->passesTraits()) return false;
  }
  return false;
}

std::optional<Axis> Node::parentStackAxis() const {
  for (const Node* p = parent_; p; p = p->parent_) {
    if (!p->primitive_) continue;
    if (auto axis = p->primitive_->stackAxis()) return axis;
    if (!p->primitive_->passesTraits()) return std::nullopt;
  }
  return std::nullopt;
}

Point Node::originIn(const Node* ancestor) const {
  Point p;
  for (const Node* n = this; n && n != ancestor; n = n->parent_) {
    p.x += n->frame_.x;
    p.y += n->frame_.y;
  }
  return p;
}

const PreferenceValues& Node::collectPreferences() {
  if (prefsValid_) return prefs_;
  PreferenceValues values;
  for (auto& c : children_) values.reduce(c->collectPreferences());
  if (primitive_) primitive_->transformPreferences(*this, values);
  prefs_ = std::move(values);
  prefsValid_ = true;
  if (primitive_) primitive_->preferencesCollected(*this, prefs_);
  return prefs_;
}

}  // namespace ui::detail
