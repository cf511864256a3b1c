#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "ui/Alignment.h"
#include "ui/Identity.h"
#include "ui/View.h"

namespace ui {

enum class ScrollAxes { horizontal = 1, vertical = 2, both = 3 };

// Content proposed an unspecified length along the scrolled axes. Along them the view takes
// the proposal (the content's length when unspecified, never more); across them the content's.
// Clips; pointer-wheel events scroll it within the content's bounds.
AnyView ScrollView(ScrollAxes axes, bool showsIndicators, AnyView content);
inline AnyView ScrollView(AnyView content) {
  return ScrollView(ScrollAxes::vertical, true, std::move(content));
}

inline constexpr double kScrollIndicatorThickness = 3;

namespace detail {
struct NodeHandle;
}

// Scrolls the scroll views inside a ScrollViewReader (after the next layout) so that the
// view with explicit identity `id` (`.id(...)`, ForEach) shows: without an anchor by the
// least movement (none when it already shows), with one by putting the same unit point of
// the view and of the viewport together. Unknown identities do nothing.
class ScrollViewProxy {
 public:
  explicit ScrollViewProxy(std::weak_ptr<detail::NodeHandle> reader) : reader_(std::move(reader)) {}
  void scrollTo(Identity id, std::optional<UnitPoint> anchor = std::nullopt) const;

 private:
  std::weak_ptr<detail::NodeHandle> reader_;
};

AnyView ScrollViewReader(std::function<AnyView(ScrollViewProxy)> content);

}  // namespace ui
