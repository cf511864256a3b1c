#pragma once

#include <vector>

namespace ui {

struct StrokeStyle {
  enum class Cap { butt, round, square };
  enum class Join { miter, round, bevel };

  double lineWidth = 1;
  Cap cap = Cap::butt;
  Join join = Join::miter;
  double miterLimit = 10;
  std::vector<double> dash;  // on, off, on, ... lengths; empty draws a solid line
  double dashPhase = 0;

  bool operator==(const StrokeStyle&) const = default;
};

}  // namespace ui
