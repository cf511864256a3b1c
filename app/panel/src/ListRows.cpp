#include "panel/ListRows.h"

#include "core/UnicodeText.h"

namespace panel {

std::vector<int> listablePresets(const core::DataModel& model) {
  const auto count = static_cast<int>(model.prompts().size());
  std::vector<int> rows;
  for (int index : model.filteredData.get())
    if (index >= 0 && index < count) rows.push_back(index);
  return rows;
}

std::pair<std::string, std::string> splitFirstCharacter(std::string_view topic) {
  if (topic.empty()) return {};
  const auto clusters = core::unicode::graphemeClusters(topic);
  if (clusters.empty()) return {std::string(topic), ""};
  const std::size_t cut = clusters.front().size();
  return {std::string(topic.substr(0, cut)), std::string(topic.substr(cut))};
}

void tapTypedCommandRow(core::DataModel& model) {
  model.selectedIndex = kTypedCommandRow;
}

void doubleTapTypedCommandRow(core::DataModel& model) {
  model.selectedIndex = kTypedCommandRow;
  model.sendPrompt();
}

void tapPresetRow(core::DataModel& model, int index) {
  model.selectedIndex = index;
}

void doubleTapPresetRow(core::DataModel& model, int index) {
  model.command = "";
  model.selectedIndex = index;
  model.sendPrompt();
}

void tapHistoryRow(core::DataModel& model, int position) {
  model.keyHistorySelected = position;
}

void doubleTapHistoryRow(core::DataModel& model, int position) {
  model.keyHistorySelected = position;
  model.sendPrompt();
}

}  // namespace panel
