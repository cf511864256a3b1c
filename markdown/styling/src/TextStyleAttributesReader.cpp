#include "markdown/TextStyleAttributesReader.h"

#include "markdown/EnvironmentKeys.h"

namespace markdown {

ui::AnyView TextStyleAttributesReader(
    std::function<ui::AnyView(const ui::AttributeContainer&)> content) {
  return ui::EnvironmentReader([content = std::move(content)](const ui::Environment& env) {
    return content(collectedAttributes(env.get<TextStyleKey>()));
  });
}

}  // namespace markdown
