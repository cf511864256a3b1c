#pragma once

#include <QKeyEvent>
#include <optional>

#include "appkit/KeyEquivalent.h"

namespace appkit {

// The key and modifiers of a key press; none for a lone modifier key or an unnamed key.
std::optional<KeyEquivalent> keyEquivalentOf(const QKeyEvent& event);

}  // namespace appkit
