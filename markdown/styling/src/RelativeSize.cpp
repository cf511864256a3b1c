#include "markdown/RelativeSize.h"

#include <functional>

namespace markdown {

double RelativeSize::points(const FontProperties* relativeTo) const {
  const FontProperties p = relativeTo ? *relativeTo : FontProperties{};
  const double base = unit == Unit::rem ? p.size : p.scaledSize();
  return roundPoints(base * value);
}

double RelativeSize::points(const std::optional<FontProperties>& relativeTo) const {
  return points(relativeTo ? &*relativeTo : nullptr);
}

std::size_t RelativeSize::hash() const {
  std::size_t seed = std::hash<double>{}(value);
  return seed ^
         (static_cast<std::size_t>(unit) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace markdown
