#include "accessibility/FakeAccessibility.h"

namespace accessibility {

std::uint64_t FakeAccessibility::keyOf(const Element& element) {
  switch (element.kind()) {
    case Element::Kind::SystemWide:
      return 0;
    case Element::Kind::Application:
      return (std::uint64_t{1} << 62) | static_cast<std::uint32_t>(element.processIdentifier());
    case Element::Kind::UIElement:
      return element.id();
  }
  return 0;
}

bool FakeAccessibility::isProcessTrusted() {
  std::lock_guard lock(mutex_);
  return trusted_;
}

Result<Value> FakeAccessibility::read(const std::map<Key, Slot>& slots, const Element& element,
                                      std::string_view attribute) const {
  if (element.kind() == Element::Kind::UIElement &&
      (element.id() == 0 || element.id() >= nextElement_))
    return kAXErrorInvalidUIElement;
  auto it = slots.find({keyOf(element), std::string(attribute)});
  if (it == slots.end()) {
    if (element.kind() == Element::Kind::SystemWide && attribute == attribute::kFocusedUIElement)
      return kAXErrorNoValue;
    return kAXErrorAttributeUnsupported;
  }
  if (it->second.value) return *it->second.value;
  return it->second.error;
}

Result<Value> FakeAccessibility::copyAttributeValue(const Element& element,
                                                    std::string_view attribute) {
  std::lock_guard lock(mutex_);
  return read(attributes_, element, attribute);
}

Result<Value> FakeAccessibility::copyParameterizedAttributeValue(const Element& element,
                                                                 std::string_view attribute,
                                                                 const Value& parameter) {
  std::lock_guard lock(mutex_);
  parameterizedReads_.push_back({element, std::string(attribute), parameter});
  return read(parameterized_, element, attribute);
}

AXError FakeAccessibility::setAttributeValue(const Element& element, std::string_view attribute,
                                             const Value& value) {
  std::lock_guard lock(mutex_);
  if (element.kind() == Element::Kind::UIElement &&
      (element.id() == 0 || element.id() >= nextElement_))
    return kAXErrorInvalidUIElement;
  Key key{keyOf(element), std::string(attribute)};
  if (auto it = writeErrors_.find(key); it != writeErrors_.end()) return it->second;
  writes_.push_back({element, std::string(attribute), value});
  attributes_[key] = Slot{value, kAXErrorSuccess};
  return kAXErrorSuccess;
}

void FakeAccessibility::setTrusted(bool trusted) {
  std::lock_guard lock(mutex_);
  trusted_ = trusted;
}

Element FakeAccessibility::addElement(int processIdentifier) {
  std::lock_guard lock(mutex_);
  return Element::uiElement(nextElement_++, processIdentifier);
}

void FakeAccessibility::setFocusedElement(const Element& element) {
  setAttribute(Element::systemWide(), attribute::kFocusedUIElement, element);
}

void FakeAccessibility::setFocusedElementError(AXError error) {
  setAttributeError(Element::systemWide(), attribute::kFocusedUIElement, error);
}

void FakeAccessibility::setAttribute(const Element& element, std::string_view attribute,
                                     Value value) {
  std::lock_guard lock(mutex_);
  attributes_[{keyOf(element), std::string(attribute)}] = Slot{std::move(value), kAXErrorSuccess};
}

void FakeAccessibility::setAttributeError(const Element& element, std::string_view attribute,
                                          AXError error) {
  std::lock_guard lock(mutex_);
  attributes_[{keyOf(element), std::string(attribute)}] = Slot{std::nullopt, error};
}

void FakeAccessibility::setParameterizedAttribute(const Element& element,
                                                  std::string_view attribute, Value value) {
  std::lock_guard lock(mutex_);
  parameterized_[{keyOf(element), std::string(attribute)}] =
      Slot{std::move(value), kAXErrorSuccess};
}

void FakeAccessibility::setParameterizedAttributeError(const Element& element,
                                                       std::string_view attribute, AXError error) {
  std::lock_guard lock(mutex_);
  parameterized_[{keyOf(element), std::string(attribute)}] = Slot{std::nullopt, error};
}

void FakeAccessibility::setWriteError(const Element& element, std::string_view attribute,
                                      AXError error) {
  std::lock_guard lock(mutex_);
  Key key{keyOf(element), std::string(attribute)};
  if (error == kAXErrorSuccess)
    writeErrors_.erase(key);
  else
    writeErrors_[key] = error;
}

std::vector<FakeAccessibility::Write> FakeAccessibility::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::vector<FakeAccessibility::ParameterizedRead> FakeAccessibility::parameterizedReads() const {
  std::lock_guard lock(mutex_);
  return parameterizedReads_;
}

}  // namespace accessibility
