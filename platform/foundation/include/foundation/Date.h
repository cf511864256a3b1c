#pragma once

#include <compare>

namespace foundation {

// A point in time as seconds since 1970-01-01 00:00 UTC.
struct Date {
  double timeIntervalSince1970 = 0;

  static Date now();
  bool operator==(const Date&) const = default;
  auto operator<=>(const Date&) const = default;
};

}  // namespace foundation
