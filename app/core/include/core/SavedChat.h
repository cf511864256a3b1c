#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatRecords.h"
#include "core/PackedText.h"

namespace core {

// One saved chat as the history keeps it in memory: what the list shows and finds it by at hand,
// its messages packed as the JSON the history file holds for them, unpacked only when the chat is
// reopened or written. A history of many thousand chats so takes a fraction of its file's size.
class SavedChat {
 public:
  SavedChat() = default;
  // NOLINTNEXTLINE(google-explicit-constructor): a saved chat is one, in compact form
  SavedChat(const oldMessagesStruct& chat);
  SavedChat(std::string topic, const std::vector<ChatMessage>& message, double created,
            std::optional<std::string> id = std::nullopt);
  // From the messages' JSON array as the history file's writer writes it.
  static SavedChat fromEncodedMessages(std::string topic, std::string_view messagesJSON,
                                       double created, TextPacker& packer);

  std::string topic;
  double created = 0;  // seconds since 1970, taken at the first save
  // Which saved chat this is, in memory only; none until something needs to find it again.
  std::optional<std::string> id;

  // The messages, decoded now, each with a fresh id (ids are never kept).
  std::vector<ChatMessage> message() const;
  void setMessage(const std::vector<ChatMessage>& message);
  // Role and content of every message the same, in order.
  bool hasMessages(const std::vector<ChatMessage>& message) const;
  // The size of the messages' JSON, unpacked.
  std::size_t messagesSize() const { return messages_.size(); }

  oldMessagesStruct record() const;
  // The chat as the history file holds it: the bytes the file's encoder writes for record().
  // Throws EncodingError when `created` is not a finite number.
  void appendJSON(std::string& out, TextUnpacker& unpacker) const;

  // Topic, messages (role and content) and date, as the file would hold them.
  bool operator==(const SavedChat& other) const;

 private:
  PackedText messages_{std::string_view("[]")};  // the "message" array's JSON
};

// The "message" array of a saved chat as the history file's encoder writes it.
void appendMessagesJSON(std::string& out, const std::vector<ChatMessage>& messages);

}  // namespace core
