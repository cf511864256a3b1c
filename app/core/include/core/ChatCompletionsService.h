#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatRecords.h"
#include "foundation/URLSession.h"

namespace core {

// What the assistant sends to the chat-completions service and the texts its answers become.
inline constexpr std::string_view kChatCompletionsPath = "/v1/chat/completions";
inline constexpr std::chrono::seconds kChatRequestTimeout{60};
inline constexpr std::string_view kProviderAccountURL =
    "https://platform.openai.com/account/billing";

inline constexpr std::string_view kDefaultSystemPrompt = "You are a helpful assistant.";
inline constexpr std::string_view kNoInternetConnectionText = "No internet connection";

// The most text one answer may hold: far beyond what any model writes, so only a service that
// never stops gets there. The stream ends there, and what arrived is kept.
inline constexpr std::size_t kMaximumAnswerBytes = 4 * 1024 * 1024;
inline constexpr std::string_view kAnswerTooLongText =
    "Error: The answer is too long. It was cut off after 4 MiB of text.";

// A streamed answer whose body ended before the service said the answer was done ("[DONE]" or a
// chunk with a finish reason): what came stays, and the user is told it may not be all.
inline constexpr std::string_view kAnswerMayBeIncompleteText =
    "The answer may be incomplete: the service ended it without saying it was finished.";

// A streamed answer the service broke off with an error in its stream, before its end mark
// (which some services send after the error all the same): what came stays, marked cut short,
// and the error line tells what the service said.
inline constexpr std::string_view kServiceStoppedAnswerText = "The service stopped the answer: ";

// What one event of a streamed answer says: the piece of text it adds (none for data that is no
// chunk, or a chunk without a delta) and whether the service ended the answer with it; or, for
// an event that is an error instead ({"error": {"message": ...}}), what the service said.
struct StreamChunk {
  std::optional<std::string> content;
  bool endsAnswer = false;
  std::optional<std::string> error;
};
StreamChunk readStreamChunk(const std::string& data);

// The body of every chat request: the fixed sampling parameters around the messages.
ChatBody makeChatBody(std::string model, std::vector<ChatMessage> messages, bool stream);

// A POST of `body` to the service at `baseURL` (scheme and host) with a 60 s time-out. A body
// that cannot be encoded is left out. Stops the program when `baseURL` makes no URL.
foundation::URLRequest makeChatCompletionsRequest(std::string_view baseURL, const ChatBody& body);

// The error line for a completed answer that was not a success (`statusCode` other than 200).
std::string statusErrorText(int statusCode);
// The short marker a refused streamed answer leaves as the answer: "Error 400" and "Error 429".
std::optional<std::string> statusAnswerMarker(int statusCode);
// The refusals after which the conversation is titled and saved.
bool statusSavesConversation(int statusCode);

}  // namespace core
