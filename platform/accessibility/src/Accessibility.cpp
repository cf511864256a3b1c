#include "accessibility/Accessibility.h"

namespace accessibility {

Result<Element> Accessibility::focusedElement() {
  auto value = copyAttributeValue(systemWideElement(), attribute::kFocusedUIElement);
  if (!value.ok()) return value.error();
  if (const auto* element = std::get_if<Element>(&value.value())) return *element;
  return kAXErrorFailure;
}

}  // namespace accessibility
