#include "eventstream/EventSource.h"

#include "eventstream/MainQueueBatcher.h"

namespace eventstream {
namespace {

using foundation::HeaderFields;
using foundation::HTTPURLResponse;
using foundation::ResponseDisposition;
using foundation::URLError;
using foundation::URLRequest;
using foundation::URLSessionTask;

constexpr const char* kLastEventId = "Last-Event-Id";
constexpr const char* kAccept = "Accept";
constexpr const char* kCacheControl = "Cache-Control";

std::size_t sizeOf(const std::optional<std::string>& text) {
  return text ? text->size() : 0;
}

bool replacesStreamField(const std::string& name, const std::optional<std::string>& lastEventId) {
  const HeaderFields::key_compare less;
  const auto same = [&](const char* field) { return !less(name, field) && !less(field, name); };
  return same(kAccept) || same(kCacheControl) || (lastEventId && same(kLastEventId));
}

// Forwards to the source and keeps it alive for as long as the session holds its delegate.
class SessionDelegate final : public foundation::URLSessionDelegate {
 public:
  explicit SessionDelegate(std::shared_ptr<EventSource> source) : source_(std::move(source)) {}
  ~SessionDelegate() override {
    // The session may let go of its delegate on the delegate queue; the source must not end
    // on its own queue's thread.
    foundation::DispatchQueue::main().async([source = std::move(source_)] {});
  }

  void didReceiveResponse(URLSessionTask& task, const HTTPURLResponse& response,
                          std::function<void(ResponseDisposition)> completion) override {
    source_->didReceiveResponse(task, response, completion);
  }
  void didReceiveData(URLSessionTask& task, const std::string& bytes) override {
    source_->didReceiveData(task, bytes);
  }
  void didCompleteWithError(URLSessionTask& task, const std::optional<URLError>& error) override {
    source_->didCompleteWithError(task, error);
  }
  void willPerformHTTPRedirection(
      URLSessionTask& task, const HTTPURLResponse& response, URLRequest newRequest,
      std::function<void(std::optional<URLRequest>)> completion) override {
    source_->willPerformHTTPRedirection(task, response, std::move(newRequest), completion);
  }

 private:
  std::shared_ptr<EventSource> source_;
};

}  // namespace

// A batch on its way to the main thread. The stream's queue reads into it until the main
// thread takes it; an event that finds it taken starts the next one.
class EventSource::PendingBatch {
 public:
  explicit PendingBatch(std::unique_ptr<MessageBatch> batch) : batch_(std::move(batch)) {}

  // The bytes it holds more; none once it was taken.
  std::optional<std::size_t> read(const Event& event) {
    std::lock_guard lock(mutex_);
    if (taken_) return std::nullopt;
    return batch_->read(event);
  }

  void deliver() {
    {
      std::lock_guard lock(mutex_);
      taken_ = true;
    }
    batch_->deliver();
  }

