#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/DataModel.h"
#include "ui/Identity.h"

namespace panel {

inline constexpr std::string_view kTypedCommandEmoji = "\u2328\uFE0F";
inline constexpr std::string_view kTypedCommandTitle = "Use typed command for prompt";
inline constexpr int kTypedCommandRow = -1;

inline constexpr double kSelectedRowOpacity = 0.7;
inline constexpr double kHoveredRowOpacity = 0.3;

// The grey behind a row: selected beats hovered.
inline double rowOpacity(int row, int selected, int hovered) {
  if (row == selected) return kSelectedRowOpacity;
  if (row == hovered) return kHoveredRowOpacity;
  return 0;
}

// Row identities, for scrolling a row into view.
inline ui::Identity presetRowId(int index) {
  return ui::Identity(index);
}
inline ui::Identity historyRowId(int position) {
  return ui::Identity("h" + std::to_string(position));
}

// The presets to list: the entries of filteredData that still name a preset, in order.
std::vector<int> listablePresets(const core::DataModel& model);

// A saved chat's title cut after its first user-perceived character (usually its emoji).
std::pair<std::string, std::string> splitFirstCharacter(std::string_view topic);

// What the rows do; the views call these.
void tapTypedCommandRow(core::DataModel& model);
void doubleTapTypedCommandRow(core::DataModel& model);
void tapPresetRow(core::DataModel& model, int index);
void doubleTapPresetRow(core::DataModel& model, int index);
void tapHistoryRow(core::DataModel& model, int position);
void doubleTapHistoryRow(core::DataModel& model, int position);

}  // namespace panel
