#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "eventstream/EventSource.h"
#include "foundation/URLSession.h"

namespace core::testing {

// One streamed request that the test answers piece by piece. Every delivery goes to the
// delegate queue, as a real session's would.
class FakeStreamSession final : public foundation::URLSession,
                                public std::enable_shared_from_this<FakeStreamSession> {
 public:
  class Task final : public foundation::URLSessionTask {
   public:
    explicit Task(foundation::URLRequest request) : request_(std::move(request)) {}
    void resume() override {}
    void cancel() override {}
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
    bool finished = false;  // delegate queue only

   private:
    const foundation::URLRequest request_;
    mutable std::mutex mutex_;
    std::optional<foundation::HTTPURLResponse> response_;
  };

  FakeStreamSession(foundation::URLSessionConfiguration configuration,
                    std::shared_ptr<foundation::URLSessionDelegate> delegate,
                    std::shared_ptr<foundation::OperationQueue> queue)
      : configuration_(std::move(configuration)),
        delegate_(std::move(delegate)),
        queue_(std::move(queue)) {}

  const foundation::URLSessionConfiguration& configuration() const override {
    return configuration_;
  }
  std::shared_ptr<foundation::URLSessionTask> dataTask(foundation::URLRequest request) override {
    task_ = std::make_shared<Task>(std::move(request));
    return task_;
  }
  std::shared_ptr<foundation::URLSessionTask> dataTask(foundation::URLRequest request,
                                                       foundation::DataTaskCompletion) override {
    return dataTask(std::move(request));
  }
  void invalidateAndCancel() override {
    onQueue([](FakeStreamSession& self, foundation::URLSessionDelegate& delegate) {
      if (!self.task_->finished) {
        self.task_->finished = true;
        delegate.didCompleteWithError(
            *self.task_, foundation::URLError::make(foundation::URLError::Code::cancelled));
      }
      self.delegate_.reset();
    });
  }
  void finishTasksAndInvalidate() override {
    onQueue(
        [](FakeStreamSession& self, foundation::URLSessionDelegate&) { self.delegate_.reset(); });
  }

  // The request as it went out, and the session's own fields under it.
  const foundation::URLRequest& request() const { return task_->originalRequest(); }
  const foundation::URLSessionConfiguration& sessionConfiguration() const { return configuration_; }

  void respond(int status) {
    task_->setResponse({task_->originalRequest().url, status, {}});
    onQueue([](FakeStreamSession& self, foundation::URLSessionDelegate& delegate) {
      delegate.didReceiveResponse(*self.task_, *self.task_->response(),
                                  [](foundation::ResponseDisposition) {});
    });
  }
  void send(std::string bytes) {
    onQueue([bytes = std::move(bytes)](FakeStreamSession& self,
                                       foundation::URLSessionDelegate& delegate) {
      delegate.didReceiveData(*self.task_, bytes);
    });
  }
  // Waits until the delegate queue has handled everything handed to it so far, without running
  // the main queue.
  void waitUntilDelivered() { queue_->waitUntilAllOperationsAreFinished(); }
  void finish(std::optional<foundation::URLError> error = std::nullopt) {
    onQueue([error](FakeStreamSession& self, foundation::URLSessionDelegate& delegate) {
      if (self.task_->finished) return;
      self.task_->finished = true;
      delegate.didCompleteWithError(*self.task_, error);
    });
  }

 private:
  template <class Body>
  void onQueue(Body body) {
    queue_->addOperation([self = shared_from_this(), body = std::move(body)]() mutable {
      if (self->delegate_) body(*self, *self->delegate_);
    });
  }

  const foundation::URLSessionConfiguration configuration_;
  std::shared_ptr<foundation::URLSessionDelegate> delegate_;  // delegate queue only
  const std::shared_ptr<foundation::OperationQueue> queue_;
  std::shared_ptr<Task> task_;
};

// Hands the model fake sessions and keeps them for the test, in the order they were made.
class FakeStreamTransport {
 public:
  eventstream::EventSource::SessionFactory factory() {
    return [this](foundation::URLSessionConfiguration configuration,
                  std::shared_ptr<foundation::URLSessionDelegate> delegate,
                  std::shared_ptr<foundation::OperationQueue> queue) {
      sessions.push_back(std::make_shared<FakeStreamSession>(
          std::move(configuration), std::move(delegate), std::move(queue)));
      return sessions.back();
    };
  }
  FakeStreamSession& last() { return *sessions.back(); }

  std::vector<std::shared_ptr<FakeStreamSession>> sessions;
};

}  // namespace core::testing
