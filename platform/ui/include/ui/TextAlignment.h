#pragma once

namespace ui {

// How the lines of a multi-line text align with each other.
enum class TextAlignment { leading, center, trailing };

}  // namespace ui
