#include <algorithm>

#include "core/DataModel.h"
#include "core/UnicodeText.h"

namespace core {
namespace {

std::optional<std::size_t> positionOf(const std::vector<int>& list, int value) {
  const auto it = std::find(list.begin(), list.end(), value);
  if (it == list.end()) return std::nullopt;
  return static_cast<std::size_t>(it - list.begin());
}

}  // namespace

void DataModel::filterPrompts(std::string_view kind, std::string_view nameContains) {
  filteredData = std::vector<int>{};
  const std::string wanted = unicode::caseInsensitiveKey(nameContains);
  const auto& presets = prompts();
  for (std::size_t i = 0; i < presets.size(); ++i) {
    if (presets[i].kind() != kind) continue;
    if (!wanted.empty() &&
        unicode::caseInsensitiveKey(presets[i].name).find(wanted) == std::string::npos) {
      continue;
    }
    filteredData.modify([&](std::vector<int>& list) { list.push_back(static_cast<int>(i)); });
  }
}

void DataModel::filterContextPrompts() {
  filterPrompts(kContextPromptType, "");
  resetSelection();
}

void DataModel::filterNonContextPrompts() {
  filterPrompts(kNonContextPromptType, "");
  resetSelection();
}

void DataModel::resetSelection() {
  selectedIndex = -1;
  hoverIndex = -1;
}

void DataModel::refreshPromptList() {
  if (isContext) {
    filterContextPrompts();
  } else {
    filterNonContextPrompts();
  }
  resetSelection();
}

void DataModel::searchPrompts(std::string_view text) {
  resetSelection();
  filterPrompts(isContext ? kContextPromptType : kNonContextPromptType, text);
  resetSelection();
}

void DataModel::selectNext() {
  if (openHistory && keyHistorySelected < static_cast<int>(oldMessages->size()) - 1) {
    keyHistorySelected = keyHistorySelected + 1;
  }
  const auto& listed = filteredData.get();
  if (listed.empty()) return;
  // A selection that is not listed (a stale index) counts as none: Down then picks the first.
  const auto position = positionOf(listed, selectedIndex);
  if (!position) {
    selectedIndex = listed.front();
    return;
  }
  if (*position + 1 < listed.size()) selectedIndex = listed[*position + 1];
}

void DataModel::selectPrevious() {
  if (openHistory && keyHistorySelected > 0) keyHistorySelected = keyHistorySelected - 1;
  const auto& listed = filteredData.get();
  if (listed.empty()) return;
  // A selection that is not listed counts as none, and Up from none clears it.
  const auto position = positionOf(listed, selectedIndex);
  if (position && *position > 0) {
    selectedIndex = listed[*position - 1];
  } else {
    selectedIndex = -1;
  }
}

}  // namespace core
