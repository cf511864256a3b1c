#include "panel/PanelWindow.h"

#include <algorithm>

namespace panel {

bool framesOverlap(const ui::Rect& frame, const std::vector<ui::Rect>& screens) {
  return std::any_of(screens.begin(), screens.end(), [&](const ui::Rect& screen) {
    return std::min(frame.maxX(), screen.maxX()) > std::max(frame.minX(), screen.minX()) &&
           std::min(frame.maxY(), screen.maxY()) > std::max(frame.minY(), screen.minY());
  });
}

}  // namespace panel
