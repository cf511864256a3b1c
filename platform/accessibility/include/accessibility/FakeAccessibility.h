#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "accessibility/Accessibility.h"

namespace accessibility {

// Elements and attributes a test sets up. An attribute never set reads as
// kAXErrorAttributeUnsupported, except the system-wide focused element, which reads as
// kAXErrorNoValue until one is set. Successful writes are recorded and change what later reads
// return. Trust only changes isProcessTrusted.
class FakeAccessibility : public Accessibility {
 public:
  struct Write {
    Element element;
    std::string attribute;
    Value value;
    bool operator==(const Write&) const = default;
  };
  struct ParameterizedRead {
    Element element;
    std::string attribute;
    Value parameter;
    bool operator==(const ParameterizedRead&) const = default;
  };

  bool isProcessTrusted() override;
  Result<Value> copyAttributeValue(const Element& element, std::string_view attribute) override;
  Result<Value> copyParameterizedAttributeValue(const Element& element, std::string_view attribute,
                                                const Value& parameter) override;
  AXError setAttributeValue(const Element& element, std::string_view attribute,
                            const Value& value) override;

  void setTrusted(bool trusted);
  // A new UI element of the application with that process id.
  Element addElement(int processIdentifier = -1);
  void setFocusedElement(const Element& element);
  void setFocusedElementError(AXError error);
  void setAttribute(const Element& element, std::string_view attribute, Value value);
  void setAttributeError(const Element& element, std::string_view attribute, AXError error);
  // The answer whatever the parameter is; the parameters asked with are recorded.
  void setParameterizedAttribute(const Element& element, std::string_view attribute, Value value);
  void setParameterizedAttributeError(const Element& element, std::string_view attribute,
                                      AXError error);
  // Writes of that attribute fail with `error` (kAXErrorSuccess lets them succeed again).
  void setWriteError(const Element& element, std::string_view attribute, AXError error);

  std::vector<Write> writes() const;
  std::vector<ParameterizedRead> parameterizedReads() const;

 private:
  using Key = std::pair<std::uint64_t, std::string>;
  struct Slot {
    std::optional<Value> value;
    AXError error = kAXErrorAttributeUnsupported;
  };
  // Elements of different kinds must not share a slot.
  static std::uint64_t keyOf(const Element& element);
  Result<Value> read(const std::map<Key, Slot>& slots, const Element& element,
                     std::string_view attribute) const;

  mutable std::mutex mutex_;
  bool trusted_ = true;
  std::uint64_t nextElement_ = 1;
  std::map<Key, Slot> attributes_;
  std::map<Key, Slot> parameterized_;
  std::map<Key, AXError> writeErrors_;
  std::vector<Write> writes_;
  std::vector<ParameterizedRead> parameterizedReads_;
};

}  // namespace accessibility
