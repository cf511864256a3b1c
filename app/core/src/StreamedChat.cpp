#include <algorithm>
#include <memory>
#include <utility>

#include "core/ChatCompletionsService.h"
#include "core/Console.h"
#include "core/DataModel.h"
#include "foundation/UTF8.h"

namespace core {

using foundation::URLError;

// The pieces of the answer that reach the model in one step. The stream's events are decoded on
// the stream's queue, and the text of all that came while the main thread was busy goes to the
// model together, in one change: a flood of events costs the panel one frame per batch, not one
// per event. Data that is no chunk and chunks without a delta add nothing.
class AnswerBatch final : public eventstream::MessageBatch {
 public:
  AnswerBatch(std::weak_ptr<DataModel> model, std::uint64_t generation)
      : model_(std::move(model)), generation_(generation) {}

  std::size_t read(const eventstream::Event& event) override {
    // The answer ended with the service's error: nothing after it counts.
    if (!event.data || error_) return 0;
    StreamChunk chunk = readStreamChunk(*event.data);
    error_ = std::move(chunk.error);
    ended_ = ended_ || chunk.endsAnswer;
    // The model cuts the answer at its cap; a flood behind it is not worth holding.
    if (!chunk.content || text_.size() > kMaximumAnswerBytes) return 0;
    text_ += *chunk.content;
    return chunk.content->size();
  }

  void deliver() override {
    const auto model = model_.lock();
    if (!model || !model->isCurrentStream(generation_)) return;
    model->takeStreamPiece(generation_, std::move(text_), ended_, std::move(error_));
  }

 private:
  const std::weak_ptr<DataModel> model_;
  const std::uint64_t generation_;
  std::string text_;
  bool ended_ = false;
  std::optional<std::string> error_;
};

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
  // The open, the answer's pieces and the end reach the model in the stream's order, each in
  // the event source's own main-queue block: none is posted once more, so none can pass another.
  source->onOpen([weak, generation, kind] {
    const auto self = weak.lock();
    if (!self) return;
    if (kind == StreamKind::chat) {
      self->handleStreamOpen(generation);
    } else {
      self->handleRegenerateOpen(generation);
    }
  });
  source->onMessageBatch(
      [weak, generation] { return std::make_unique<AnswerBatch>(weak, generation); });
  source->onComplete([weak, generation](std::optional<int> status, std::optional<bool>,
                                        std::optional<URLError> error) {
    if (const auto self = weak.lock()) self->handleStreamComplete(generation, status, error);
  });
  source->connect(std::nullopt);
}

bool DataModel::isCurrentStream(std::uint64_t generation) const {
  return activeStream_ && activeStream_->generation == generation;
}

void DataModel::handleStreamOpen(std::uint64_t generation) {
  if (!isCurrentStream(generation)) return;
  responseValue = "";
  auto answer = ChatMessage::make("assistant", "");
  activeStream_->addedMessageIds.push_back(*answer.id);
  messages.modify([&](std::vector<ChatMessage>& list) { list.push_back(std::move(answer)); });
  command = " ";
}

void DataModel::takeStreamPiece(std::uint64_t generation, std::string piece, bool ended,
                                std::optional<std::string> serviceError) {
  ActiveStream& stream = *activeStream_;
  stream.answerEnded = stream.answerEnded || ended;
  const std::size_t room = kMaximumAnswerBytes - std::min(stream.answerBytes, kMaximumAnswerBytes);
  const bool overflows = piece.size() > room;
  if (overflows) piece.resize(foundation::utf8::prefix(piece, room).size());
  stream.answerBytes += piece.size();
  // A batch of nothing but the end (or of chunks without text) changes nothing.
  if (!piece.empty()) {
    {
      appendingToAnswer_ = true;
      const auto done = std::unique_ptr<bool, void (*)(bool*)>(
          &appendingToAnswer_, [](bool* appending) { *appending = false; });
      if (stream.kind == StreamKind::chat) {
        appendStreamDelta(piece);
      } else {
        appendRegeneratedDelta(piece);
      }
    }
    answerAppended_.announce(piece);
  }
  // Ends like a stream that broke after its head: what arrived stays, the error line says why.
  if (overflows) {
    handleStreamComplete(
        generation, 200,
        URLError{URLError::Code::dataLengthExceedsMaximum, std::string(kAnswerTooLongText)});
  } else if (serviceError) {
    handleStreamComplete(generation, 200,
                         URLError{URLError::Code::badServerResponse,
                                  std::string(kServiceStoppedAnswerText) + *serviceError});
  }
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
    // A stream that broke after its head, or whose body ended before the service said the
    // answer was done, keeps what arrived, but is no success.
    const bool broken = failure && failure->code != URLError::Code::cancelled;
    if (broken) {
      error = failure->localizedDescription;
    } else if (!stream.answerEnded) {
      error = std::string(kAnswerMayBeIncompleteText);
    } else {
      error = "";
    }
    // Kept at once, so that no way out of the program can lose it; the title comes later.
    if (broken || !stream.answerEnded) {
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
