#include "markdown/BlockMargin.h"

#include <algorithm>

#include "markdown/TextStyleAttributesReader.h"

namespace markdown {
namespace {

std::optional<double> larger(std::optional<double> a, std::optional<double> b) {
  if (a && b) return std::max(*a, *b);
  return a ? a : b;
}

}  // namespace

void BlockMargin::merge(std::optional<double> newTop, std::optional<double> newBottom) {
  top = larger(top, newTop);
  bottom = larger(bottom, newBottom);
}

ui::AnyView markdownMargin(const ui::AnyView& view, std::optional<double> top,
                           std::optional<double> bottom) {
  return view.transformPreference<BlockMarginsPreference>(
      [top, bottom](BlockMargin& margin) { margin.merge(top, bottom); });
}

ui::AnyView markdownMargin(const ui::AnyView& view, std::optional<RelativeSize> top,
                           std::optional<RelativeSize> bottom) {
  return TextStyleAttributesReader([view, top, bottom](const ui::AttributeContainer& attributes) {
    const FontProperties* p = attributes.get<FontPropertiesAttribute>();
    std::optional<double> t, b;
    if (top) t = top->points(p);
    if (bottom) b = bottom->points(p);
    return markdownMargin(view, t, b);
  });
}

}  // namespace markdown
