#pragma once

#include <cstdint>

#include "ui/Color.h"

namespace markdown {

// 0xRRGGBBAA, each byte / 255, sRGB.
inline ui::Color colorFromRGBA(std::uint32_t rgba) {
  return ui::Color::rgba(rgba);
}

// Resolves to `light()` for the light scheme and to `dark()` for any other; both producers are
// called again on every resolution.
inline ui::Color lightDarkColor(ui::Color::Producer light, ui::Color::Producer dark) {
  return ui::Color::dynamic(std::move(light), std::move(dark));
}

// A theme colour constant over two packed values.
inline ui::Color lightDarkColor(std::uint32_t light, std::uint32_t dark) {
  return ui::Color::pair(colorFromRGBA(light), colorFromRGBA(dark));
}

}  // namespace markdown
