#pragma once

#include <optional>
#include <vector>

#include "ui/View.h"

namespace ui {

// Children top to bottom; width = the widest child, x from the alignment.
AnyView VStack(HAlign alignment, std::optional<double> spacing, std::vector<AnyView> children);
AnyView VStack(std::vector<AnyView> children);
// Children left to right; the width is shared out least flexible first (higher layout priority
// first); height = the tallest, y from the alignment (first-line guides included).
AnyView HStack(VAlign alignment, std::optional<double> spacing, std::vector<AnyView> children);
AnyView HStack(std::vector<AnyView> children);
// Children back to front, all proposed the same size, aligned in the union of their frames.
AnyView ZStack(Alignment alignment, std::vector<AnyView> children);
AnyView ZStack(std::vector<AnyView> children);

// Takes the room a stack offers along its axis (at least `minLength`); 0 when unspecified.
AnyView Spacer(std::optional<double> minLength = std::nullopt);
// A kDividerThickness line across a stack's cross axis (horizontal outside stacks).
AnyView Divider();

}  // namespace ui
