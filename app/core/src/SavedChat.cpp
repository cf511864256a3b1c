#include "core/SavedChat.h"

namespace core {

void appendMessagesJSON(std::string& out, const std::vector<ChatMessage>& messages) {
  out += '[';
  for (std::size_t i = 0; i < messages.size(); ++i) {
    if (i > 0) out += ',';
    out += "{\"role\":";
    appendJSONString(out, messages[i].role);
    out += ",\"content\":";
    appendJSONString(out, messages[i].content);
    out += '}';
  }
  out += ']';
}

namespace {

std::string messagesJSON(const std::vector<ChatMessage>& messages) {
  std::string json;
  std::size_t size = 2;
  for (const auto& message : messages) size += message.role.size() + message.content.size() + 40;
  json.reserve(size);
  appendMessagesJSON(json, messages);
  return json;
}

}  // namespace

SavedChat::SavedChat(const oldMessagesStruct& chat)
    : SavedChat(chat.topic, chat.message, chat.created, chat.id) {}

SavedChat::SavedChat(std::string topic, const std::vector<ChatMessage>& message, double created,
                     std::optional<std::string> id)
    : topic(std::move(topic)), created(created), id(std::move(id)) {
  setMessage(message);
}

SavedChat SavedChat::fromEncodedMessages(std::string topic, std::string_view messagesJSON,
                                         double created, TextPacker& packer) {
  SavedChat chat;
  chat.topic = std::move(topic);
  chat.created = created;
  chat.messages_ = PackedText(messagesJSON, packer);
  return chat;
}

std::vector<ChatMessage> SavedChat::message() const {
  return decodeJSON<std::vector<ChatMessage>>(messages_.unpacked());
}

void SavedChat::setMessage(const std::vector<ChatMessage>& message) {
  messages_ = PackedText(messagesJSON(message));
}

bool SavedChat::hasMessages(const std::vector<ChatMessage>& message) const {
  const std::string json = messagesJSON(message);
  return json.size() == messages_.size() && json == messages_.unpacked();
}

oldMessagesStruct SavedChat::record() const {
  return {topic, message(), created, id};
}

void SavedChat::appendJSON(std::string& out, TextUnpacker& unpacker) const {
  out += "{\"topic\":";
  appendJSONString(out, topic);
  out += ",\"message\":";
  messages_.appendUnpacked(out, unpacker);
  out += ",\"created\":";
  appendJSONNumber(out, created);
  out += '}';
}

bool SavedChat::operator==(const SavedChat& other) const {
  return topic == other.topic && created == other.created && messages_ == other.messages_;
}

}  // namespace core
