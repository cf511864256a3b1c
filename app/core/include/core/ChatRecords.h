#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/JSONCoding.h"

namespace core {

// One turn of a conversation. The id lives only in memory: it is never written, and a decoded
// message without one gets a fresh UUID.
struct ChatMessage {
  std::optional<std::string> id = std::nullopt;
  std::string role;
  std::string content;

  // A message with a fresh UUID as its id.
  static ChatMessage make(std::string role, std::string content);
  bool operator==(const ChatMessage&) const = default;
};

// The body of a chat-completions request; the field names are the wire names.
struct ChatBody {
  std::string model;
  std::vector<ChatMessage> messages;
  std::optional<float> temperature = std::nullopt;
  std::optional<float> top_p = std::nullopt;
  std::optional<bool> stream = std::nullopt;
  std::optional<float> presence_penalty = std::nullopt;
  std::optional<float> frequency_penalty = std::nullopt;
};

struct ChatUsage {
  std::optional<std::int64_t> promptTokens = std::nullopt;
  std::optional<std::int64_t> completionTokens = std::nullopt;
  std::optional<std::int64_t> totalTokens = std::nullopt;
};

struct Message {
  std::string role;
  std::string content;
};

struct MessageDelta {
  std::optional<std::string> role = std::nullopt;
  std::optional<std::string> content = std::nullopt;
};

struct ChatChoice {
  Message message;
  std::optional<std::string> finishReason = std::nullopt;
  std::int64_t index = 0;
};

struct ChatChoiceDelta {
  std::optional<MessageDelta> delta = std::nullopt;
  std::optional<std::string> finishReason = std::nullopt;
  std::optional<std::int64_t> index = std::nullopt;
};

// The reply of a plain (not streamed) request.
struct ChatResponse {
  std::string id;
  std::string object;
  std::int64_t created = 0;
  std::string model;
  ChatUsage usage;
  std::vector<ChatChoice> choices;
};

// One chunk of a streamed answer; any JSON object decodes.
struct ChatResponseDelta {
  std::optional<std::string> id = std::nullopt;
  std::optional<std::string> object = std::nullopt;
  std::optional<std::int64_t> created = std::nullopt;
  std::optional<std::string> model = std::nullopt;
  std::optional<ChatUsage> usage = std::nullopt;
  std::optional<std::vector<ChatChoiceDelta>> choices = std::nullopt;
};

// One saved chat of the history file.
struct oldMessagesStruct {  // NOLINT(readability-identifier-naming): the history file's record
  std::string topic;
  std::vector<ChatMessage> message;
  double created = 0;  // seconds since 1970, taken at the first save
  // Which saved chat this is, in memory only: never written, fresh for every decoded one.
  std::optional<std::string> id = std::nullopt;

  bool operator==(const oldMessagesStruct&) const = default;
};

#define QUILL_CORE_JSON_CODABLE(Type)                              \
  template <>                                                      \
  struct JSONCodable<Type> {                                       \
    static Json encode(const Type& value);                         \
    static Type decode(const Json& json, const std::string& path); \
  }

QUILL_CORE_JSON_CODABLE(ChatMessage);
QUILL_CORE_JSON_CODABLE(ChatBody);
QUILL_CORE_JSON_CODABLE(ChatUsage);
QUILL_CORE_JSON_CODABLE(Message);
QUILL_CORE_JSON_CODABLE(MessageDelta);
QUILL_CORE_JSON_CODABLE(ChatChoice);
QUILL_CORE_JSON_CODABLE(ChatChoiceDelta);
QUILL_CORE_JSON_CODABLE(ChatResponse);
QUILL_CORE_JSON_CODABLE(ChatResponseDelta);
QUILL_CORE_JSON_CODABLE(oldMessagesStruct);

#undef QUILL_CORE_JSON_CODABLE

}  // namespace core

template <>
struct std::hash<core::ChatMessage> {
  std::size_t operator()(const core::ChatMessage& message) const noexcept;
};
template <>
struct std::hash<core::oldMessagesStruct> {
  std::size_t operator()(const core::oldMessagesStruct& chat) const noexcept;
};
