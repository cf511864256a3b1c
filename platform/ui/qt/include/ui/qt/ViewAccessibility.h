#pragma once

#include <QAccessible>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "ui/Accessibility.h"

namespace ui::qt {

class ViewWidget;

// What a screen reader sees of a ViewWidget: Qt accessibility interfaces over the elements of
// its view tree (ui/Accessibility.h), made when the reader asks for them, the window named by
// its title, the hosted widgets at their places, and the events for what changed: focus moves
// at once, state, name, text and children once a frame. Nothing runs while no assistive
// technology listens (QAccessible::isActive). Main thread only.
class AccessibleTree {
 public:
  explicit AccessibleTree(ViewWidget& view);
  ~AccessibleTree();
  AccessibleTree(const AccessibleTree&) = delete;
  AccessibleTree& operator=(const AccessibleTree&) = delete;

  ViewWidget& view() const { return view_; }
  QAccessibleInterface* viewInterface() const;
  // The interface of an element (the hosted widget's own for a hosted one).
  QAccessibleInterface* interfaceFor(const AccessibleElement& element);
  // The elements inside, listed once a frame.
  const std::vector<AccessibleElement>& childrenOf(const AccessibleElement& element);

  void focusMoved();
  // A frame changed the tree: tell the reader what changed in what it has looked at.
  void frameSettled();

 private:
  struct Listed {
    std::vector<AccessibleElement> children;
    std::uint64_t frame = 0;  // the host's frame they were listed in
  };
  using Key = std::pair<const void*, int>;
  static Key keyOf(const AccessibleElement& e) { return {e.key(), e.part()}; }

  ViewWidget& view_;
  std::map<Key, QAccessible::Id> made_;
  std::map<Key, Listed> listed_;
};

// Lets Qt find the interfaces of view widgets and of the windows that hold them. Once.
void installViewAccessibility();

}  // namespace ui::qt
