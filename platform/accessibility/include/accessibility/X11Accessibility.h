#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "accessibility/Accessibility.h"
#include "accessibility/KeyEventPoster.h"
#include "appkit/Pasteboard.h"
#include "appkit/Workspace.h"

namespace accessibility {

struct X11AccessibilityOptions {
  std::string displayName;  // empty: $DISPLAY
  // How long the owner of the PRIMARY selection may take to answer.
  std::chrono::milliseconds selectionTimeout{300};
  // How long after a paste the clipboard gets its earlier contents back.
  std::chrono::milliseconds clipboardRestoreDelay{500};
};

// What X11 offers in place of an accessibility interface:
// - trusted: an X display can be reached;
// - the focused element: the window in front (the workspace's front application), as
//   Element::uiElement(window id, pid);
// - its selected text: the PRIMARY selection, only while its owner belongs to that window (the
//   owner lies inside it, shares its client leader, or comes from its process). What another
//   window selected, a refused conversion and no owner at all read as empty text;
// - its value and selected range: a window's text cannot be read, so it is seen as holding
//   only a caret: empty text, range {0, 0};
// - its role: role::kTerminal for the windows of terminal emulators (by window class), else
//   role::kWindow;
// - writing its selected text: the text goes on the clipboard, the window is brought
//   back to the front and Ctrl+V is typed into it; the earlier clipboard contents return after
//   the restore delay, through the main queue, unless something else was copied meanwhile. A
//   window that is gone or cannot be brought back gets nothing;
// - writing the selected range, "AXEnhancedUserInterface" and "AXManualAccessibility": accepted
//   and ignored;
// - text markers: not supported.
// Reads wait at most the selection time-out for the owner; writes wait for the clipboard and
// the activation of the window. Call them off the main thread.
class X11Accessibility : public Accessibility {
 public:
  // The clipboard, workspace and key poster must outlive this object.
  X11Accessibility(appkit::Pasteboard& clipboard, appkit::Workspace& workspace,
                   KeyEventPoster& keys, X11AccessibilityOptions options = {});
  // Puts back the clipboard of a paste whose restore is still pending.
  ~X11Accessibility() override;

  bool isProcessTrusted() override;
  Result<Value> copyAttributeValue(const Element& element, std::string_view attribute) override;
  Result<Value> copyParameterizedAttributeValue(const Element& element, std::string_view attribute,
                                                const Value& parameter) override;
  AXError setAttributeValue(const Element& element, std::string_view attribute,
                            const Value& value) override;

 private:
  struct State;
  bool primaryBelongsTo(const Element& element);
  Result<std::string> selectedText(const Element& element);
  AXError paste(const Element& element, const std::string& text);

  appkit::Workspace& workspace_;
  KeyEventPoster& keys_;
  X11AccessibilityOptions options_;
  std::shared_ptr<State> state_;
};

}  // namespace accessibility
