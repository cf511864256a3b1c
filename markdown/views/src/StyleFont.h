#pragma once

#include "markdown/EnvironmentKeys.h"
#include "markdown/FontProperties.h"
#include "ui/View.h"

namespace markdown {

// The view in the font of the text style in force, if that style sets one; code, HTML and list
// markers take their font this way.
inline ui::AnyView inStyleFont(const ui::AnyView& view, const ui::Environment& env) {
  const ui::AttributeContainer a = collectedAttributes(env.get<TextStyleKey>());
  const FontProperties* p = a.get<FontPropertiesAttribute>();
  return view.font(p ? std::optional<ui::Font>(fontWithProperties(*p)) : std::nullopt);
}

}  // namespace markdown
