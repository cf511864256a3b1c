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
// - its selected text, and equally its value: the PRIMARY selection. There is no way to read a
//   whole text field, so the element is seen as holding just its selection, and the selected
//   range is all of it;
// - writing its selected text (or value): the text goes on the clipboard, the window is brought
//   back to the front and Ctrl+V is typed into it; the earlier clipboard contents return after
//   the restore delay, through the main queue, unless something else was copied meanwhile;
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
  Result<std::string> selectedText();
  AXError paste(const Element& element, const std::string& text);

  appkit::Workspace& workspace_;
  KeyEventPoster& keys_;
  X11AccessibilityOptions options_;
  std::shared_ptr<State> state_;
};

}  // namespace accessibility
