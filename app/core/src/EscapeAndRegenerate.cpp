#include "core/Console.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"

namespace core {
namespace {

constexpr const char* kContextRemovedStatus = "Context removed";

std::string describe(const std::vector<ChatMessage>& list) {
  std::string text = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) text += ", ";
    text += "ChatMessage(id: " + list[i].id.value_or("nil") + ", role: " + list[i].role +
            ", content: " + list[i].content + ")";
  }
  return text + "]";
}

}  // namespace

void DataModel::handleEscape() {
  if (nonContextPrompt) {
    nonContextPrompt = false;
    refreshPromptList();
  } else if (isLoading) {
    if (const auto source = eventSource.get()) source->disconnect();
    isLoading = false;
    command = "";
    isCancelRequest = true;
    const bool answering = activeStream_ && !activeStream_->addedMessageIds.empty() &&
                           !messages->empty() &&
                           messages->back().id == activeStream_->addedMessageIds.back();
    if (activeStream_) cancelledGeneration_ = activeStream_->generation;
    activeStream_.reset();
    // What the user saw of the answer is kept, marked as cut short.
    if (answering) keepCutShortAnswer();
  } else if (!command->empty()) {
    command = "";
  } else if (browseHistory) {
    browseHistory = false;
    openHistory = false;
    summarizeChat();
    responseValue = "";
    chatWithHistory = -1;
    openedChatId_.reset();
    messages = std::vector<ChatMessage>{};
    refreshPromptList();
  } else if (!responseValue->empty()) {
    summarizeChat();
    responseValue = "";
    foundation::DispatchQueue::main().async([weak = weak_from_this()] {
      if (const auto self = weak.lock()) self->refreshPromptList();
    });
    messages = std::vector<ChatMessage>{};
  } else if (!selectedValue->empty()) {
    selectedValue = "";
    status = kContextRemovedStatus;
    isContext = false;
    refreshPromptList();
  } else if (isOnTopBinding) {
    isOnTopBinding = false;
  } else if (const auto panel = FloatingViewPanel.get()) {
    panel->resignMainWindow();
  }
}

void DataModel::regenerate() {
  if (isLoading) return;
  // Only an answer can be regenerated.
  if (messages->empty() || messages->back().role != "assistant") return;
  command = " ";
  messages.modify([](std::vector<ChatMessage>& list) { list.pop_back(); });
  error = "";
  isLoading = true;
  printLine(describe(messages));
  // A failure takes the question with it, as it takes the question of a new turn.
  std::vector<std::string> added;
  if (!messages->empty() && messages->back().role == "user" && messages->back().id) {
    added.push_back(*messages->back().id);
  }
  startStream(StreamKind::regenerate, "", std::move(added));
}

// A regenerated answer opens as a first one does.
void DataModel::handleRegenerateOpen(std::uint64_t generation) {
  handleStreamOpen(generation);
}

void DataModel::appendRegeneratedDelta(const std::optional<std::string>& content) {
  const std::string piece = content.value_or("");
  if (!messages->empty()) {
    messages.modify([&](std::vector<ChatMessage>& list) { list.back().content += piece; });
  }
  responseValue.modify([&](std::string& text) { text += piece; });
}

}  // namespace core
