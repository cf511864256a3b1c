#include "accessibility/DesktopAccessibility.h"

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
        return Value(focused.value());
      }
    }
  }
  return x11_.copyAttributeValue(element, attribute);
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
