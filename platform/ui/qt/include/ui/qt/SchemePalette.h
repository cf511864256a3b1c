#pragma once

#include <QPalette>

#include "ui/Color.h"

class QStyle;

namespace ui::qt {

// The palette native widgets draw with under a scheme: the style's own for light, ours for
// dark (Qt has no dark palette of its own).
QPalette schemePalette(ColorScheme scheme, const QStyle& style);
// The scheme a palette shows: a dark window background means dark.
ColorScheme schemeOf(const QPalette& palette);
// Placeholders read as hints, lighter than typed text yet readable on their field (4.5:1),
// whatever the desktop's palette made of them.
void makePlaceholdersReadable(QPalette& palette);

}  // namespace ui::qt
