#pragma once

#include "ui/Identity.h"
#include "ui/node/Node.h"

// How a lazy stack learns what the scroll view around it shows.
namespace ui::detail {

// `watcher` is told (viewportChanged) whenever the nearest scroll view above it scrolls or
// changes its size. Registering again changes nothing.
void watchViewport(Node& watcher);
void viewportChanged(Node& watcher);
// Moves the view of the nearest scroll view above `watcher` down by `dy` (up when negative), as
// the content at its top moved: called while that content is laid out, before the scroll view
// keeps its offset within the content.
void shiftViewport(Node& watcher, double dy);

// A scroll request inside `within` found no view of identity `id`: a lazy stack that has a
// row of that identity makes it. True when the row will be there after the next frame.
bool makeRowForScrollRequest(Node& within, const Identity& id);

}  // namespace ui::detail
