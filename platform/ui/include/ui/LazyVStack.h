#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/Alignment.h"
#include "ui/Identity.h"
#include "ui/View.h"

namespace ui {

// What lets a lazy stack of rows of different heights tell its true length before its rows are
// made, and keep what it measured while the rows around change.
struct LazyRowHints {
  // Changes whenever row i may lay out otherwise (its content, its spacing): the height measured
  // for a row is kept while its key stays, across rebuilds. Without keys a height is kept for
  // its position, whatever row comes there.
  std::function<std::uint64_t(std::size_t row)> key;
  // How tall row i would be at `width` (infinite: unbounded), in points as near as can be told
  // without laying it out; asked only for rows not made at that width. The stack scales these
  // by what the rows it made measured against their own estimates. Without estimates a row not
  // made is taken to be as tall as the rows made so far are on average.
  std::function<double(std::size_t row, double width)> estimate;
  // Before it was placed, a stack makes its first two dozen rows. With this and estimates, it
  // makes only the first rows its estimates say reach past what its ancestors show, when they
  // were laid out: for rows that may be long (a text that came at once, in rows of many lines)
  // in a stack whose width moves nothing that shows (aligned to its leading edge), as the
  // widest row measured sets it.
  bool firstRowsByEstimate = false;
  // How many leading rows keep the keys they had when this stack was last built: their keys are
  // not asked for again (a long streamed answer changes only its end).
  std::size_t unchangedRows = 0;
};

// A vertical stack of `count` rows whose rows are made only while they show in the scroll view
// around it, or are near doing so: a list of thousands costs what a screenful costs. `row(i)`
// makes row i and `id(i)` gives its identity, which a ScrollViewProxy can scroll to whether
// the row is made yet or not. Rows measured otherwise than they were estimated above the row
// at the top of what shows move the scroll view with them, so what shows stays in place.
// Outside a scroll view every row is made.
AnyView LazyVStack(HAlign alignment, std::optional<double> spacing, std::size_t count,
                   std::function<Identity(std::size_t)> id, std::function<AnyView(std::size_t)> row,
                   LazyRowHints hints = {});

}  // namespace ui
