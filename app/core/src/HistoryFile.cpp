#include "core/HistoryFile.h"

#include <optional>
#include <vector>

#include "core/JSONCoding.h"

namespace core {
namespace {

enum class Kind { null, boolean, number, string, array, object };

// What every place of the document must hold, and where a chat's parts are read into.
class HistoryReader {
 public:
  explicit HistoryReader(SavedChatList& chats) : chats_(chats) {}

  // The first thing that does not fit, as decoding the whole document would have found it.
  const std::optional<std::string>& mismatch() const { return mismatch_; }
  const std::optional<std::string>& syntaxError() const { return syntaxError_; }

  // The parser's events.
  bool null() { return scalar(Kind::null); }
  bool boolean(bool) { return scalar(Kind::boolean); }
  bool number_integer(Json::number_integer_t value) { return number(Json(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return number(Json(value)); }
  bool number_float(Json::number_float_t value, const Json::string_t&) {
    return number(Json(value));
  }
  bool string(Json::string_t& value) {
    text_ = &value;
    return scalar(Kind::string);
  }
  bool binary(Json::binary_t&) { return scalar(Kind::string); }  // never in JSON text
  bool start_object(std::size_t) { return open(Kind::object); }
  bool start_array(std::size_t) { return open(Kind::array); }
  bool key(Json::string_t& name);
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    syntaxError_ = std::string("The given data was not valid JSON: ") + error.what();
    return false;
  }

 private:
  enum class Frame { chats, chat, messages, message, skipped };
  enum class ChatKey { topic, message, created, other };
  enum class MessageKey { role, content, id, other };
  // A required field of the chat or message being read: not seen (or null), read, or the
  // reason it does not decode.
  struct Field {
    enum class State { missing, read, failed } state = State::missing;
    std::string failure;
    void fail(std::string why) {
      state = State::failed;
      failure = std::move(why);
    }
  };

  bool number(Json value) {
    number_ = std::move(value);
    return scalar(Kind::number);
  }
  bool scalar(Kind kind);
  bool open(Kind kind);
  bool close();
  void takeChatField(Kind kind);
  void takeMessageField(Kind kind);
  void finishMessage();
  void finishChat();
  void fail(std::string why) {
    if (!mismatch_) mismatch_ = std::move(why);
  }

  std::string describe(Kind kind) const;
  std::string expected(std::string_view what, const std::string& path, Kind found) const;
  static std::string noValue(std::string_view key, const std::string& path);
  std::string chatPath() const { return "[" + std::to_string(chatIndex_) + "]"; }
  std::string messagePath() const {
    return chatPath() + ".message[" + std::to_string(messageIndex_) + "]";
  }

  SavedChatList& chats_;
  TextPacker packer_;
  std::vector<Frame> frames_;
  std::optional<std::string> mismatch_, syntaxError_;
  // The value being looked at.
  Json number_;
  const std::string* text_ = nullptr;
  // The chat being read.
  std::size_t chatIndex_ = 0;
  ChatKey chatKey_ = ChatKey::other;
  Field topic_, message_, created_;
  std::string topicText_;
  double createdValue_ = 0;
  std::string messagesJSON_;  // its "message" array, as the file's writer writes it
  // The message being read.
  std::size_t messageIndex_ = 0;
  MessageKey messageKey_ = MessageKey::other;
  Field role_, content_, id_;
  std::string roleText_, contentText_;
};

std::string HistoryReader::describe(Kind kind) const {
  switch (kind) {
    case Kind::null:
      return "null";
    case Kind::boolean:
      return "a Boolean";
    case Kind::number:
      return "the number " + number_.dump();
    case Kind::string:
      return "a string";
    case Kind::array:
      return "an array";
    case Kind::object:
      return "an object";
  }
  return "an unknown value";
}

std::string HistoryReader::expected(std::string_view what, const std::string& path,
                                    Kind found) const {
  return "Expected " + std::string(what) + " at " + (path.empty() ? "the top level" : path) +
         " but found " + describe(found);
}

std::string HistoryReader::noValue(std::string_view key, const std::string& path) {
  return "No value for the key \"" + std::string(key) + "\" at " + path;
}

bool HistoryReader::key(Json::string_t& name) {
  if (frames_.back() == Frame::chat) {
    chatKey_ = name == "topic"     ? ChatKey::topic
               : name == "message" ? ChatKey::message
               : name == "created" ? ChatKey::created
                                   : ChatKey::other;
  } else if (frames_.back() == Frame::message) {
    messageKey_ = name == "role"      ? MessageKey::role
                  : name == "content" ? MessageKey::content
                  : name == "id"      ? MessageKey::id
                                      : MessageKey::other;
  }
  return true;
}

bool HistoryReader::scalar(Kind kind) {
  if (frames_.empty()) {
    fail(expected("an array", "", kind));
    return true;
  }
  switch (frames_.back()) {
    case Frame::chats:
      fail(expected("an object", chatPath(), kind));
      ++chatIndex_;
      break;
    case Frame::chat:
      takeChatField(kind);
      break;
    case Frame::messages:
      if (message_.state != Field::State::failed)
        message_.fail(expected("an object", messagePath(), kind));
      ++messageIndex_;
      break;
    case Frame::message:
      takeMessageField(kind);
      break;
    case Frame::skipped:
      break;
  }
  return true;
}

void HistoryReader::takeChatField(Kind kind) {
  const auto take = [&](Field& field, const char* name, const char* wanted, Kind wantedKind) {
    if (kind == Kind::null) {
      field = {};
    } else if (kind != wantedKind) {
      field.fail(expected(wanted, chatPath() + "." + name, kind));
    } else {
      field = {Field::State::read, {}};
    }
  };
  switch (chatKey_) {
    case ChatKey::topic:
      take(topic_, "topic", "a string", Kind::string);
      if (topic_.state == Field::State::read) topicText_ = *text_;
      break;
    case ChatKey::message:
      take(message_, "message", "an array", Kind::array);
      break;
    case ChatKey::created:
      take(created_, "created", "a number", Kind::number);
      if (created_.state == Field::State::read) createdValue_ = number_.get<double>();
      break;
    case ChatKey::other:
      break;
  }
}

void HistoryReader::takeMessageField(Kind kind) {
  const auto take = [&](Field& field, const char* name, std::string& text) {
    if (kind == Kind::null) {
      field = {};
    } else if (kind != Kind::string) {
      field.fail(expected("a string", messagePath() + "." + name, kind));
    } else {
      field = {Field::State::read, {}};
      text = *text_;
    }
  };
  switch (messageKey_) {
    case MessageKey::role:
      take(role_, "role", roleText_);
      break;
    case MessageKey::content:
      take(content_, "content", contentText_);
      break;
    case MessageKey::id:
      // Optional: absent, null or a string; never kept.
      if (kind == Kind::null || kind == Kind::string) {
        id_ = {};
      } else {
        id_.fail(expected("a string", messagePath() + ".id", kind));
      }
      break;
    case MessageKey::other:
      break;
  }
}

bool HistoryReader::open(Kind kind) {
  Frame frame = Frame::skipped;
  if (frames_.empty()) {
    if (kind == Kind::array) {
      frame = Frame::chats;
    } else {
      fail(expected("an array", "", kind));
    }
  } else {
    switch (frames_.back()) {
      case Frame::chats:
        if (kind == Kind::object) {
          frame = Frame::chat;
          topic_ = message_ = created_ = {};
          chatKey_ = ChatKey::other;
        } else {
          fail(expected("an object", chatPath(), kind));
          ++chatIndex_;
        }
        break;
      case Frame::chat:
        if (chatKey_ == ChatKey::message && kind == Kind::array) {
          frame = Frame::messages;
          message_ = {Field::State::read, {}};
          messageIndex_ = 0;
          messagesJSON_ = "[";
        } else {
          takeChatField(kind);
        }
        break;
      case Frame::messages:
        if (kind == Kind::object) {
          frame = Frame::message;
          role_ = content_ = id_ = {};
          messageKey_ = MessageKey::other;
        } else {
          if (message_.state != Field::State::failed)
            message_.fail(expected("an object", messagePath(), kind));
          ++messageIndex_;
        }
        break;
      case Frame::message:
        takeMessageField(kind);
        break;
      case Frame::skipped:
        break;
    }
  }
  frames_.push_back(frame);
  return true;
}

bool HistoryReader::close() {
  const Frame closed = frames_.back();
  frames_.pop_back();
  if (closed == Frame::message) {
    finishMessage();
  } else if (closed == Frame::messages) {
    messagesJSON_ += ']';
  } else if (closed == Frame::chat) {
    finishChat();
  }
  return true;
}

void HistoryReader::finishMessage() {
  if (message_.state == Field::State::read) {
    std::optional<std::string> why;
    if (role_.state == Field::State::missing) why = noValue("role", messagePath());
    if (!why && role_.state == Field::State::failed) why = role_.failure;
    if (!why && content_.state == Field::State::missing) why = noValue("content", messagePath());
    if (!why && content_.state == Field::State::failed) why = content_.failure;
    if (!why && id_.state == Field::State::failed) why = id_.failure;
    if (why) {
      message_.fail(std::move(*why));
    } else if (!mismatch_) {
      if (messageIndex_ > 0) messagesJSON_ += ',';
      messagesJSON_ += "{\"role\":";
      appendJSONString(messagesJSON_, roleText_);
      messagesJSON_ += ",\"content\":";
      appendJSONString(messagesJSON_, contentText_);
      messagesJSON_ += '}';
    }
  }
  ++messageIndex_;
}

void HistoryReader::finishChat() {
  // In the order the record's decoder reads its keys.
  if (topic_.state == Field::State::missing) fail(noValue("topic", chatPath()));
  if (topic_.state == Field::State::failed) fail(topic_.failure);
  if (message_.state == Field::State::missing) fail(noValue("message", chatPath()));
  if (message_.state == Field::State::failed) fail(message_.failure);
  if (created_.state == Field::State::missing) fail(noValue("created", chatPath()));
  if (created_.state == Field::State::failed) fail(created_.failure);
  if (!mismatch_) {
    chats_.push_back(
        SavedChat::fromEncodedMessages(topicText_, messagesJSON_, createdValue_, packer_));
  }
  ++chatIndex_;
}

}  // namespace

SavedChatList decodeHistoryFile(std::string_view bytes) {
  SavedChatList chats;
  HistoryReader reader(chats);
  const bool parsed =
      Json::sax_parse(bytes.begin(), bytes.end(), &reader, Json::input_format_t::json, true);
  if (!parsed) {
    throw DecodingError(reader.syntaxError().value_or("The given data was not valid JSON"));
  }
  if (reader.mismatch()) throw DecodingError(*reader.mismatch());
  return chats;
}

std::string encodeJSON(const SavedChatList& chats) {
  std::size_t size = 2;
  for (const auto& chat : chats) size += chat.topic.size() + chat.messagesSize() + 64;
  std::string bytes;
  bytes.reserve(size);
  bytes += '[';
  TextUnpacker unpacker;
  for (const auto& chat : chats) {
    if (bytes.size() > 1) bytes += ',';
    chat.appendJSON(bytes, unpacker);
  }
  bytes += ']';
  return bytes;
}

}  // namespace core
