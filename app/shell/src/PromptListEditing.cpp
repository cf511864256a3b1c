#include "shell/PromptListEditing.h"

#include "foundation/UUID.h"

namespace shell {

std::vector<int> tabPositions(const std::vector<core::PromptData>& prompts, bool nonContextTab) {
  std::vector<int> positions;
  for (std::size_t i = 0; i < prompts.size(); ++i) {
    const bool isNonContext = prompts[i].promptType == core::kNonContextPromptType;
    if (isNonContext == nonContextTab) positions.push_back(static_cast<int>(i));
  }
  return positions;
}

FullMove fullMove(const std::vector<int>& tabPositions, const std::set<int>& visibleRows,
                  int visibleDestination) {
  FullMove move;
  const int rows = static_cast<int>(tabPositions.size());
  for (const int row : visibleRows) {
    if (row >= 0 && row < rows) move.offsets.insert(tabPositions[static_cast<std::size_t>(row)]);
  }
  if (rows == 0) return move;
  if (visibleDestination >= rows) {
    move.destination = tabPositions.back() + 1;
  } else {
    move.destination = tabPositions[static_cast<std::size_t>(std::max(visibleDestination, 0))];
  }
  return move;
}

core::PromptData newPreset(bool nonContextTab) {
  core::PromptData preset;
  preset.id = foundation::UUID().uuidString();
  preset.emoji = "😀";
  preset.name = "New Prompt";
  if (nonContextTab) {
    preset.prompt = "Hi!";
    preset.systemPrompt = "You're a helpful assistant!";
    preset.promptType = core::kNonContextPromptType;
  } else {
    preset.prompt = "{selected text}";
    preset.promptType = core::kContextPromptType;
  }
  return preset;
}

}  // namespace shell
