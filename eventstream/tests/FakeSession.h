#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "foundation/URLSession.h"

namespace eventstream::testing {

class FakeTask final : public foundation::URLSessionTask {
 public:
  explicit FakeTask(foundation::URLRequest request) : request_(std::move(request)) {}

  void resume() override { resumed = true; }
  void cancel() override { cancelled = true; }
  std::uint64_t taskIdentifier() const override { return 1; }
  const foundation::URLRequest& originalRequest() const override { return request_; }
  std::optional<foundation::HTTPURLResponse> response() const override {
    std::lock_guard lock(mutex_);
    return response_;
  }
  void setResponse(foundation::HTTPURLResponse response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
  }

  std::atomic<bool> resumed = false;
  std::atomic<bool> cancelled = false;
  bool finished = false;  // delegate queue only

 private:
  const foundation::URLRequest request_;
  mutable std::mutex mutex_;
  std::optional<foundation::HTTPURLResponse> response_;
};

// A session whose transport is the test: every delivery runs on the delegate queue and is
// waited for.
class FakeSession final : public foundation::URLSession,
                          public std::enable_shared_from_this<FakeSession> {
 public:
  FakeSession(foundation::URLSessionConfiguration configuration,
              std::shared_ptr<foundation::URLSessionDelegate> delegate,
              std::shared_ptr<foundation::OperationQueue> queue)
      : configuration_(std::move(configuration)),
        delegate_(std::move(delegate)),
        queue_(std::move(queue)) {}

  const foundation::URLSessionConfiguration& configuration() const override {
    return configuration_;
  }
  std::shared_ptr<foundation::URLSessionTask> dataTask(foundation::URLRequest request) override {
    tasks.push_back(std::make_shared<FakeTask>(std::move(request)));
    return tasks.back();
  }
  std::shared_ptr<foundation::URLSessionTask> dataTask(foundation::URLRequest request,
                                                       foundation::DataTaskCompletion) override {
    return dataTask(std::move(request));
  }
  void invalidateAndCancel() override {
    invalidated = true;
    onQueue([this](foundation::URLSessionDelegate& delegate) {
      for (auto& task : tasks) {
        if (task->finished) continue;
        task->cancel();
        task->finished = true;
        delegate.didCompleteWithError(
            *task, foundation::URLError{foundation::URLError::Code::cancelled, "cancelled"});
      }
      delegate_.reset();
    });
  }
  void finishTasksAndInvalidate() override {
    invalidated = true;
    onQueue([this](foundation::URLSessionDelegate&) { delegate_.reset(); });
  }

  FakeTask& task() { return *tasks.back(); }

  void respond(int status) {
    task().setResponse({task().originalRequest().url, status, {}});
    onQueue([this](foundation::URLSessionDelegate& delegate) {
      delegate.didReceiveResponse(task(), *task().response(),
                                  [](foundation::ResponseDisposition) {});
    });
  }
  void send(std::string bytes) {
    onQueue([this, bytes](foundation::URLSessionDelegate& delegate) {
      delegate.didReceiveData(task(), bytes);
    });
  }
  void finish(std::optional<foundation::URLError> error = std::nullopt) {
    onQueue([this, error](foundation::URLSessionDelegate& delegate) {
      task().finished = true;
      delegate.didCompleteWithError(task(), error);
    });
  }
  // Every header field the task sends: its own, then the session's where it has none.
  foundation::HeaderFields sentHeaders() {
    foundation::HeaderFields fields = task().originalRequest().allHTTPHeaderFields;
    for (const auto& field : configuration_.httpAdditionalHeaders) fields.insert(field);
    return fields;
  }

  std::vector<std::shared_ptr<FakeTask>> tasks;
  std::atomic<bool> invalidated = false;

 private:
  template <typename Body>
  void onQueue(Body body) {
    queue_->addOperation([this, body = std::move(body)]() mutable {
      if (delegate_) body(*delegate_);
    });
    queue_->waitUntilAllOperationsAreFinished();
  }

  const foundation::URLSessionConfiguration configuration_;
  std::shared_ptr<foundation::URLSessionDelegate> delegate_;
  std::shared_ptr<foundation::OperationQueue> queue_;
};

}  // namespace eventstream::testing
