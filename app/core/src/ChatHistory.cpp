#include <algorithm>
#include <ctime>

#include "core/ChatCompletionsService.h"
#include "core/Console.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "foundation/Date.h"
#include "foundation/DispatchQueue.h"
#include "foundation/UUID.h"

namespace core {
namespace {

// A title is one line; a reply far past this is not one, and is never held whole.
constexpr std::size_t kMaxTitleReplyBytes = 1 << 20;

// Two spaces after "[topics name]".
constexpr const char* kTitlePrompt =
    "In not more than 1 sentence, what have we been talking about? Answer in this specific "
    "pattern only: [emoji][topics name]  use only 1 emoji (Not two, not three) related to the "
    "topic at the front of the sentence, make topics name as short as possible but specific";
constexpr const char* kDateTitlePrefix = "\U0001F600 Chat: ";

// What the title request carries of the chat: its beginning says what it is about, and a huge
// answer never makes a huge request.
constexpr std::size_t kTitleExcerptBytes = 8 * 1024;
constexpr std::size_t kTitleMessageBytes = 3 * 1024;

std::string_view cutAtCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  // Never in the middle of a UTF-8 sequence.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::vector<ChatMessage> titleExcerpt(const std::vector<ChatMessage>& conversation) {
  std::vector<ChatMessage> excerpt;
  std::size_t left = kTitleExcerptBytes;
  for (const auto& message : conversation) {
    if (left == 0) break;
    ChatMessage part = message;
    part.content = std::string(cutAtCharacter(message.content, std::min(left, kTitleMessageBytes)));
    left -= part.content.size();
    excerpt.push_back(std::move(part));
  }
  return excerpt;
}

bool hasAnswer(const std::vector<ChatMessage>& conversation) {
  return std::any_of(conversation.begin(), conversation.end(), [](const ChatMessage& message) {
    return message.role == "assistant" && !message.content.empty();
  });
}

// The topic the saved chat already has, if the snapshot is of one.
std::optional<std::string> savedTopic(const SavedChatList& saved,
                                      const std::optional<std::string>& savedChatId) {
  if (!savedChatId) return std::nullopt;
  const auto found = saved.positionOf(*savedChatId);
  if (!found || saved[*found].topic.empty()) return std::nullopt;
  return saved[*found].topic;
}

}  // namespace

std::string DataModel::dateTitle(double secondsSince1970) {
  const auto time = static_cast<std::time_t>(secondsSince1970);
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  // strftime's numbers are ASCII digits of the Gregorian calendar whatever the locale.
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return kDateTitlePrefix + std::string(text, length);
}

std::optional<std::string> DataModel::openSavedChatId() {
  if (chatWithHistory < 0) return std::nullopt;
  if (openedChatId_) return openedChatId_;
  // Opened some other way than by sendPrompt: the position is all there is.
  if (chatWithHistory >= static_cast<int>(oldMessages->size())) return std::nullopt;
  const auto position = static_cast<std::size_t>(chatWithHistory.get());
  return idOfSavedChat(position);
}

std::string DataModel::idOfSavedChat(std::size_t position) {
  if (!oldMessages.get()[position].id) {
    oldMessages.modify([&](SavedChatList& saved) {
      saved.change(position, [](SavedChat& chat) { chat.id = foundation::UUID().uuidString(); });
    });
  }
  return *oldMessages.get()[position].id;
}

std::optional<std::string> DataModel::savedChatIdOf(const std::vector<ChatMessage>& conversation) {
  if (auto reopened = openSavedChatId()) return reopened;
  if (conversation.empty() || !conversation.front().id) return std::nullopt;
  const auto found = keptConversations_.find(*conversation.front().id);
  if (found == keptConversations_.end()) return std::nullopt;
  return found->second;
}

void DataModel::summarizeChat() {
  ChatSnapshot snapshot{keptConversation(messages.get()), savedChatIdOf(messages.get())};
  // Nothing to title: saving it would only add an empty entry or truncate a saved chat.
  if (!hasAnswer(snapshot.conversation)) return;
  std::vector<ChatMessage> request = titleExcerpt(snapshot.conversation);
  request.push_back(ChatMessage::make("user", kTitlePrompt));
  // Kept here until the title comes, so that a Quit meanwhile still saves the chat.
  const std::uint64_t id = ++lastTitleRequest_;
  titleRequests_.emplace(id, std::move(snapshot));
  sendPlainChatRequest(request, settings().modelName(),
                       [id, weak = weak_from_this()](std::optional<std::string> body,
                                                     std::optional<foundation::HTTPURLResponse>,
                                                     std::optional<foundation::URLError> error) {
                         handleTitleResponse(body, error, id, weak);
                       });
}

