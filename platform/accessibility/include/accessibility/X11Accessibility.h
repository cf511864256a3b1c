#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
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
//   Element::uiElement(window id, pid). Reading it remembers how the window looks: its title
//   and the owner and TIMESTAMP of PRIMARY;
// - its selected text: the PRIMARY selection, only while its owner belongs to that window (the
//   owner lies inside it, shares its client leader, or comes from its process), and only when
//   the window took no input but the hot key, modifier keys and Shift with caret keys (which
//   extend the selection) after the selection was made (the selection's TIMESTAMP against the
//   window's _NET_WM_USER_TIME and the display's key and button presses; not judged without
//   XInput 2 or a user time): the focus may have gone to another field of the window, one that
//   sets no PRIMARY. What another window selected, a stale or refused selection and no owner at
//   all read as empty text. Reading it remembers the window's look again;
// - its value and selected range: a window's text cannot be read, so it is seen as holding
//   only a caret: empty text, range {0, 0}; kAXErrorInvalidUIElement once the window is gone
//   or no longer looks as last remembered (another document, another selection);
// - its role: role::kTerminal for the windows of terminal emulators (by window class), else
//   role::kWindow;
// - writing its selected text: unless it is a terminal (kAXErrorCannotComplete) or looks other
//   than remembered (kAXErrorInvalidUIElement), the text goes on the clipboard, the window is
//   brought back to the front, looked at again, and Ctrl+V is typed into it; the earlier
//   clipboard contents return after the restore delay, through the main queue, unless something
//   else was copied meanwhile. A window that is gone or cannot be brought back gets nothing;
// - writing the selected range, "AXEnhancedUserInterface" and "AXManualAccessibility": accepted
//   and ignored (the caret stays behind the pasted text);
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
  struct WindowLook;
  bool primaryBelongsTo(const Element& element);
  // The TIMESTAMP its owner gives PRIMARY, if any.
  std::optional<std::uint32_t> primaryTime();
  WindowLook lookOf(std::uint32_t window, int processIdentifier);
  void rememberLook(std::uint32_t window, int processIdentifier);
  // The element's window still shows what the last capture saw there.
  bool showsWhatWasCaptured(const Element& element);
  // The window took other input than modifiers after the selection made at `selected`.
  bool selectionOutlived(const Element& element, std::optional<std::uint32_t> selected);
  Result<std::string> selectedText(const Element& element);
  Result<std::string> primaryTextOf(const Element& element);
  AXError paste(const Element& element, const std::string& text);

  appkit::Workspace& workspace_;
  KeyEventPoster& keys_;
  X11AccessibilityOptions options_;
  std::shared_ptr<State> state_;
};

}  // namespace accessibility