 private:
  std::mutex mutex_;
  bool taken_ = false;
  const std::unique_ptr<MessageBatch> batch_;
};

std::shared_ptr<EventSource> EventSource::make(URLRequest request, HeaderFields headers,
                                               SessionFactory makeSession) {
  return std::make_shared<EventSource>(Passkey{}, std::move(request), std::move(headers),
                                       std::move(makeSession));
}

EventSource::EventSource(Passkey, URLRequest request, HeaderFields headers,
                         SessionFactory makeSession)
    : request_(std::move(request)),
      headers_(std::move(headers)),
      makeSession_(makeSession ? std::move(makeSession)
                               : SessionFactory(foundation::URLSession::make)),
      operationQueue_(std::make_shared<foundation::OperationQueue>("quill-events")),
      toMain_(std::make_shared<MainQueueBatcher>(foundation::DispatchQueue::main())) {}

EventSource::~EventSource() = default;

std::int64_t EventSource::retryTime() const {
  std::lock_guard lock(mutex_);
  return retryTime_;
}

std::optional<std::string> EventSource::lastEventId() const {
  std::lock_guard lock(mutex_);
  return lastEventId_;
}

foundation::URLSessionConfiguration EventSource::sessionConfiguration(
    const std::optional<std::string>& lastEventId) const {
  auto configuration = foundation::URLSessionConfiguration::defaultConfiguration();
  configuration.timeoutIntervalForRequest = std::chrono::duration<double>(2147483647.0);
  configuration.timeoutIntervalForResource = std::chrono::duration<double>(2147483647.0);
  HeaderFields& fields = configuration.httpAdditionalHeaders;
  if (lastEventId) fields[kLastEventId] = *lastEventId;
  fields[kAccept] = "text/event-stream";
  fields[kCacheControl] = "no-cache";
  return configuration;
}

URLRequest EventSource::streamRequest(const std::optional<std::string>& lastEventId) const {
  URLRequest stream = request_;
  for (const auto& [name, value] : headers_) {
    if (!replacesStreamField(name, lastEventId)) stream.allHTTPHeaderFields.emplace(name, value);
  }
  return stream;
}

void EventSource::connect(std::optional<std::string> lastEventId) {
  auto parser = std::make_shared<EventStreamParser>();
  {
    std::lock_guard lock(mutex_);
    eventStreamParser_ = std::move(parser);
  }
  readyState_ = EventSourceState::connecting;
  auto session =
      makeSession_(sessionConfiguration(lastEventId),
                   std::make_shared<SessionDelegate>(shared_from_this()), operationQueue_);
  auto task = session->dataTask(streamRequest(lastEventId));
  {
    // An earlier session is released, not cancelled.
    std::lock_guard lock(mutex_);
    urlSession_ = session;
  }
  task->resume();
}

void EventSource::disconnect() {
  readyState_ = EventSourceState::closed;
  std::shared_ptr<foundation::URLSession> session;
  {
    std::lock_guard lock(mutex_);
    session = urlSession_;
  }
  if (session) session->invalidateAndCancel();
  toMain_->wake();
}

std::vector<std::string> EventSource::events() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, handler] : eventListeners_) names.push_back(name);
  return names;
}

void EventSource::onOpen(OpenHandler handler) {
  std::lock_guard lock(mutex_);
  onOpenCallback_ = std::move(handler);
}

void EventSource::onComplete(CompletionHandler handler) {
  std::lock_guard lock(mutex_);
  onComplete_ = std::move(handler);
}

void EventSource::onMessage(EventHandler handler) {
  std::lock_guard lock(mutex_);
  onMessageCallback_ = std::move(handler);
}

void EventSource::onMessageBatch(MessageBatchFactory makeBatch) {
  auto shared =
      makeBatch ? std::make_shared<const MessageBatchFactory>(std::move(makeBatch)) : nullptr;
  std::lock_guard lock(mutex_);
  makeBatch_ = std::move(shared);
}

void EventSource::addEventListener(const std::string& event, EventHandler handler) {
  std::lock_guard lock(mutex_);
  eventListeners_[event] = std::move(handler);
}

void EventSource::removeEventListener(const std::string& event) {
  std::lock_guard lock(mutex_);
  eventListeners_.erase(event);
}

void EventSource::didReceiveResponse(URLSessionTask&, const HTTPURLResponse&,
                                     const std::function<void(ResponseDisposition)>& completion) {
  completion(ResponseDisposition::allow);
  // A head that comes in behind `disconnect` must not reopen the stream.
  EventSourceState expected = EventSourceState::connecting;
  if (!readyState_.compare_exchange_strong(expected, EventSourceState::open)) return;
  post([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    OpenHandler handler;
    {
      std::lock_guard lock(self->mutex_);
      handler = self->onOpenCallback_;
    }
    if (handler) handler();
  });
}

void EventSource::didReceiveData(URLSessionTask& task, const std::string& bytes) {
  if (readyState_ != EventSourceState::open) return;
  std::shared_ptr<EventStreamParser> parser;
  {
    std::lock_guard lock(mutex_);
    parser = eventStreamParser_;
  }
  if (!parser) return;
  const std::vector<Event> events = parser->append(bytes);
  if (parser->dataBuffer().size() > EventStreamParser::maximumBufferedBytes) {
    {
      std::lock_guard lock(mutex_);
      if (eventStreamParser_ == parser) eventStreamParser_.reset();
      overflowedTask_ = &task;
    }
    task.cancel();
  }
  notifyReceivedEvents(events);
  // Parsing runs ahead of the main thread no further than the batcher lets it; the session
  // in turn stops reading while this queue is busy.
  toMain_->waitForRoom([this] { return readyState_ == EventSourceState::open; });
}

