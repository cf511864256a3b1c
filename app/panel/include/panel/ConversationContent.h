#pragma once

#include <string_view>

#include "core/DataModel.h"

namespace panel {

inline constexpr std::string_view kStartHint =
    "Start talking to the AI assistant or select the text on the screen to provide context.";
inline constexpr std::string_view kAssistantAvatar = "\U0001F916";
// The identity of the message list, newest message first: its top is where a new answer shows.
inline constexpr std::string_view kMessageListId = "panel.messages";
inline constexpr std::string_view kUserAvatar = "\U0001F600";

// The error line's identity, for scrolling it into view.
inline constexpr std::string_view kErrorLineId = "error";

// What the middle of the panel shows under the error line, by precedence.
enum class ConversationContent { fillInForm, history, messages, presetsOnly, hintAndPresets };

struct ConversationInputs {
  bool nonContextPrompt = false;
  bool openHistory = false;
  bool hasResponse = false;
  bool isLoading = false;
  bool isContext = false;
  bool commandEmpty = true;
};
ConversationContent chooseConversationContent(const ConversationInputs& in);
ConversationContent chooseConversationContent(const core::DataModel& model);

// Where a message stands: the answer left, the user's turn right, the system prompt centred;
// an unknown role draws an empty row.
enum class MessageRowKind { left, right, centre, empty };
MessageRowKind messageRowKind(std::string_view role);

// How an answer is drawn: plain while anything streams, then Markdown or selectable text.
enum class AnswerMode { plain, markdown, selectableText };
inline AnswerMode answerMode(bool isLoading, bool markdownOn) {
  if (isLoading) return AnswerMode::plain;
  return markdownOn ? AnswerMode::markdown : AnswerMode::selectableText;
}

}  // namespace panel
