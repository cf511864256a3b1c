#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/Accessibility.h"
#include "ui/State.h"
#include "ui/node/Modifier.h"

namespace ui::detail {

// The element a node belongs to (a focused control's): its own, the first inside it, or the
// one around it.
AccessibleElement accessibleElementAt(Node& node);

// Accessibility properties of a subtree (and the handle tests find views by).
class AccessibilityView final : public Modifier {
 public:
  AccessibilityView(AnyView content, AccessibilityTraits traits,
                    std::optional<std::string> identifier);
  std::string name() const override { return "Accessibility"; }
  std::string describe(const Node&) const override;
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  AccessibilityTraits accessibilityTraits(const Node&) const override { return traits; }
  bool accessibilityPerform(Node&) const override {
    if (!traits.action) return false;
    traits.action();
    return true;
  }
  AccessibilityTraits traits;
  std::optional<std::string> identifier;
};

// Read by Grid: sets the horizontal alignment of the cell's column.
class GridColumnAlignmentView final : public Modifier {
 public:
  GridColumnAlignmentView(AnyView content, HAlign alignment);
  std::string name() const override { return "GridColumnAlignment"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  HAlign alignment;
};

class DisabledView final : public Modifier {
 public:
  DisabledView(AnyView content, bool disabled);
  std::string name() const override { return "Disabled"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  Environment childEnvironment(const Environment& env) const override;

 private:
  bool disabled_;
};

// Ties a focus binding to a subtree: the binding holds `equals` exactly while the focus is
// on a focusable view inside it, and setting it to `equals` focuses the first one.
class FocusBindingView final : public Modifier {
 public:
  FocusBindingView(AnyView content, Binding<std::optional<Identity>> binding, Identity equals);
  std::string name() const override { return "FocusBinding"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  Binding<std::optional<Identity>> binding;
  Identity equals;
  // The binding's value at the last synchronisation (unset before the first).
  struct Seen {
    bool any = false;
    std::optional<Identity> value;
  };
};

// Keys offered to a handler while the focus is inside (or nothing is focused).
class KeyPressView final : public Modifier {
 public:
  KeyPressView(AnyView content, std::function<bool(const KeyEvent&)> handler);
  std::string name() const override { return "KeyPress"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  bool key(Node&, const KeyEvent& event) const override { return handler_ && handler_(event); }

 private:
  std::function<bool(const KeyEvent&)> handler_;
};

// Pointer releases anywhere in the window, told to a handler while the focus is inside.
class PointerReleaseView final : public Modifier {
 public:
  PointerReleaseView(AnyView content, std::function<void(const PointerEvent&, Size)> handler);
  std::string name() const override { return "PointerRelease"; }
  void pointerReleasedWhileFocused(Node& node, const PointerEvent& local) const override {
    if (handler_) handler_(local, node.frame().size());
  }

 private:
  std::function<void(const PointerEvent&, Size)> handler_;
};

}  // namespace ui::detail
