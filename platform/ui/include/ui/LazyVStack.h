#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include "ui/Alignment.h"
#include "ui/Identity.h"
#include "ui/View.h"

namespace ui {

// A vertical stack of `count` rows whose rows are made only while they show in the scroll view
// around it, or are near doing so: a list of thousands costs what a screenful costs. `row(i)`
// makes row i and `id(i)` gives its identity, which a ScrollViewProxy can scroll to whether
// the row is made yet or not. A row not made yet is taken to be as tall as the rows made so
// far are on average. Outside a scroll view every row is made.
AnyView LazyVStack(HAlign alignment, std::optional<double> spacing, std::size_t count,
                   std::function<Identity(std::size_t)> id,
                   std::function<AnyView(std::size_t)> row);

}  // namespace ui
