#pragma once

#include <vector>

#include "foundation/URL.h"
#include "markdown/Block.h"
#include "markdown/ColorScheme.h"

namespace markdown {

// Whether an image at `url` shows in `scheme`: a "#gh-dark-mode-only" image hides in the
// light scheme, a "#gh-light-mode-only" one in the dark scheme (fragments compared whole,
// ignoring case).
bool isVisible(const foundation::URL& url, ColorScheme scheme);

// The same blocks with the images hidden in `scheme` removed. Every block, cell and link
// stays, possibly empty; an image's own alternative text is left as it is.
std::vector<Block> filterImages(const std::vector<Block>& blocks, ColorScheme scheme);

}  // namespace markdown
