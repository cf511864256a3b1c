#pragma once

#include <functional>

#include "ui/AttributeContainer.h"
#include "ui/View.h"

namespace markdown {

// Shows what `content` makes of the attributes the text style in force collects into a fresh
// container; rebuilt whenever that style changes.
ui::AnyView TextStyleAttributesReader(
    std::function<ui::AnyView(const ui::AttributeContainer&)> content);

}  // namespace markdown
