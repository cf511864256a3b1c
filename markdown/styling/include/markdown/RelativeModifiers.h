#pragma once

#include <optional>

#include "markdown/RelativeSize.h"
#include "ui/View.h"

namespace markdown {

// Lengths resolved against the text style in force where the modifier stands. A resolved
// length that is not finite counts as 0 for padding and line spacing and as no constraint for
// frames; negative ones give no frame constraint and no padding or spacing.
ui::AnyView relativeFrame(const ui::AnyView& view, std::optional<RelativeSize> width,
                          std::optional<RelativeSize> height,
                          ui::Alignment alignment = ui::Alignment::center);
ui::AnyView relativeFrame(const ui::AnyView& view, RelativeSize minWidth,
                          ui::Alignment alignment = ui::Alignment::center);
ui::AnyView relativePadding(const ui::AnyView& view, ui::EdgeSet edges, RelativeSize length);
ui::AnyView relativeLineSpacing(const ui::AnyView& view, RelativeSize spacing);

// Points a layout can use: finite and not negative, else absent.
std::optional<double> usableLength(double points);

}  // namespace markdown
