#include "markdown/RelativeModifiers.h"

#include <cmath>

#include "markdown/TextStyleAttributesReader.h"

namespace markdown {

std::optional<double> usableLength(double points) {
  if (!std::isfinite(points) || points < 0) return std::nullopt;
  return points;
}

namespace {

const FontProperties* propertiesIn(const ui::AttributeContainer& attributes) {
  return attributes.get<FontPropertiesAttribute>();
}

std::optional<double> resolved(const std::optional<RelativeSize>& size, const FontProperties* p) {
  if (!size) return std::nullopt;
  return usableLength(size->points(p));
}

}  // namespace

ui::AnyView relativeFrame(const ui::AnyView& view, std::optional<RelativeSize> width,
                          std::optional<RelativeSize> height, ui::Alignment alignment) {
  return TextStyleAttributesReader([=](const ui::AttributeContainer& attributes) {
    const FontProperties* p = propertiesIn(attributes);
    const std::optional<double> w = resolved(width, p);
    const std::optional<double> h = resolved(height, p);
    return view.frame(w, h, alignment);
  });
}

ui::AnyView relativeFrame(const ui::AnyView& view, RelativeSize minWidth, ui::Alignment alignment) {
  return TextStyleAttributesReader([=](const ui::AttributeContainer& attributes) {
    ui::FrameBounds bounds;
    bounds.minWidth = resolved(minWidth, propertiesIn(attributes));
    return view.frame(bounds, alignment);
  });
}

ui::AnyView relativePadding(const ui::AnyView& view, ui::EdgeSet edges, RelativeSize length) {
  return TextStyleAttributesReader([=](const ui::AttributeContainer& attributes) {
    return view.padding(edges, resolved(length, propertiesIn(attributes)).value_or(0));
  });
}

ui::AnyView relativeLineSpacing(const ui::AnyView& view, RelativeSize spacing) {
  return TextStyleAttributesReader([=](const ui::AttributeContainer& attributes) {
    return view.lineSpacing(resolved(spacing, propertiesIn(attributes)).value_or(0));
  });
}

}  // namespace markdown