void DataModel::sendPlainChatRequest(const std::vector<ChatMessage>& messages,
                                     const std::string& model,
                                     foundation::DataTaskCompletion completion) const {
  const std::string key = settings().apiKey();
  auto request =
      makeChatCompletionsRequest(chatServiceBaseURL(), makeChatBody(model, messages, false));
  if (!key.empty()) request.setValue("Bearer " + key, "Authorization");
  request.maximumBodyLength = kMaxTitleReplyBytes;
  foundation::URLSession::shared()->dataTask(std::move(request), std::move(completion))->resume();
}

// Runs on the session's queue: it decodes and prints here and leaves the model to the main
// queue. Whatever goes wrong, the chat is kept: a reopened chat under the topic it has, a new
// one under the date title.
void DataModel::handleTitleResponse(const std::optional<std::string>& body,
                                    const std::optional<foundation::URLError>& error,
                                    std::uint64_t request, std::weak_ptr<DataModel> model) {
  std::optional<std::string> title;
  if (error) {
    printLine(error->localizedDescription);
  } else if (body) {
    try {
      const auto reply = decodeJSON<ChatResponse>(*body);
      if (!reply.choices.empty()) title = reply.choices.front().message.content;
    } catch (const DecodingError& decodingError) {
      printLine(std::string("Unexpected saving error: ") + decodingError.what() + ".");
    }
  }
  foundation::DispatchQueue::main().async(
      [model = std::move(model), request, title = std::move(title)]() mutable {
        if (const auto self = model.lock()) self->finishTitleRequest(request, std::move(title));
      });
}

void DataModel::finishTitleRequest(std::uint64_t request, std::optional<std::string> title) {
  const auto found = titleRequests_.find(request);
  if (found == titleRequests_.end()) return;
  const ChatSnapshot snapshot = std::move(found->second);
  titleRequests_.erase(found);
  saveHistory(title ? *title : fallbackTitle(snapshot), snapshot);
}

std::string DataModel::fallbackTitle(const ChatSnapshot& snapshot) const {
  if (auto topic = savedTopic(oldMessages.get(), snapshot.savedChatId)) return *topic;
  return dateTitle(foundation::Date::now().timeIntervalSince1970);
}

bool DataModel::isInHistory(const ChatSnapshot& snapshot) const {
  if (!snapshot.savedChatId) return false;
  const auto found = oldMessages->positionOf(*snapshot.savedChatId);
  return found && oldMessages.get()[*found].hasMessages(snapshot.conversation);
}

void DataModel::rememberKept(const ChatSnapshot& snapshot) {
  const auto& conversation = snapshot.conversation;
  if (!conversation.empty() && conversation.front().id && snapshot.savedChatId)
    keptConversations_[*conversation.front().id] = *snapshot.savedChatId;
}

std::vector<ChatMessage> DataModel::keptConversation(
    const std::vector<ChatMessage>& conversation,
    const std::optional<std::string>& streaming) const {
  std::vector<ChatMessage> kept = conversation;
  for (auto& message : kept) {
    if (!message.id || message.content.empty()) continue;
    if (cutShortAnswers_.contains(*message.id) || message.id == streaming)
      message.content += kCutShortMark;
  }
  return kept;
}

void DataModel::keepConversation(const std::vector<ChatMessage>& conversation) {
  if (!hasAnswer(conversation)) return;
  ChatSnapshot snapshot{conversation, savedChatIdOf(conversation)};
  if (isInHistory(snapshot)) return;
  snapshot.savedChatId = saveHistory(fallbackTitle(snapshot), snapshot);
  rememberKept(snapshot);
}

void DataModel::keepCutShortAnswer() {
  const auto& list = messages.get();
  if (list.empty() || list.back().role != "assistant" || !list.back().id) return;
  if (!list.back().content.empty()) cutShortAnswers_.insert(*list.back().id);
  keepConversation(keptConversation(list));
}

