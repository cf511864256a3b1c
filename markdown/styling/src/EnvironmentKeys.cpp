#include "markdown/EnvironmentKeys.h"

namespace markdown {

TextStyleKey::Value TextStyleKey::defaultValue() {
  static const AnyTextStyle style = std::make_shared<const FontPropertiesStyle>(FontProperties{});
  return style;
}

}  // namespace markdown
