#pragma once

#include <chrono>
#include <memory>

#include "accessibility/Accessibility.h"
#include "accessibility/AtspiAccessibility.h"
#include "appkit/Workspace.h"

namespace accessibility {

// The Linux desktop's answer to the focused element's questions: the accessibility bus where
// the application in front exposes a focused text there, else what X11 offers for its window
// (the primary selection it owns, a paste). Elements of either kind keep going to the layer
// that found them.
// - trusted: the X display can be reached, and the bus, where there is one, is enabled. Without
//   any bus only X11 is used, and nothing asks the user to turn anything on.
// - The focused element found on the bus is looked for again, for up to kBusCatchUp, while
//   its selection differs from the window's primary selection where X11 would take that (see
//   X11Accessibility): a browser shows a new focus and selection on the bus only a while after
//   it drew them. The bus's answer stands after that.
// - "AXRole" of a bus element is role::kTerminal also when its window's class is a terminal's.
// - "AXWindow" of a bus element is the X11 element of its window, where a paste goes.
// - Writing the selected text of a bus element brings its window back to the front first (as
//   far as the window manager lets it); the text itself never needs the window or the
//   clipboard.
// Thread-safe; the operations wait for other programs (boundedly): keep them off the main
// thread. isProcessTrusted never waits there (see AtspiAccessibility::bus).
class DesktopAccessibility : public Accessibility {
 public:
  // `bus` may be null (no accessibility bus support). The others must outlive this object.
  DesktopAccessibility(std::shared_ptr<AtspiAccessibility> bus, Accessibility& x11,
                       appkit::Workspace& workspace);

  static constexpr std::chrono::milliseconds kBusCatchUp{600};
  static constexpr std::chrono::milliseconds kBusCatchUpInterval{30};

  bool isProcessTrusted() override;
  Result<Value> copyAttributeValue(const Element& element, std::string_view attribute) override;
  Result<Value> copyParameterizedAttributeValue(const Element& element, std::string_view attribute,
                                                const Value& parameter) override;
  AXError setAttributeValue(const Element& element, std::string_view attribute,
                            const Value& value) override;

 private:
  Element settledFocus(const appkit::RunningApplication& front, Element focused);

  std::shared_ptr<AtspiAccessibility> bus_;
  Accessibility& x11_;
  appkit::Workspace& workspace_;
};

}  // namespace accessibility
