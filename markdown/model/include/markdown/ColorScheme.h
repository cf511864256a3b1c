#pragma once

namespace markdown {

// The appearance content is shown in. The view layer maps its own colour scheme onto this,
// so that the model needs nothing of the views.
enum class ColorScheme { light, dark };

}  // namespace markdown
