#pragma once

#include <string_view>

#include "accessibility/AXError.h"
#include "accessibility/Attributes.h"
#include "accessibility/Element.h"
#include "accessibility/Result.h"
#include "accessibility/Value.h"

namespace accessibility {

// The element and attribute operations on the applications of the desktop. Thread-safe. A
// backend may have to wait for another program to answer (boundedly): keep the calls off the
// main thread, e.g. on a foundation::OperationQueue posting the outcome to the main queue.
class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // Whether this program may use the operations at all.
  virtual bool isProcessTrusted() = 0;

  Element systemWideElement() const { return Element::systemWide(); }
  Element applicationElement(int processIdentifier) const {
    return Element::application(processIdentifier);
  }

  virtual Result<Value> copyAttributeValue(const Element& element, std::string_view attribute) = 0;
  virtual Result<Value> copyParameterizedAttributeValue(const Element& element,
                                                        std::string_view attribute,
                                                        const Value& parameter) = 0;
  virtual AXError setAttributeValue(const Element& element, std::string_view attribute,
                                    const Value& value) = 0;

  // "AXFocusedUIElement" of the system-wide element; a value that is no element is a failure.
  Result<Element> focusedElement();
};

}  // namespace accessibility
