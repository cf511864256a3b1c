#include <algorithm>
#include <memory>
#include <utility>

#include "core/ChatCompletionsService.h"
#include "core/Console.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/UTF8.h"

namespace core {
namespace {

using foundation::DispatchQueue;
using foundation::URLError;

using DeltaStep = std::function<void(const std::optional<std::string>& content)>;

// The pieces of one stream that wait for the main queue. They go to the model together, in one
// step and so in one change, however fast they come: a flood of events costs the panel one
// frame per batch, not one per event.
struct PendingDeltas {
  std::string text;
  bool scheduled = false;
};

// Decodes one event of the stream and queues its piece of text for `step`. Data that is no
// chunk (the closing "[DONE]" among it) and chunks without a delta are dropped.
void handleStreamMessage(const std::optional<std::string>& data,
                         const std::shared_ptr<PendingDeltas>& pending, const DeltaStep& step) {
  if (!data) return;
  ChatResponseDelta chunk;
  try {
    chunk = decodeJSON<ChatResponseDelta>(*data);
  } catch (const DecodingError&) {
    return;
  }
  if (!chunk.choices || chunk.choices->empty()) return;
  const auto& delta = chunk.choices->front().delta;
  if (!delta) return;
  // The step cuts the answer at its cap; a flood behind it is not worth holding.
  if (delta->content && pending->text.size() <= kMaximumAnswerBytes)
    pending->text += *delta->content;
  if (std::exchange(pending->scheduled, true)) return;
  DispatchQueue::main().async([pending, step] {
    pending->scheduled = false;
    step(std::exchange(pending->text, {}));
  });
}

}  // namespace

void DataModel::streamChat(std::string prompt) {
  if (prompt.empty()) {
    printLine("EXIT PROMPT EQUAL NIL");
    return;
  }
  std::vector<std::string> added;
  if (messages->empty()) {
    auto system = ChatMessage::make("system", std::string(kDefaultSystemPrompt));
    added.push_back(*system.id);
    messages.modify([&](std::vector<ChatMessage>& list) { list.push_back(std::move(system)); });
  }
  command = " ";
  auto user = ChatMessage::make("user", prompt);
  added.push_back(*user.id);
  messages.modify([&](std::vector<ChatMessage>& list) { list.push_back(std::move(user)); });
  isLoading = true;
  startStream(StreamKind::chat, std::move(prompt), std::move(added));
}

void DataModel::startStream(StreamKind kind, std::string prompt,
                            std::vector<std::string> addedMessageIds) {
  const std::uint64_t generation = ++lastGeneration_;
  activeStream_ = ActiveStream{generation, kind, std::move(prompt), std::move(addedMessageIds)};
  // What the last write-back said was of the answer this one replaces.
  writeBackStatus = "";

  const AssistantSettings current = settings();
  const std::string key = current.apiKey();
  const auto request = makeChatCompletionsRequest(
      chatServiceBaseURL(), makeChatBody(current.modelName(), messages.get(), true));
  responseValue = kind == StreamKind::chat ? " " : "";

  // The earlier request has ended or was cancelled (its late callbacks are told apart by
  // generation); one still running would only hold its session, and itself, for nothing.
  if (const auto earlier = eventSource.get()) earlier->disconnect();
  eventSource = eventstream::EventSource::make(request, {{"Authorization", "Bearer " + key}},
                                               environment_.streamSessionFactory);
  const auto source = eventSource.get();
  std::weak_ptr<DataModel> weak = weak_from_this();
  source->onOpen([weak, generation, kind] {
    const auto self = weak.lock();
    if (!self) return;
    if (kind == StreamKind::chat) {
      self->handleStreamOpen(generation);
    } else {
      self->handleRegenerateOpen(generation);
    }
  });
  DeltaStep step = [weak, generation](const std::optional<std::string>& content) {
    const auto self = weak.lock();
    if (!self || !self->isCurrentStream(generation)) return;
    self->takeStreamPiece(generation, content.value_or(""));
  };
  source->onMessage([pending = std::make_shared<PendingDeltas>(), step = std::move(step)](
                        const auto&, const auto&, const auto& data) {
    handleStreamMessage(data, pending, step);
  });
  // Posted once more, like the open and message steps, so that the end runs behind them.
  source->onComplete([weak, generation](std::optional<int> status, std::optional<bool>,
                                        std::optional<URLError> error) {
    DispatchQueue::main().async([weak, generation, status, error] {
      if (const auto self = weak.lock()) self->handleStreamComplete(generation, status, error);
    });
  });
  source->connect(std::nullopt);
}

bool DataModel::isCurrentStream(std::uint64_t generation) const {
  return activeStream_ && activeStream_->generation == generation;
}

void DataModel::handleStreamOpen(std::uint64_t generation) {
  DispatchQueue::main().async([weak = weak_from_this(), generation] {
    const auto self = weak.lock();
    if (!self || !self->isCurrentStream(generation)) return;
    self->responseValue = "";
    auto answer = ChatMessage::make("assistant", "");
    self->activeStream_->addedMessageIds.push_back(*answer.id);
    self->messages.modify(
        [&](std::vector<ChatMessage>& list) { list.push_back(std::move(answer)); });
    self->command = " ";
  });
}

void DataModel::takeStreamPiece(std::uint64_t generation, std::string piece) {
  ActiveStream& stream = *activeStream_;
  const std::size_t room = kMaximumAnswerBytes - std::min(stream.answerBytes, kMaximumAnswerBytes);
  const bool overflows = piece.size() > room;
  if (overflows) piece.resize(foundation::utf8::prefix(piece, room).size());
  stream.answerBytes += piece.size();
  if (stream.kind == StreamKind::chat) {
    appendStreamDelta(piece);
  } else {
    appendRegeneratedDelta(piece);
  }
  // Ends like a stream that broke after its head: what arrived stays, the error line says why.
  if (overflows)
    handleStreamComplete(
        generation, 200,
        URLError{URLError::Code::dataLengthExceedsMaximum, std::string(kAnswerTooLongText)});
}

void DataModel::appendStreamDelta(const std::optional<std::string>& content) {
  const std::string piece = content.value_or("");
  responseValue.modify([&](std::string& text) { text += piece; });
  if (!messages->empty()) {
    messages.modify([&](std::vector<ChatMessage>& list) { list.back().content += piece; });
  }
}

void DataModel::handleStreamComplete(std::uint64_t generation, std::optional<int> statusCode,
                                     const std::optional<foundation::URLError>& failure) {
  if (cancelledGeneration_ == generation) {
    cancelledGeneration_.reset();
    isCancelRequest = false;
    return;
  }
  if (!isCurrentStream(generation)) return;
  const ActiveStream stream = std::move(*activeStream_);
  activeStream_.reset();
  // A cancelled request whose end never came must not keep the flag up.
  if (isCancelRequest) isCancelRequest = false;
  if (const auto source = eventSource.get()) source->disconnect();

  const bool chat = stream.kind == StreamKind::chat;
  if (!statusCode) {
    error = std::string(kNoInternetConnectionText);
  } else if (*statusCode == 200) {
    // A stream that broke after its head keeps what arrived, but is no success.
    const bool broken = failure && failure->code != URLError::Code::cancelled;
    error = broken ? failure->localizedDescription : "";
    // Kept at once, so that no way out of the program can lose it; the title comes later.
    if (broken) {
      keepCutShortAnswer();
    } else {
      keepConversation(keptConversation(messages.get()));
    }
  } else {
    error = statusErrorText(*statusCode);
    if (const auto marker = statusAnswerMarker(*statusCode); chat && marker) {
      responseValue = *marker;
    }
    removeAddedMessages(stream);
    if (chat && statusSavesConversation(*statusCode)) summarizeChat();
  }
  isLoading = false;
  command = "";
  if (!statusCode) {
    removeAddedMessages(stream);
    if (chat) command = stream.prompt;
    if (failure) error = failure->localizedDescription;
  }
}

void DataModel::removeAddedMessages(const ActiveStream& stream) {
  const auto& added = stream.addedMessageIds;
  messages.modify([&](std::vector<ChatMessage>& list) {
    std::erase_if(list, [&](const ChatMessage& message) {
      return message.id && std::find(added.begin(), added.end(), *message.id) != added.end();
    });
    // The system message that opened this conversation goes with its only question.
    if (list.size() == 1 && list.front().role == "system") list.clear();
  });
}

}  // namespace core
