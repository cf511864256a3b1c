#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "eventstream/EventSourceProtocol.h"
#include "eventstream/EventStreamParser.h"
#include "eventstream/MessageBatch.h"
#include "foundation/DispatchQueue.h"
#include "foundation/OperationQueue.h"
#include "foundation/URLSession.h"

namespace eventstream {

class MainQueueBatcher;

// One long request whose body is cut into events. It never reconnects by itself: the end of
// the request reports a status and a reconnect flag, and the last id and retry time stay
// readable for a user that wants to reconnect.
//
// While connected, the session holds the source (through its delegate), so dropping the last
// outside reference neither cancels the request nor stops the callbacks; `disconnect` does.
class EventSource final : public EventSourceProtocol,
                          public std::enable_shared_from_this<EventSource> {
  struct Passkey {};

 public:
  using SessionFactory = std::function<std::shared_ptr<foundation::URLSession>(
      foundation::URLSessionConfiguration, std::shared_ptr<foundation::URLSessionDelegate>,
      std::shared_ptr<foundation::OperationQueue>)>;

  static constexpr std::int64_t defaultRetryTime = 3000;

  // `makeSession` defaults to foundation::URLSession::make.
  static std::shared_ptr<EventSource> make(foundation::URLRequest request,
                                           foundation::HeaderFields headers = {},
                                           SessionFactory makeSession = {});
  EventSource(Passkey, foundation::URLRequest request, foundation::HeaderFields headers,
              SessionFactory makeSession);
  ~EventSource() override;

  const foundation::HeaderFields& headers() const override { return headers_; }
  std::int64_t retryTime() const override;
  const foundation::URLRequest& request() const override { return request_; }
  std::optional<std::string> lastEventId() const override;
  EventSourceState readyState() const override { return readyState_.load(); }

  void connect(std::optional<std::string> lastEventId = std::nullopt) override;
  void disconnect() override;
  std::vector<std::string> events() const override;

  void onOpen(OpenHandler handler) override;
  void onComplete(CompletionHandler handler) override;
  void onMessage(EventHandler handler) override;
  void addEventListener(const std::string& event, EventHandler handler) override;
  void removeEventListener(const std::string& event) override;

  // Message events read into batches on the stream's queue (where the batch may decode them)
  // instead of one main-queue block each: a batch waiting for the main thread takes in every
  // message event that comes after it until the main thread delivers it, and nothing else
  // passes it, so batches, `onOpen`, listeners and `onComplete` keep the stream's order. Read
  // for each event, like the other callbacks. While `onMessage` is set as well, it is called
  // too, and each event gets a batch of its own.
  void onMessageBatch(MessageBatchFactory makeBatch);

  // No time-outs of its own (the request's idle time-out still applies) and the stream's fixed
  // header fields.
  foundation::URLSessionConfiguration sessionConfiguration(
      const std::optional<std::string>& lastEventId) const;
  // `request` with `headers` under its own fields. They ride on the request rather than the
  // session, which would send them to every host a redirect leads to.
  foundation::URLRequest streamRequest(const std::optional<std::string>& lastEventId) const;

  // The session's delegate operations, called on `operationQueue`.
  void didReceiveResponse(foundation::URLSessionTask& task,
                          const foundation::HTTPURLResponse& response,
                          const std::function<void(foundation::ResponseDisposition)>& completion);
  void didReceiveData(foundation::URLSessionTask& task, const std::string& bytes);
  void didCompleteWithError(foundation::URLSessionTask& task,
                            const std::optional<foundation::URLError>& error);
  void willPerformHTTPRedirection(
      foundation::URLSessionTask& task, const foundation::HTTPURLResponse& response,
      foundation::URLRequest newRequest,
      const std::function<void(std::optional<foundation::URLRequest>)>& completion);

 private:
  class PendingBatch;

  void notifyReceivedEvents(const std::vector<Event>& events);
  // Delegate queue only.
  void post(std::function<void()> block, std::size_t weight = 0);
  void readIntoBatch(const Event& event, const MessageBatchFactory& makeBatch);

  const foundation::URLRequest request_;
  const foundation::HeaderFields headers_;
  const SessionFactory makeSession_;
  std::atomic<EventSourceState> readyState_{EventSourceState::closed};

  // Guards everything below: the user's thread and the delegate queue both reach it.
  mutable std::mutex mutex_;
  std::optional<std::string> lastEventId_;
  std::int64_t retryTime_ = defaultRetryTime;
  OpenHandler onOpenCallback_;
  CompletionHandler onComplete_;
  EventHandler onMessageCallback_;
  std::shared_ptr<const MessageBatchFactory> makeBatch_;
  std::map<std::string, EventHandler> eventListeners_;
  std::shared_ptr<EventStreamParser> eventStreamParser_;
  std::shared_ptr<foundation::URLSession> urlSession_;
  // The task cancelled for sending too much without a block delimiter: it ends with that error.
  const foundation::URLSessionTask* overflowedTask_ = nullptr;

  // The batch posted last, while nothing was posted after it. Delegate queue only.
  std::shared_ptr<PendingBatch> openBatch_;

  const std::shared_ptr<foundation::OperationQueue> operationQueue_;
  // Every callback reaches the main queue through it, in order and in batches.
  const std::shared_ptr<MainQueueBatcher> toMain_;
};

}  // namespace eventstream