bool DataModel::saveBeforeQuit() {
  // Until the file's chats are in, no save may write it; one that could not be read in time
  // stays as it is, and what this run saved is reported unsaved.
  const bool loaded = finishLoadingHistory();
  // Those whose title will not come now; a title that still comes renames them in place.
  for (auto& [request, snapshot] : titleRequests_) {
    if (isInHistory(snapshot)) continue;
    snapshot.savedChatId = saveHistory(fallbackTitle(snapshot), snapshot);
    rememberKept(snapshot);
  }
  // The open conversation as the user sees it: an answer still arriving is kept as far as it
  // came, marked cut short; a turn with nothing of its answer yet is left out.
  std::vector<ChatMessage> conversation = messages.get();
  std::optional<std::string> streaming;
  if (activeStream_) {
    const auto& added = activeStream_->addedMessageIds;
    const bool answered =
        !conversation.empty() && conversation.back().role == "assistant" &&
        !conversation.back().content.empty() && conversation.back().id &&
        std::find(added.begin(), added.end(), *conversation.back().id) != added.end();
    if (answered) {
      streaming = conversation.back().id;
    } else {
      std::erase_if(conversation, [&](const ChatMessage& message) {
        return message.id && std::find(added.begin(), added.end(), *message.id) != added.end();
      });
    }
  }
  keepConversation(keptConversation(conversation, streaming));
  // The program may end as soon as this returns: what the writer has is written first.
  const bool written = documents_->finishWriting();
  return written && loaded;
}

void DataModel::saveHistory(const std::string& title, const std::vector<ChatMessage>& conversation,
                            int index) {
  std::optional<std::string> savedChatId;
  if (index >= 0 && index < static_cast<int>(oldMessages->size())) {
    const auto position = static_cast<std::size_t>(index);
    savedChatId = idOfSavedChat(position);
  }
  saveHistory(title, ChatSnapshot{conversation, savedChatId});
}

void DataModel::saveHistoryWithDateTitle(const std::vector<ChatMessage>& conversation, int index) {
  saveHistory(dateTitle(foundation::Date::now().timeIntervalSince1970), conversation, index);
}

std::string DataModel::saveHistory(const std::string& title, const ChatSnapshot& snapshot) {
  const double now = foundation::Date::now().timeIntervalSince1970;
  std::string savedId;
  oldMessages.modify([&](SavedChatList& saved) {
    const auto found =
        snapshot.savedChatId ? saved.positionOf(*snapshot.savedChatId) : std::nullopt;
    if (found) {
      savedId = *snapshot.savedChatId;
      saved.change(*found, [&](SavedChat& chat) {
        chat.setMessage(snapshot.conversation);
        chat.topic = title;
      });
    } else {
      // A saved chat that is gone (or none) is saved afresh rather than lost.
      savedId = foundation::UUID().uuidString();
      saved.insert(0, SavedChat(title, snapshot.conversation, now, savedId));
    }
  });
  writeHistory();
  return savedId;
}

void DataModel::loadHistory() {
  auto loaded = std::make_shared<SavedChatList>();
  documents_->readInBackground(
      kHistoryFileName, [loaded](std::string_view bytes) { *loaded = decodeHistoryFile(bytes); },
      [this, loaded, alive = std::weak_ptr<bool>(alive_)](bool read) {
        if (alive.expired()) return;
        takeInHistory(read ? std::move(*loaded) : SavedChatList());
      });
}

void DataModel::takeInHistory(SavedChatList loaded) {
  // Chats saved while the file was read are newer than all of it.
  oldMessages.modify([&](SavedChatList& saved) { saved.append(std::move(loaded)); });
  historyLoaded_ = true;
  if (std::exchange(historyUnwritten_, false)) writeHistory();
  for (auto& action : std::exchange(whenHistoryLoaded_, {})) action();
}

bool DataModel::finishLoadingHistory(std::chrono::milliseconds limit) {
  // The read is one of the writer's turns; its end is taken in here if it came in time.
  if (!historyLoaded_) documents_->waitForWrites(limit);
  return historyLoaded_;
}

void DataModel::whenHistoryLoaded(std::function<void()> action) {
  if (historyLoaded_) {
    action();
  } else {
    whenHistoryLoaded_.push_back(std::move(action));
  }
}

void DataModel::writeHistory() {
  if (!historyLoaded_) {
    historyUnwritten_ = true;
    return;
  }
  // The writer gets the list as it stands now, sharing its chats; a failed write stays in memory
  // and is written with the next save, or at Quit.
  documents_->saveJSONToDocuments(oldMessages.get(), kHistoryFileName);
}

}  // namespace core
