#include "ui/LineStyle.h"

#include "ui/Hash.h"

namespace ui {

std::size_t LineStyle::hash() const {
  std::size_t seed = static_cast<std::size_t>(pattern);
  hashCombine(seed, color.has_value());
  if (color) hashCombine(seed, *color);
  return seed;
}

}  // namespace ui
