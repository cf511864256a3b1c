#pragma once

#include "ui/Image.h"
#include "ui/View.h"

namespace ui {

// An image at its natural size (symbols sized from the environment's font and image scale);
// a resizable one stretches to what it is proposed. Symbols are drawn as paths in the
// foreground colour, by the environment's rendering mode.
AnyView ImageView(Image image);
inline AnyView SystemImage(std::string name) {
  return ImageView(Image::symbol(std::move(name)));
}

}  // namespace ui
