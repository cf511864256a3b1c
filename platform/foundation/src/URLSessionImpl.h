#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "URLSessionCurlEngine.h"
#include "URLSessionHTTP.h"
#include "foundation/URLSession.h"

namespace foundation::detail {

class SessionImpl;

// One task. Its public operations only post to the engine thread; the transfer state below
// is touched on the engine thread alone, except `response_`, which has its own lock.
class TaskImpl final : public URLSessionTask, public CurlTransfer {
 public:
  TaskImpl(std::shared_ptr<SessionImpl> session, std::uint64_t identifier, URLRequest request,
           DataTaskCompletion completion);
  ~TaskImpl() override;

  void resume() override;
  void cancel() override;
  std::uint64_t taskIdentifier() const override { return identifier_; }
  const URLRequest& originalRequest() const override { return originalRequest_; }
  std::optional<HTTPURLResponse> response() const override;

  // Engine thread.
  void start();
  void cancelNow();
  void transferFinished(CURL* easy, CURLcode result) override;

 private:
  enum class Phase { created, running, awaitingDisposition, awaitingRedirect, ended };

  std::shared_ptr<TaskImpl> self();

  void beginHop();
  bool configure(CURL* easy);
  void releaseHandle();
  void releaseCollected();
  void headReceived(const HTTPURLResponse& head);
  void dispositionArrived(std::uint64_t token, ResponseDisposition disposition);
  void followRedirect();
  void redirectDecided(std::uint64_t token, std::optional<URLRequest> request);
  void finish(std::optional<URLError> error);
  URLError errorFor(CURL* easy, CURLcode result);
  void setResponse(const HTTPURLResponse& response);

  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static int onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                        curl_off_t uploaded);
  bool stillTalking(curl_off_t downloaded, curl_off_t uploaded);
  size_t headerLine(std::string_view line);
  size_t bodyBytes(const char* data, size_t length);
  // Delegate queue: a chunk of the body was handed over.
  void bytesDelivered(std::size_t count);
  void resumeReading();

  // Body bytes posted to the delegate and not yet handed over, beyond which reading stops.
  static constexpr std::size_t kMaximumUndeliveredBytes = 1024 * 1024;
  static constexpr std::size_t kResumeUndeliveredBytes = 256 * 1024;

  const std::shared_ptr<SessionImpl> session_;
  const std::uint64_t identifier_;
  const URLRequest originalRequest_;
  const bool delegateDriven_;  // no completion handler: the delegate hears everything

  mutable std::mutex responseMutex_;
  std::optional<HTTPURLResponse> response_;  // guarded by responseMutex_

  // Engine thread from here on.
  DataTaskCompletion completion_;
  Phase phase_ = Phase::created;
  URLRequest current_;  // the request of the hop in flight, header fields merged
  CURL* easy_ = nullptr;
  curl_slist* headerList_ = nullptr;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
  ResponseHeadParser head_;
  bool headComplete_ = false;
  std::optional<HTTPURLResponse> redirectResponse_;  // the head of this hop asked to go on
  std::optional<HTTPURLResponse> lastRedirect_;      // waiting for the delegate's decision
  bool paused_ = false;
  bool finishedBeforeDisposition_ = false;
  std::uint64_t decisionToken_ = 0;
  int redirectCount_ = 0;
  std::optional<std::chrono::steady_clock::time_point> resourceDeadline_;
  // The idle limit of this hop, and when bytes last moved either way.
  std::optional<std::chrono::steady_clock::duration> idleLimit_;
  std::chrono::steady_clock::time_point lastActivity_;
  curl_off_t lastDownloaded_ = 0, lastUploaded_ = 0;
  bool idleTimedOut_ = false;
  std::optional<std::size_t> bodyLimit_;
  std::size_t bodyLength_ = 0;  // of this hop's body, decoded
  bool bodyTooLarge_ = false;
  std::string collected_;
  // Written on the engine thread and the delegate queue.
  std::atomic<std::size_t> undeliveredBytes_{0};
  std::atomic<bool> backlogPaused_{false};
};

class SessionImpl final : public URLSession, public std::enable_shared_from_this<SessionImpl> {
 public:
  SessionImpl(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
              std::shared_ptr<OperationQueue> delegateQueue);
  ~SessionImpl() override;

  const URLSessionConfiguration& configuration() const override { return configuration_; }
  std::shared_ptr<URLSessionTask> dataTask(URLRequest request) override;
  std::shared_ptr<URLSessionTask> dataTask(URLRequest request,
                                           DataTaskCompletion completion) override;
  void invalidateAndCancel() override;
  void finishTasksAndInvalidate() override;

  // For tasks.
  CurlEngine& engine() { return *engine_; }
  void postToDelegateQueue(Block block) { delegateQueue_->addOperation(std::move(block)); }
  std::shared_ptr<URLSessionDelegate> delegate() const;

  // Engine thread.
  bool isInvalidated() const { return invalidated_; }
  void taskStarted(std::shared_ptr<TaskImpl> task);
  void taskEnded(const TaskImpl& task);

 private:
  void invalidate(bool cancelRunning);
  void releaseDelegateWhenIdle();

  const URLSessionConfiguration configuration_;
  const std::shared_ptr<OperationQueue> delegateQueue_;
  mutable std::mutex delegateMutex_;
  std::shared_ptr<URLSessionDelegate> delegate_;  // guarded by delegateMutex_
  std::atomic<std::uint64_t> nextTaskIdentifier_{1};
  const std::shared_ptr<CurlEngine> engine_;

  // Engine thread.
  bool invalidated_ = false;
  bool delegateReleaseScheduled_ = false;
  std::unordered_map<std::uint64_t, std::shared_ptr<TaskImpl>> running_;
};

}  // namespace foundation::detail
