#pragma once

#include "ui/View.h"

namespace ui {

// Shows `front`. `back` is built and laid out at every size `front` is given, ready to take its
// place, but is neither drawn nor hit, focused, found by identity or accessibility, nor adds to
// the preferences above; its appear hooks and tasks run as usual. A view with an explicit id
// that moves from back to front keeps its node, its state and its layout, so the swap costs
// what changed in it rather than a build from nothing.
AnyView Backstage(AnyView front, AnyView back);

}  // namespace ui
