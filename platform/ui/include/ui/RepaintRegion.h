#pragma once

#include <vector>

#include "ui/DisplayList.h"
#include "ui/Geometry.h"

namespace ui {

// Window areas, in points, whose pixels must be painted again. The rectangles may overlap.
class RepaintRegion {
 public:
  // Rectangles that overlap enough are kept as one; past a few dozen, the region is their
  // bounds (a scroll moves everything under its clip anyway).
  void add(const Rect& rect);
  const std::vector<Rect>& rects() const { return rects_; }
  bool isEmpty() const { return rects_.empty(); }
  Rect bounds() const;
  bool intersects(const Rect& rect) const;

  // Where painting `after` over what `before` painted can leave other pixels: the ink of the
  // items that only one of them draws (an item counts as the same when it and the
  // transforms, clips and opacity it is drawn under are), and of those drawn in another order.
  // Linear in the two lists' items.
  static RepaintRegion between(const DisplayList& before, const DisplayList& after);

 private:
  std::vector<Rect> rects_;
};

// Follows the transforms, clips and opacities of a display list, item by item as a painter
// does, and tells the window area each item can paint: its bounds moved by the transforms, cut
// by the clips, widened for antialiasing, pen widths and glyphs that reach past their frame.
// Empty for the items that change the state and for what draws nothing.
class InkTracker {
 public:
  InkTracker();
  Rect next(const DisplayItem& item);

  struct State {
    Point offset;
    double opacity = 1;
    Rect clip;  // window area the clips leave
    bool clipped = false;
    bool operator==(const State&) const = default;
  };
  const State& state() const { return states_.back(); }
  // Equal trackers take what follows alike.
  bool operator==(const InkTracker&) const = default;

 private:
  std::vector<State> states_;
};

}  // namespace ui
