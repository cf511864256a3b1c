#include "core/ChatRecords.h"

#include "foundation/UUID.h"

namespace core {

ChatMessage ChatMessage::make(std::string role, std::string content) {
  return {foundation::UUID().uuidString(), std::move(role), std::move(content)};
}

Json JSONCodable<ChatMessage>::encode(const ChatMessage& value) {
  JSONObjectWriter object;
  object.required("role", value.role);
  object.required("content", value.content);
  return object.take();
}

ChatMessage JSONCodable<ChatMessage>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  ChatMessage message;
  message.role = object.required<std::string>("role");
  message.content = object.required<std::string>("content");
  message.id = object.optional<std::string>("id");
  if (!message.id) message.id = foundation::UUID().uuidString();
  return message;
}

Json JSONCodable<ChatBody>::encode(const ChatBody& value) {
  JSONObjectWriter object;
  object.required("model", value.model);
  object.required("messages", value.messages);
  object.optional("temperature", value.temperature);
  object.optional("top_p", value.top_p);
  object.optional("stream", value.stream);
  object.optional("presence_penalty", value.presence_penalty);
  object.optional("frequency_penalty", value.frequency_penalty);
  return object.take();
}

ChatBody JSONCodable<ChatBody>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.required<std::string>("model"),
          object.required<std::vector<ChatMessage>>("messages"),
          object.optional<float>("temperature"),
          object.optional<float>("top_p"),
          object.optional<bool>("stream"),
          object.optional<float>("presence_penalty"),
          object.optional<float>("frequency_penalty")};
}

Json JSONCodable<ChatUsage>::encode(const ChatUsage& value) {
  JSONObjectWriter object;
  object.optional("prompt_tokens", value.promptTokens);
  object.optional("completion_tokens", value.completionTokens);
  object.optional("total_tokens", value.totalTokens);
  return object.take();
}

ChatUsage JSONCodable<ChatUsage>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.optional<std::int64_t>("prompt_tokens"),
          object.optional<std::int64_t>("completion_tokens"),
          object.optional<std::int64_t>("total_tokens")};
}

Json JSONCodable<Message>::encode(const Message& value) {
  JSONObjectWriter object;
  object.required("role", value.role);
  object.required("content", value.content);
  return object.take();
}

Message JSONCodable<Message>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  // Braced initialisation keeps the order of the reads, and so of the errors.
  return {object.required<std::string>("role"), object.required<std::string>("content")};
}

Json JSONCodable<MessageDelta>::encode(const MessageDelta& value) {
  JSONObjectWriter object;
  object.optional("role", value.role);
  object.optional("content", value.content);
  return object.take();
}

MessageDelta JSONCodable<MessageDelta>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.optional<std::string>("role"), object.optional<std::string>("content")};
}

Json JSONCodable<ChatChoice>::encode(const ChatChoice& value) {
  JSONObjectWriter object;
  object.required("message", value.message);
  object.optional("finish_reason", value.finishReason);
  object.required("index", value.index);
  return object.take();
}

ChatChoice JSONCodable<ChatChoice>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.required<Message>("message"), object.optional<std::string>("finish_reason"),
          object.required<std::int64_t>("index")};
}

Json JSONCodable<ChatChoiceDelta>::encode(const ChatChoiceDelta& value) {
  JSONObjectWriter object;
  object.optional("delta", value.delta);
  object.optional("finish_reason", value.finishReason);
  object.optional("index", value.index);
  return object.take();
}

ChatChoiceDelta JSONCodable<ChatChoiceDelta>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.optional<MessageDelta>("delta"), object.optional<std::string>("finish_reason"),
          object.optional<std::int64_t>("index")};
}

Json JSONCodable<ChatResponse>::encode(const ChatResponse& value) {
  JSONObjectWriter object;
  object.required("id", value.id);
  object.required("object", value.object);
  object.required("created", value.created);
  object.required("model", value.model);
  object.required("usage", value.usage);
  object.required("choices", value.choices);
  return object.take();
}

ChatResponse JSONCodable<ChatResponse>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.required<std::string>("id"),
          object.required<std::string>("object"),
          object.required<std::int64_t>("created"),
          object.required<std::string>("model"),
          object.required<ChatUsage>("usage"),
          object.required<std::vector<ChatChoice>>("choices")};
}

Json JSONCodable<ChatResponseDelta>::encode(const ChatResponseDelta& value) {
  JSONObjectWriter object;
  object.optional("id", value.id);
  object.optional("object", value.object);
  object.optional("created", value.created);
  object.optional("model", value.model);
  object.optional("usage", value.usage);
  object.optional("choices", value.choices);
  return object.take();
}

ChatResponseDelta JSONCodable<ChatResponseDelta>::decode(const Json& json,
                                                         const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.optional<std::string>("id"),
          object.optional<std::string>("object"),
          object.optional<std::int64_t>("created"),
          object.optional<std::string>("model"),
          object.optional<ChatUsage>("usage"),
          object.optional<std::vector<ChatChoiceDelta>>("choices")};
}

Json JSONCodable<oldMessagesStruct>::encode(const oldMessagesStruct& value) {
  JSONObjectWriter object;
  object.required("topic", value.topic);
  object.required("message", value.message);
  object.required("created", value.created);
  return object.take();
}

oldMessagesStruct JSONCodable<oldMessagesStruct>::decode(const Json& json,
                                                         const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.required<std::string>("topic"),
          object.required<std::vector<ChatMessage>>("message"), object.required<double>("created"),
          foundation::UUID().uuidString()};
}

}  // namespace core

namespace {

void combine(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

std::size_t std::hash<core::ChatMessage>::operator()(
    const core::ChatMessage& message) const noexcept {
  std::size_t seed = 0;
  combine(seed, message.id ? 1 : 0);
  if (message.id) combine(seed, std::hash<std::string>()(*message.id));
  combine(seed, std::hash<std::string>()(message.role));
  combine(seed, std::hash<std::string>()(message.content));
  return seed;
}

std::size_t std::hash<core::oldMessagesStruct>::operator()(
    const core::oldMessagesStruct& chat) const noexcept {
  std::size_t seed = std::hash<std::string>()(chat.topic);
  for (const auto& message : chat.message) combine(seed, std::hash<core::ChatMessage>()(message));
  combine(seed, std::hash<double>()(chat.created));
  return seed;
}
