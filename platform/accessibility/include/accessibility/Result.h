#pragma once

#include <concepts>
#include <optional>
#include <type_traits>
#include <utility>

#include "accessibility/AXError.h"

namespace accessibility {

// A value, or the code of the failure that prevented it.
template <class T>
class Result {
 public:
  template <class U>
  requires std::constructible_from<T, U> &&
      (!std::same_as<std::remove_cvref_t<U>, AXError>)Result(U&& value)
      : value_(std::forward<U>(value)) {}
  // A failure; kAXErrorSuccess is taken as kAXErrorFailure, as it names no value.
  Result(AXError error) : error_(error == kAXErrorSuccess ? kAXErrorFailure : error) {}

  bool ok() const { return value_.has_value(); }
  const T& value() const { return *value_; }
  T& value() { return *value_; }
  // kAXErrorSuccess when there is a value.
  AXError error() const { return value_ ? kAXErrorSuccess : error_; }

 private:
  std::optional<T> value_;
  AXError error_ = kAXErrorSuccess;
};

}  // namespace accessibility
