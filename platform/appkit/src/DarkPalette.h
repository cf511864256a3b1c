#pragma once

#include <QPalette>

namespace appkit {

// The panel is always dark, whatever the desktop's scheme.
QPalette darkPalette();

}  // namespace appkit
