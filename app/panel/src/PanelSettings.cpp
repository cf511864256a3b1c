#include "panel/PanelSettings.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace panel {

double clampedFontSize(double size) {
  if (!std::isfinite(size)) return kDefaultFontSize;
  return std::clamp(size, kMinimumFontSize, kMaximumFontSize);
}

double fontSizeUp(double size) {
  return clampedFontSize(clampedFontSize(size) + kFontSizeStep);
}

double fontSizeDown(double size) {
  return clampedFontSize(clampedFontSize(size) - kFontSizeStep);
}

double storedFontSize(const foundation::UserDefaults& defaults) {
  // Only a number counts: a stored text or flag is no size.
  const auto value = defaults.objectForKey(kFontSizeKey);
  if (!value || !value->is_number()) return kDefaultFontSize;
  return clampedFontSize(value->get<double>());
}

bool storedMarkdownOn(const foundation::UserDefaults& defaults) {
  if (!defaults.has(kMarkdownOnKey)) return true;
  return defaults.boolForKey(kMarkdownOnKey);
}

}  // namespace panel
