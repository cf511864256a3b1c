#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Geometry.h"

namespace ui {

class HostedWidget;
namespace detail {
class Node;
struct NodeHandle;
}  // namespace detail

// What a view is to a screen reader. Plain layout (stacks, padding, frames) has no role: what
// it holds shows through it.
enum class AccessibilityRole {
  none,
  group,
  button,
  checkBox,
  radioButton,
  staticText,
  heading,
  list,
  listItem,
  link,
  image,
  // A text read whole, given by the view (a message), not gathered from what it draws.
  text,
  // A backend widget (a text field, a picker), which describes itself.
  hostedWidget,
};

// Elements of these roles are read as one: their name comes from the text inside them, and
// what lies inside is not listed on its own. A list item is named so too, but lists what it
// holds (a row's buttons, a Markdown item's links).
bool isLeafRole(AccessibilityRole role);

// What the views and the layer's controls say of an element. A view wrapped in several
// accessibility modifiers takes the outermost value of each.
struct AccessibilityTraits {
  std::optional<AccessibilityRole> role = {};
  std::optional<std::string> label = {};
  // What it holds now (a recorded shortcut), read after the name.
  std::optional<std::string> value = {};
  std::optional<int> headingLevel = {};
  std::optional<bool> checked = {}, selected = {};
  // The whole text of a text element, made only when a reader reads it.
  std::function<std::string()> text = {};
  std::function<void()> action = {};
  // The control can be pressed or toggled (by the action above or one of its own).
  bool actionable = false;
  // An image is read only when something names it; decoration is left out.
  bool needsLabel = false;
  bool hidden = false;
};

// One element as a screen reader reads it.
struct AccessibilityDescription {
  AccessibilityRole role = AccessibilityRole::none;
  std::string name, value;
  int headingLevel = 0;
  std::optional<bool> checked, selected;
  bool focusable = false, focused = false, enabled = true, actionable = false;
  // It has a text to read whole (see AccessibleElement::text).
  bool hasText = false;
  bool operator==(const AccessibilityDescription& other) const;
};

// A handle on one element of a host's view tree: a view with a role, and the wrappers around
// it. It stays valid while its view is in the tree; what lies inside is found when asked for,
// so that nothing is made for an element nobody reads. Main thread only.
class AccessibleElement {
 public:
  AccessibleElement() = default;

  bool isValid() const;
  // The host's content as a whole: the parent of the window's elements.
  bool isRoot() const { return root_; }
  AccessibilityDescription describe() const;
  std::vector<AccessibleElement> children() const;
  // The element that lists this one (the root for the window's top elements); invalid for the
  // root itself.
  AccessibleElement parent() const;
  // Window coordinates.
  std::optional<Rect> frame() const;
  // Presses a button or link, toggles a check box; false when it has no action.
  bool perform() const;
  // Gives it the keyboard focus, when it can take it.
  bool focus() const;
  HostedWidget* hostedWidget() const;
  // The whole text of a text element (a message): made now, so read it once a frame at most.
  std::string text() const;

  // Equal handles name the same element; the key tells them apart as long as one is held.
  const void* key() const;
  int part() const { return part_; }
  bool operator==(const AccessibleElement& other) const {
    return key() == other.key() && part_ == other.part_ && root_ == other.root_;
  }

  // Made by the tree code (and the host, for its root).
  static AccessibleElement make(detail::Node& top, std::optional<std::string> inheritedLabel,
                                int part = -1);
  static AccessibleElement rootOf(detail::Node& root);
  detail::Node* node() const;

 private:
  std::weak_ptr<detail::NodeHandle> node_;
  // A name from a label put around the content that holds this element.
  std::optional<std::string> inheritedLabel_;
  // A link inside a text, by its position among the text's links; -1 for the whole view.
  int part_ = -1;
  bool root_ = false;
};

// A link drawn inside a text: what a screen reader lists as the text's children.
struct AccessibleLink {
  std::string name;
  Rect frame;  // in the text's coordinates
  std::function<void()> open;
};

// The role's name in dumps and tests ("button", "check box", ...).
std::string roleName(AccessibilityRole role);

}  // namespace ui
