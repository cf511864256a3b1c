#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/DisplayList.h"
#include "ui/Environment.h"
#include "ui/Geometry.h"
#include "ui/HostedWidget.h"
#include "ui/Identity.h"
#include "ui/Input.h"
#include "ui/TextMeasurer.h"
#include "ui/View.h"

namespace ui {

// Runs a view tree: keeps the retained nodes, runs frames (build, layout, preferences, change
// handlers, repeated at most kMaxFramePasses times while handlers change state), draws the
// settled result into a display list and routes raw pointer and key events. Main thread only.
class ViewHost {
 public:
  explicit ViewHost(AnyView root, std::shared_ptr<const TextMeasurer> measurer = nullptr);
  ~ViewHost();
  ViewHost(const ViewHost&) = delete;
  ViewHost& operator=(const ViewHost&) = delete;

  void setRoot(AnyView root);
  // Values under every view (colour scheme, display scale...), below the host's measurer.
  void setEnvironment(Environment environment);
  // The size offered to the root; an absent dimension asks for its ideal size.
  void setProposal(ProposedSize proposal);

  // Runs a frame when something changed (or always when `force`). Returns the passes run.
  int update(bool force = false);
  bool needsUpdate() const;
  // Called whenever state changes and a frame is due (a backend schedules one).
  void setNeedsUpdateHandler(std::function<void()> handler);
  int lastPassCount() const;
  // Frames run so far: what was read of the tree in one frame holds until the next.
  std::uint64_t frameCount() const;

  Size rootSize() const;
  // The root's size for another proposal (its minimum at {0, 0}), after a frame ran.
  Size sizeThatFits(ProposedSize proposal) const;
  // What the settled tree draws where it can be seen: within `visible` (a window area), else
  // within the window the proposal describes (its unspecified dimensions as large as the root).
  // What lies wholly outside is left out, as is what the tree's own clips hide (scrolled out
  // of view).
  DisplayList render(std::optional<Rect> visible = std::nullopt) const;
  // The laid-out tree, one line per node: kind, frame in window coordinates, key attributes.
  std::string dump() const;
  // Window frame of the first view marked with `.accessibilityIdentifier(identifier)`.
  std::optional<Rect> frameOf(std::string_view identifier) const;
  std::optional<std::string> accessibilityLabelOf(std::string_view identifier) const;

  // What a screen reader reads: the window's elements under this root, the element with the
  // keyboard focus, and a handler told whenever the focus moves. The dump lists the elements,
  // one a line, indented by depth (tests).
  AccessibleElement accessibleRoot() const;
  AccessibleElement focusedAccessibleElement() const;
  void setAccessibilityFocusHandler(std::function<void()> handler);
  std::string accessibilityDump() const;

  // Raw input, window coordinates. A press elsewhere than on selectable text clears the
  // selection; a press on a focusable view focuses it.
  void pointerMoved(const PointerEvent& event);
  // True when a view took the press (one that follows the pointer or takes the focus there);
  // a press on the background is the window's (a frameless window moves by it).
  bool pointerPressed(const PointerEvent& event);
  void pointerReleased(const PointerEvent& event);
  void pointerLeft();  // the pointer left the window: nothing is hovered
  bool scrolled(Point p, double dx, double dy);
  // Tab and Shift+Tab move the focus unless a view takes them; Ctrl+C copies the selected
  // text to the copy handler unless a view takes it. Returns whether a view handled it.
  bool keyPressed(const KeyEvent& event);
  bool textInput(const TextInputEvent& event);
  CursorShape cursorAt(Point p) const;

  // Focus, by the identity of a focusable view (`.focusable`, a Representable's id).
  std::optional<Identity> focusedId() const;
  bool focus(const Identity& id);
  void clearFocus();
  bool focusNext();
  bool focusPrevious();

  // Hosted widgets are made by this factory (none: Representables are only sized and
  // placed). Set it before the first update.
  void setWidgetFactory(std::shared_ptr<WidgetFactory> factory);
  // Receives the selected text on Ctrl+C.
  void setCopyHandler(std::function<void(const std::string&)> handler);
  std::optional<std::string> selectedText() const;

  struct Stats {
    std::size_t bodiesEvaluated = 0, nodesUpdated = 0, nodesMeasured = 0, nodesCreated = 0;
  };
  Stats stats() const;
  void resetStats();
  std::size_t nodeCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
