#pragma once

#include <cstddef>

namespace panel {

// A hosted editor is as tall as its text, which is measured by the layer's own text layout: of a
// text longer than this (in bytes) only the beginning is measured, far taller already than the
// area that shows the editor, which then scrolls. The editor holds the whole text.
inline constexpr std::size_t kShownTextLimit = 24 * 1024;

}  // namespace panel
