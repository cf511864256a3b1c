#include "ui/Accessibility.h"

#include "tree/Markers.h"
#include "ui/SystemEnvironment.h"
#include "ui/node/Primitive.h"

namespace ui {
using namespace detail;

namespace {

// A name gathered from a control's content stops here: a label, not a book.
constexpr std::size_t kGatheredNameLimit = 2000;

bool shows(const Node& n, const Node& child) {
  return !n.primitive() || n.primitive()->showsChild(n, child);
}

std::vector<Node*> shownChildren(const Node& n) {
  std::vector<Node*> out;
  for (const auto& c : n.children())
    if (shows(n, *c)) out.push_back(c.get());
  return out;
}

// The one child a wrapper (a modifier, a composite view) hands everything on to; none for a
// view that lays out several.
Node* passThrough(const Node& n) {
  if (n.primitive() && !n.primitive()->passesTraits()) return nullptr;
  Node* only = nullptr;
  for (const auto& c : n.children()) {
    if (!shows(n, *c)) continue;
    if (only) return nullptr;
    only = c.get();
  }
  return only;
}

std::optional<Identity> focusIdOf(const Node& n) {
  return n.primitive() ? n.primitive()->focusId(n) : std::nullopt;
}

// One element: a view and the wrappers around it, down to the first view that lays out
// several children (or none). What they say is merged, the outermost first.
struct Chain {
  Node* top = nullptr;
  Node* bottom = nullptr;
  AccessibilityTraits traits;
  Node* focusNode = nullptr;
  HostedWidget* hosted = nullptr;
};

void merge(AccessibilityTraits& into, AccessibilityTraits t, bool explicitly) {
  into.hidden = into.hidden || t.hidden;
  const bool hadRole = into.role.has_value();
  // A control's own text names it; a container is named only by what the views say.
  const bool takesLabel = explicitly || !hadRole || isLeafRole(*into.role);
  if (!hadRole && t.role) {
    into.role = t.role;
    into.needsLabel = t.needsLabel;
  }
  if (!into.label && t.label && takesLabel) into.label = std::move(t.label);
  if (!into.value && t.value) into.value = std::move(t.value);
  if (!into.headingLevel && t.headingLevel) into.headingLevel = t.headingLevel;
  if (!into.checked && t.checked) into.checked = t.checked;
  if (!into.selected && t.selected) into.selected = t.selected;
  if (!into.text && t.text) into.text = std::move(t.text);
  if (!into.action && t.action) into.action = std::move(t.action);
  into.actionable = into.actionable || t.actionable;
}

Chain chainFrom(Node& top) {
  Chain c;
  c.top = c.bottom = &top;
  for (Node* n = &top; n; n = passThrough(*n)) {
    c.bottom = n;
    if (!c.focusNode && focusIdOf(*n)) c.focusNode = n;
    const Primitive* p = n->primitive();
    if (!p) continue;
    merge(c.traits, p->accessibilityTraits(*n), dynamic_cast<const AccessibilityView*>(p));
    if (HostedWidget* w = p->hostedWidget(*n)) c.hosted = w;
  }
  return c;
}

bool isElement(const Chain& c, bool named) {
  if (c.traits.hidden || !c.traits.role || *c.traits.role == AccessibilityRole::none) return false;
  return !c.traits.needsLabel || c.traits.label || named;
}

// The topmost wrapper of the chain `n` is part of, below the host's root.
Node* chainTop(Node* n) {
  while (n->parent() && n->parent()->parent() && passThrough(*n->parent()) == n) n = n->parent();
  return n;
}

// The elements inside `n`, in reading order; a label around content without a role of its own
// names the first element inside it.
void collect(Node& n, std::optional<std::string>& pending, std::vector<AccessibleElement>& out) {
  const Chain c = chainFrom(n);
  if (c.traits.hidden) return;
  if (isElement(c, pending.has_value())) {
    out.push_back(AccessibleElement::make(n, std::exchange(pending, std::nullopt)));
    return;
  }
  if (c.traits.label) pending = c.traits.label;
  for (Node* child : shownChildren(*c.bottom)) collect(*child, pending, out);
}

void gatherText(const Node& n, std::string& out) {
  for (Node* child : shownChildren(n)) {
    if (out.size() >= kGatheredNameLimit) return;
    const Chain c = chainFrom(*child);
    // A control inside (a row's buttons) says what it does, not what the row is.
    if (c.traits.hidden || c.traits.actionable) continue;
    if (c.traits.label) {
      if (c.traits.label->empty()) continue;
      if (!out.empty()) out += ' ';
      out += *c.traits.label;
      continue;
    }
    gatherText(*c.bottom, out);
  }
}

Rect windowFrame(const Node& node) {
  Rect r = node.frame();
  for (const Node* p = node.parent(); p; p = p->parent()) {
    const Point t = p->primitive() ? p->primitive()->childTranslation(*p) : Point{};
    r = r.offsetBy(p->frame().x + t.x, p->frame().y + t.y);
  }
  return r;
}

// The focusable view of an element: inside its chain, or a wrapper of it.
Node* focusNodeOf(const Chain& c) {
  if (c.focusNode) return c.focusNode;
  for (Node* n = c.top; n->parent() && passThrough(*n->parent()) == n; n = n->parent())
    if (focusIdOf(*n->parent())) return n->parent();
  return nullptr;
}

}  // namespace

bool isLeafRole(AccessibilityRole role) {
  switch (role) {
    case AccessibilityRole::button:
    case AccessibilityRole::checkBox:
    case AccessibilityRole::radioButton:
    case AccessibilityRole::staticText:
    case AccessibilityRole::heading:
    case AccessibilityRole::link:
    case AccessibilityRole::image:
    case AccessibilityRole::hostedWidget:
      return true;
    case AccessibilityRole::none:
    case AccessibilityRole::group:
    case AccessibilityRole::list:
    case AccessibilityRole::listItem:
    case AccessibilityRole::text:
      break;
  }
  return false;
}

std::string roleName(AccessibilityRole role) {
  switch (role) {
    case AccessibilityRole::none:
      return "none";
    case AccessibilityRole::group:
      return "group";
    case AccessibilityRole::button:
      return "button";
    case AccessibilityRole::checkBox:
      return "check box";
    case AccessibilityRole::radioButton:
      return "radio button";
    case AccessibilityRole::staticText:
      return "label";
    case AccessibilityRole::heading:
      return "heading";
    case AccessibilityRole::list:
      return "list";
    case AccessibilityRole::listItem:
      return "list item";
    case AccessibilityRole::link:
      return "link";
    case AccessibilityRole::image:
      return "image";
    case AccessibilityRole::text:
      return "text";
    case AccessibilityRole::hostedWidget:
      return "widget";
  }
  return "none";
}

bool AccessibilityDescription::operator==(const AccessibilityDescription& o) const {
  return role == o.role && name == o.name && value == o.value && headingLevel == o.headingLevel &&
         checked == o.checked && selected == o.selected && focusable == o.focusable &&
         focused == o.focused && enabled == o.enabled && actionable == o.actionable &&
         hasText == o.hasText;
}

AccessibleElement AccessibleElement::make(Node& top, std::optional<std::string> inheritedLabel,
                                          int part) {
  AccessibleElement e;
  e.node_ = top.handle();
  e.inheritedLabel_ = std::move(inheritedLabel);
  e.part_ = part;
  return e;
}

AccessibleElement AccessibleElement::rootOf(Node& root) {
  AccessibleElement e;
  e.node_ = root.handle();
  e.root_ = true;
  return e;
}

Node* AccessibleElement::node() const {
  auto h = node_.lock();
  return h ? h->node : nullptr;
}

const void* AccessibleElement::key() const {
  auto h = node_.lock();
  return h && h->node ? h.get() : nullptr;
}

bool AccessibleElement::isValid() const {
  Node* n = node();
  if (!n) return false;
  if (root_) return true;
  const Chain c = chainFrom(*n);
  // The view is still there, but may have become plain layout (a condition turned).
  if (!isElement(c, inheritedLabel_.has_value())) return false;
  if (part_ < 0) return true;
  return c.bottom->primitive() &&
         part_ < int(c.bottom->primitive()->accessibleLinks(*c.bottom).size());
}

AccessibilityDescription AccessibleElement::describe() const {
  AccessibilityDescription d;
  Node* n = node();
  if (!n || root_) return d;
  const Chain c = chainFrom(*n);
  if (part_ >= 0) {
    auto links = c.bottom->primitive() ? c.bottom->primitive()->accessibleLinks(*c.bottom)
                                       : std::vector<AccessibleLink>{};
    if (part_ < int(links.size())) {
      d.role = AccessibilityRole::link;
      d.name = links[std::size_t(part_)].name;
      d.actionable = true;
    }
    return d;
  }
  d.role = c.traits.role.value_or(AccessibilityRole::none);
  if (c.traits.label)
    d.name = *c.traits.label;
  else if (inheritedLabel_)
    d.name = *inheritedLabel_;
  else if (isLeafRole(d.role) || d.role == AccessibilityRole::listItem)
    gatherText(*c.bottom, d.name);
  d.value = c.traits.value.value_or("");
  d.headingLevel = c.traits.headingLevel.value_or(0);
  d.checked = c.traits.checked;
  d.selected = c.traits.selected;
  d.hasText = bool(c.traits.text);
  d.actionable = c.traits.actionable;
  d.enabled = c.bottom->environment().get<IsEnabledKey>();
  if (Node* f = focusNodeOf(c)) {
    d.focusable = true;
    d.focused = n->host().focusedNode() == f;
  }
  return d;
}

std::vector<AccessibleElement> AccessibleElement::children() const {
  std::vector<AccessibleElement> out;
  Node* n = node();
  if (!n || part_ >= 0) return out;
  std::optional<std::string> pending;
  if (root_) {
    for (Node* child : shownChildren(*n)) collect(*child, pending, out);
    return out;
  }
  const Chain c = chainFrom(*n);
  if (c.hosted) return out;
  if (isLeafRole(c.traits.role.value_or(AccessibilityRole::none))) {
    // The links of a text are read on their own.
    if (const Primitive* p = c.bottom->primitive()) {
      const auto links = p->accessibleLinks(*c.bottom);
      for (std::size_t i = 0; i < links.size(); ++i) out.push_back(make(*n, std::nullopt, int(i)));
    }
    return out;
  }
  for (Node* child : shownChildren(*c.bottom)) collect(*child, pending, out);
  return out;
}

AccessibleElement AccessibleElement::parent() const {
  Node* n = node();
  if (!n || root_) return {};
  if (part_ >= 0) return make(*n, inheritedLabel_);
  for (Node* a = n->parent(); a; a = a->parent()) {
    if (!a->parent()) return rootOf(*a);
    Node* top = chainTop(a);
    if (isElement(chainFrom(*top), false)) return make(*top, std::nullopt);
    a = top;
  }
  return {};
}

std::optional<Rect> AccessibleElement::frame() const {
  Node* n = node();
  if (!n) return std::nullopt;
  if (part_ >= 0) {
    const Chain c = chainFrom(*n);
    if (!c.bottom->primitive()) return std::nullopt;
    const auto links = c.bottom->primitive()->accessibleLinks(*c.bottom);
    if (part_ >= int(links.size())) return std::nullopt;
    const Rect box = windowFrame(*c.bottom);
    return links[std::size_t(part_)].frame.offsetBy(box.x, box.y);
  }
  return windowFrame(*n);
}

bool AccessibleElement::perform() const {
  Node* n = node();
  if (!n || root_) return false;
  const Chain c = chainFrom(*n);
  if (part_ >= 0) {
    if (!c.bottom->primitive()) return false;
    auto links = c.bottom->primitive()->accessibleLinks(*c.bottom);
    if (part_ >= int(links.size()) || !links[std::size_t(part_)].open) return false;
    links[std::size_t(part_)].open();
    return true;
  }
  for (Node* m = n; m; m = passThrough(*m))
    if (m->primitive() && m->primitive()->accessibilityPerform(*m)) return true;
  return false;
}

bool AccessibleElement::focus() const {
  Node* n = node();
  if (!n || root_ || part_ >= 0) return false;
  Node* f = focusNodeOf(chainFrom(*n));
  if (!f) return false;
  n->host().requestFocus(*focusIdOf(*f));
  return true;
}

std::string AccessibleElement::text() const {
  Node* n = node();
  if (!n || root_ || part_ >= 0) return {};
  const Chain c = chainFrom(*n);
  return c.traits.text ? c.traits.text() : std::string();
}

HostedWidget* AccessibleElement::hostedWidget() const {
  Node* n = node();
  if (!n || root_ || part_ >= 0) return nullptr;
  return chainFrom(*n).hosted;
}

namespace detail {

AccessibleElement accessibleElementAt(Node& node) {
  Node* top = chainTop(&node);
  const Chain c = chainFrom(*top);
  if (isElement(c, false)) return AccessibleElement::make(*top, std::nullopt);
  std::optional<std::string> pending;
  std::vector<AccessibleElement> inside;
  collect(*top, pending, inside);
  if (!inside.empty()) return inside.front();
  return AccessibleElement::make(*top, std::nullopt).parent();
}

}  // namespace detail

}  // namespace ui
