#include "accessibility/DesktopAccessibility.h"

#include <chrono>
#include <thread>

#include "accessibility/Attributes.h"

namespace accessibility {

DesktopAccessibility::DesktopAccessibility(std::shared_ptr<AtspiAccessibility> bus,
                                           Accessibility& x11, appkit::Workspace& workspace)
    : bus_(std::move(bus)), x11_(x11), workspace_(workspace) {}

bool DesktopAccessibility::isProcessTrusted() {
  return !(bus_ && bus_->bus() == AccessibilityBus::disabled) && x11_.isProcessTrusted();
}

Result<Value> DesktopAccessibility::copyAttributeValue(const Element& element,
                                                       std::string_view attribute) {
  if (AtspiAccessibility::owns(element)) {
    if (attribute == attribute::kWindow) {
      const auto window = bus_->windowOf(element);
      if (!window || window->windowId == 0) return kAXErrorNoValue;
      return Value(Element::uiElement(window->windowId, window->processIdentifier));
    }
    auto value = bus_->copyAttributeValue(element, attribute);
    if (attribute == attribute::kRole && value.ok() &&
        value.value() != Value(std::string(role::kTerminal))) {
      if (const auto window = bus_->windowOf(element)) {
        auto windowRole = x11_.copyAttributeValue(
            Element::uiElement(window->windowId, window->processIdentifier), attribute::kRole);
        if (windowRole.ok() && windowRole.value() == Value(std::string(role::kTerminal)))
          return windowRole;
      }
    }
    return value;
  }
  if (bus_ && element.kind() != Element::Kind::UIElement &&
      attribute == attribute::kFocusedUIElement) {
    const auto front = workspace_.frontmostApplication();
    const bool asked = front && (element.kind() == Element::Kind::SystemWide ||
                                 element.processIdentifier() == front->processIdentifier);
    if (asked) {
      auto focused = bus_->focusedTextElement(*front);
      if (focused.ok()) {
        // Asked of X11 as well: it remembers how the window looks, which a paste into it
        // must still find.
        x11_.copyAttributeValue(element, attribute);
        return Value(settledFocus(*front, focused.value()));
      }
    }
  }
  return x11_.copyAttributeValue(element, attribute);
}

Element DesktopAccessibility::settledFocus(const appkit::RunningApplication& front,
                                           Element focused) {
  // A browser shows a new focus and selection on the bus a while after it drew them. While the
  // window's primary selection, made there with no input since, says otherwise, the bus is
  // asked again for a while; it alone says what the selection is.
  const auto primary = x11_.copyAttributeValue(
      Element::uiElement(front.windowId, front.processIdentifier), attribute::kSelectedText);
  if (!primary.ok() || primary.value() == Value(std::string())) return focused;
  auto agrees = [&](const Element& text) {
    const auto selected = bus_->copyAttributeValue(text, attribute::kSelectedText);
    return !selected.ok() || selected.value() == primary.value();
  };
  const auto deadline = std::chrono::steady_clock::now() + kBusCatchUp;
  while (!agrees(focused) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kBusCatchUpInterval);
    if (auto again = bus_->focusedTextElement(front); again.ok()) focused = again.value();
  }
  return focused;
}

Result<Value> DesktopAccessibility::copyParameterizedAttributeValue(const Element& element,
                                                                    std::string_view attribute,
                                                                    const Value& parameter) {
  if (AtspiAccessibility::owns(element)) return kAXErrorParameterizedAttributeUnsupported;
  return x11_.copyParameterizedAttributeValue(element, attribute, parameter);
}

AXError DesktopAccessibility::setAttributeValue(const Element& element, std::string_view attribute,
                                                const Value& value) {
  if (!AtspiAccessibility::owns(element)) return x11_.setAttributeValue(element, attribute, value);
  // The user goes on where the answer goes. Brought back first: a window that gets the
  // keyboard back afterwards may still move its caret.
  if (attribute == attribute::kSelectedText) {
    if (const auto window = bus_->windowOf(element)) workspace_.activate(*window);
  }
  return bus_->setAttributeValue(element, attribute, value);
}

}  // namespace accessibility
