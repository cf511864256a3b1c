#pragma once

#include <charconv>
#include <concepts>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace markdown {

// The text form a table cell shows for a property value. Integers print in decimal;
// floating-point numbers in their shortest form that reads back the same ("1" for 1.0).
template <class T>
std::string canonicalText(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    return value ? "true" : "false";
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return std::string(std::string_view(value));
  } else if constexpr (std::is_arithmetic_v<T>) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ec == std::errc() ? result.ptr : buffer);
  } else {
    std::ostringstream out;
    out << value;
    return out.str();
  }
}

}  // namespace markdown
