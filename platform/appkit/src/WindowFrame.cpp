#include "appkit/WindowFrame.h"

#include <algorithm>
#include <cmath>

#include "foundation/UserDefaults.h"

namespace appkit {
namespace {

double overlapArea(const ui::Rect& a, const ui::Rect& b) {
  const double w = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
  const double h = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
  return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

nlohmann::json encodeFrame(const ui::Rect& frame) {
  return {{"x", frame.x}, {"y", frame.y}, {"width", frame.width}, {"height", frame.height}};
}

std::optional<ui::Rect> decodeFrame(const nlohmann::json& value) {
  if (!value.is_object()) return std::nullopt;
  double parts[4];
  const char* keys[4] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    auto it = value.find(keys[i]);
    if (it == value.end() || !it->is_number()) return std::nullopt;
    parts[i] = it->get<double>();
    if (!std::isfinite(parts[i])) return std::nullopt;
  }
  ui::Rect frame{parts[0], parts[1], parts[2], parts[3]};
  if (frame.width <= 0 || frame.height <= 0) return std::nullopt;
  return frame;
}

ui::Rect clampFrameToScreens(ui::Rect frame, const std::vector<ui::Rect>& screens,
                             ui::Size minimum) {
  if (screens.empty()) return frame;
  const ui::Rect* best = &screens.front();
  double bestArea = 0;
  for (const auto& screen : screens) {
    const double area = overlapArea(frame, screen);
    if (area > bestArea) {
      bestArea = area;
      best = &screen;
    }
  }
  const ui::Rect& screen = *best;
  frame.width = std::min(std::max(frame.width, minimum.width), screen.width);
  frame.height = std::min(std::max(frame.height, minimum.height), screen.height);
  frame.x = std::clamp(frame.x, screen.minX(), screen.maxX() - frame.width);
  frame.y = std::clamp(frame.y, screen.minY(), screen.maxY() - frame.height);
  return frame;
}

ui::Size sizeFittingArea(ui::Size size, const ui::Rect& area) {
  return {std::clamp(size.width, 0.0, std::max(area.width, 0.0)),
          std::clamp(size.height, 0.0, std::max(area.height, 0.0))};
}

ui::Rect centredFrame(ui::Size size, const ui::Rect& area) {
  const ui::Size fitted = sizeFittingArea(size, area);
  // Whole pixels, so that rounding never pushes the far edge past the area's.
  const double x = area.x + std::floor((area.width - fitted.width) / 2);
  const double y = area.y + std::floor((area.height - fitted.height) / 2);
  return {x, y, fitted.width, fitted.height};
}

void saveFrame(foundation::UserDefaults& defaults, const std::string& name, const ui::Rect& frame) {
  defaults.set(name, encodeFrame(frame));
}

std::optional<ui::Rect> savedFrame(const foundation::UserDefaults& defaults,
                                   const std::string& name) {
  auto value = defaults.objectForKey(name);
  return value ? decodeFrame(*value) : std::nullopt;
}

}  // namespace appkit
