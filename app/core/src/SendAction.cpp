#include "core/ChatCompletionsService.h"
#include "core/Console.h"
#include "core/DataModel.h"
#include "foundation/UUID.h"

namespace core {
namespace {

constexpr const char* kTypedPresetName = "typed";
constexpr const char* kTypedSystemPrompt = "Your are helpful assistant";
// Without a context the default has no full stop; about a context it has one.
constexpr const char* kPlainSystemPrompt = "You are a helpful assistant";
constexpr const char* kContextOpening = " : ###\n ";
constexpr const char* kContextClosing = " ###";

bool namesPreset(int index, const std::vector<PromptData>& presets) {
  return index >= 0 && index < static_cast<int>(presets.size());
}

}  // namespace

PromptData DataModel::selectedPromptData(int index) const {
  if (namesPreset(index, prompts())) return prompts()[static_cast<std::size_t>(index)];
  return {std::nullopt,       "",           kTypedPresetName, command.get(),
          kTypedSystemPrompt, std::nullopt, std::nullopt};
}

void DataModel::sendPrompt() {
  // What is sent depends on what the capture finds.
  if (capturesInFlight_ > 0) {
    sendAfterCapture_ = namesPreset(selectedIndex, prompts()) ? selectedIndex.get() : -1;
    return;
  }
  error = "";
  if (isLoading) return;

  if (openHistory) {
    const int chosen = keyHistorySelected;
    if (chosen < 0 || chosen >= static_cast<int>(oldMessages->size())) return;
    const auto position = static_cast<std::size_t>(chosen);
    openedChatId_ = idOfSavedChat(position);
    messages = oldMessages.get()[position].message();
    openHistory = false;
    browseHistory = true;
    responseValue = std::string(kOpenChatMarker);
    chatWithHistory = chosen;
    return;
  }

  // An index that names no preset (an empty or edited list) counts as the typed command.
  const int index = namesPreset(selectedIndex, prompts()) ? selectedIndex.get() : -1;
  const PromptData preset = selectedPromptData(index);

  if (nonContextPrompt) {
    nonContextPrompt = false;
    const std::string prompt = joinPromptPieces(extractedTexts);
    const std::string system =
        index == -1 ? kPlainSystemPrompt : preset.systemPrompt.value_or(kPlainSystemPrompt);
    messages = std::vector<ChatMessage>{ChatMessage::make("system", system)};
    streamChat(prompt);
    return;
  }

  if (!isContext) {
    if (index != -1 && preset.prompt.find_first_of("[]") != std::string::npos) {
      nonContextPrompt = true;
      focusTemp = std::vector<std::int64_t>{};
      extractedTexts = splitPromptText(preset.prompt);
      return;
    }
    std::string prompt;
    if (messages->size() <= 2) {
      messages = std::vector<ChatMessage>{
          ChatMessage::make("system", preset.systemPrompt.value_or(kPlainSystemPrompt))};
      prompt = preset.prompt;
    } else {
      prompt = command;
    }
    printLine("prompt " + prompt);
    streamChat(prompt);
    return;
  }

  if (!messages->empty()) {
    streamChat(command);
    return;
  }
  printLine(preset.prompt);
  messages = std::vector<ChatMessage>{
      ChatMessage::make("system", preset.systemPrompt.value_or(std::string(kDefaultSystemPrompt)))};
  const std::string prompt =
      index == -1 ? command.get() + kContextOpening + selectedValue.get() + kContextClosing
                  : fillSelectedText(preset.prompt, selectedValue.get());
  streamChat(prompt);
}

}  // namespace core
