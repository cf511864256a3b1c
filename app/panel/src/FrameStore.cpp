#include "panel/FrameStore.h"

#include <algorithm>
#include <cmath>

namespace panel {

namespace {

// How much of a restored frame must be on a screen for the user to reach it.
constexpr double kMinimumVisible = 40;
constexpr double kMinimumSide = 1;
constexpr double kMaximumSide = 100000;

double overlap(double a0, double a1, double b0, double b1) {
  return std::min(a1, b1) - std::max(a0, b0);
}

}  // namespace

void FrameStore::save(const std::string& name, const ui::Rect& frame) {
  defaults_.set(name,
                {{"x", frame.x}, {"y", frame.y}, {"width", frame.width}, {"height", frame.height}});
}

std::optional<ui::Rect> FrameStore::restorable(const std::string& name,
                                               const std::vector<ui::Rect>& screens) const {
  const auto stored = defaults_.objectForKey(name);
  if (!stored || !stored->is_object()) return std::nullopt;
  double values[4];
  const char* keys[4] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    auto it = stored->find(keys[i]);
    if (it == stored->end() || !it->is_number()) return std::nullopt;
    values[i] = it->get<double>();
    if (!std::isfinite(values[i])) return std::nullopt;
  }
  const ui::Rect frame{values[0], values[1], values[2], values[3]};
  if (frame.width < kMinimumSide || frame.height < kMinimumSide || frame.width > kMaximumSide ||
      frame.height > kMaximumSide)
    return std::nullopt;
  for (const auto& screen : screens) {
    const double w = overlap(frame.x, frame.x + frame.width, screen.x, screen.x + screen.width);
    const double h = overlap(frame.y, frame.y + frame.height, screen.y, screen.y + screen.height);
    if (w >= std::min(kMinimumVisible, frame.width) && h >= std::min(kMinimumVisible, frame.height))
      return frame;
  }
  return std::nullopt;
}

}  // namespace panel
