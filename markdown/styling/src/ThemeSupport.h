#pragma once

// Shorthands for building the built-in themes.

#include "markdown/BlockMargin.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/RelativeModifiers.h"
#include "markdown/Theme.h"

namespace markdown::themes {

inline RelativeSize em(double v) {
  return RelativeSize::em(v);
}
inline RelativeSize rem(double v) {
  return RelativeSize::rem(v);
}
inline const RelativeSize zero = RelativeSize::zero;

inline ui::AnyView margin(const ui::AnyView& v, std::optional<RelativeSize> top,
                          std::optional<RelativeSize> bottom) {
  return markdownMargin(v, top, bottom);
}
inline ui::AnyView margin(const ui::AnyView& v, double top, double bottom) {
  return markdownMargin(v, std::optional<double>(top), std::optional<double>(bottom));
}

inline FontWeight semibold() {
  return FontWeight(ui::Font::Weight::semibold);
}
inline FontFamilyVariant monospaced() {
  return FontFamilyVariant(FontProperties::FamilyVariant::monospaced);
}

}  // namespace markdown::themes
