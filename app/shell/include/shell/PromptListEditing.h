#pragma once

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "core/PromptData.h"

namespace shell {

// Moves the elements at `offsets` so that they stand before the element that was at
// `destination` in the original order (the end when it is the size), keeping their relative
// order. Offsets outside the list are ignored; `destination` is clamped to the list.
template <class T>
void moveElements(std::vector<T>& elements, const std::set<int>& offsets, int destination) {
  const int size = static_cast<int>(elements.size());
  destination = std::clamp(destination, 0, size);
  std::vector<T> moved, before, after;
  for (int i = 0; i < size; ++i) {
    auto& element = elements[static_cast<std::size_t>(i)];
    if (offsets.count(i)) {
      moved.push_back(std::move(element));
    } else if (i < destination) {
      before.push_back(std::move(element));
    } else {
      after.push_back(std::move(element));
    }
  }
  elements.clear();
  for (auto* part : {&before, &moved, &after})
    for (auto& element : *part) elements.push_back(std::move(element));
}

// The full positions of the presets one tab of the prompt editor lists: "nonContext" ones in
// the Non-context tab, all others (no kind included) in the Context tab.
std::vector<int> tabPositions(const std::vector<core::PromptData>& prompts, bool nonContextTab);

// A move of the rows `visibleRows` of a tab before visible row `visibleDestination` (or after
// the last row when it equals the row count), in full positions of the whole list.
struct FullMove {
  std::set<int> offsets;
  int destination = 0;
};
FullMove fullMove(const std::vector<int>& tabPositions, const std::set<int>& visibleRows,
                  int visibleDestination);

// A new preset of the tab's kind, as "+ Add" makes it (with a fresh id).
core::PromptData newPreset(bool nonContextTab);

}  // namespace shell