void EventSource::post(std::function<void()> block, std::size_t weight) {
  // Whatever comes after this block may not join a batch before it.
  openBatch_.reset();
  toMain_->post(std::move(block), weight);
}

void EventSource::readIntoBatch(const Event& event, const MessageBatchFactory& makeBatch) {
  if (openBatch_) {
    if (const auto weight = openBatch_->read(event)) {
      toMain_->addWeight(*weight);
      return;
    }
  }
  auto batch = makeBatch();
  if (!batch) return;
  auto pending = std::make_shared<PendingBatch>(std::move(batch));
  const std::size_t weight = pending->read(event).value_or(0);
  post(
      [weak = weak_from_this(), pending] {
        if (const auto self = weak.lock()) pending->deliver();
      },
      weight);
  openBatch_ = std::move(pending);
}

void EventSource::notifyReceivedEvents(const std::vector<Event>& events) {
  for (const Event& event : events) {
    EventHandler listener;
    std::shared_ptr<const MessageBatchFactory> makeBatch;
    bool postMessage = false;
    {
      std::lock_guard lock(mutex_);
      lastEventId_ = event.id;
      retryTime_ = event.retryTime().value_or(defaultRetryTime);
      if (event.event) {
        const auto found = eventListeners_.find(*event.event);
        if (found != eventListeners_.end()) listener = found->second;
      }
      makeBatch = makeBatch_;
      // A block per event only for a handler that can take it: without one, a batch reader
      // takes the events alone.
      postMessage = onMessageCallback_ || !makeBatch_;
    }
    if (!event.id && !event.event && !event.data && event.time) continue;
    if (!event.event || *event.event == "message") {
      if (postMessage) {
        const std::size_t weight = sizeOf(event.data) + sizeOf(event.id);
        post(
            [weak = weak_from_this(), id = event.id, data = event.data] {
              auto self = weak.lock();
              if (!self) return;
              EventHandler handler;
              {
                std::lock_guard lock(self->mutex_);
                handler = self->onMessageCallback_;
              }
              if (handler) handler(id, std::string("message"), data);
            },
            weight);
      }
      if (makeBatch) readIntoBatch(event, *makeBatch);
    }
    if (listener) {
      const std::size_t weight = sizeOf(event.data);
      post([listener = std::move(listener), event] { listener(event.id, event.event, event.data); },
           weight);
    }
  }
}

void EventSource::didCompleteWithError(URLSessionTask& task, const std::optional<URLError>& error) {
  std::optional<URLError> reported = error;
  {
    std::lock_guard lock(mutex_);
    if (overflowedTask_ == &task) {
      overflowedTask_ = nullptr;
      reported = URLError{URLError::Code::badServerResponse,
                          "The event stream sent more than 16 MiB without an event boundary."};
    }
  }
  std::optional<int> status;
  std::optional<bool> reconnect;
  if (const auto response = task.response()) {
    status = response->statusCode;
    reconnect = *status >= 201 && *status <= 299;
  }
  post([weak = weak_from_this(), status, reconnect, reported] {
    auto self = weak.lock();
    if (!self) return;
    CompletionHandler handler;
    {
      std::lock_guard lock(self->mutex_);
      handler = self->onComplete_;
    }
    if (handler) handler(status, reconnect, reported);
  });
}

void EventSource::willPerformHTTPRedirection(
    URLSessionTask& task, const HTTPURLResponse&, URLRequest newRequest,
    const std::function<void(std::optional<URLRequest>)>& completion) {
  // The extra fields carry the API key: they go to the origin they were given for only.
  if (request_.url.hasSameOrigin(newRequest.url)) {
    const URLRequest& sent = task.originalRequest();
    for (const auto& [name, value] : headers_) {
      if (const auto field = sent.value(name)) newRequest.setValue(*field, name);
    }
  } else {
    for (const auto& [name, value] : headers_) {
      if (!request_.value(name)) newRequest.allHTTPHeaderFields.erase(name);
    }
  }
  completion(std::move(newRequest));
}

}  // namespace eventstream
