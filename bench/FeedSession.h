#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/URLSession.h"

// A stream session whose network is a thread of its own: it answers 200 and hands the stream
// its chunks back to back, as fast as the stream takes them, then ends. With no chunks and
// `ends` false it stays silent, as a service that has not answered yet.
class FeedSession final : public foundation::URLSession,
                          public std::enable_shared_from_this<FeedSession> {
 public:
  FeedSession(std::shared_ptr<const std::vector<std::string>> chunks, bool ends,
              std::shared_ptr<foundation::URLSessionDelegate> delegate)
      : chunks_(std::move(chunks)), ends_(ends), delegate_(std::move(delegate)) {}
  ~FeedSession() override {
    stop_ = true;
    if (feeder_.joinable()) feeder_.join();
  }

  // For DataModelEnvironment::streamSessionFactory.
  static auto factory(std::shared_ptr<const std::vector<std::string>> chunks, bool ends) {
    return [chunks, ends](foundation::URLSessionConfiguration,
                          std::shared_ptr<foundation::URLSessionDelegate> delegate,
                          std::shared_ptr<foundation::OperationQueue>) {
      return std::make_shared<FeedSession>(chunks, ends, std::move(delegate));
    };
  }

  const foundation::URLSessionConfiguration& configuration() const override {
    return configuration_;
  }
  std::shared_ptr<foundation::URLSessionTask> dataTask(foundation::URLRequest request) override {
    task_ = std::make_shared<Task>(std::move(request), *this);
    return task_;
  }
  std::shared_ptr<foundation::URLSessionTask> dataTask(foundation::URLRequest request,
                                                       foundation::DataTaskCompletion) override {
    return dataTask(std::move(request));
  }
  void invalidateAndCancel() override {
    stop_ = true;
    if (!feeder_.joinable()) delegate_.reset();
  }
  void finishTasksAndInvalidate() override {}

 private:
  class Task final : public foundation::URLSessionTask {
   public:
    Task(foundation::URLRequest request, FeedSession& session)
        : request_(std::move(request)), session_(session) {}
    void resume() override { session_.start(); }
    void cancel() override { session_.stop_ = true; }
    std::uint64_t taskIdentifier() const override { return 1; }
    const foundation::URLRequest& originalRequest() const override { return request_; }
    std::optional<foundation::HTTPURLResponse> response() const override {
      return foundation::HTTPURLResponse{request_.url, 200, {}};
    }

   private:
    foundation::URLRequest request_;
    FeedSession& session_;
  };

  void start() {
    if (!ends_ && chunks_->empty()) return;
    feeder_ = std::thread([this] {
      auto& task = *task_;
      delegate_->didReceiveResponse(task, *task.response(), [](auto) {});
      for (const auto& chunk : *chunks_) {
        if (stop_) break;
        delegate_->didReceiveData(task, chunk);
      }
      if (stop_) {
        delegate_->didCompleteWithError(
            task, foundation::URLError::make(foundation::URLError::Code::cancelled));
      } else if (ends_) {
        delegate_->didCompleteWithError(task, std::nullopt);
      }
      // Lets the stream go, as a session does once its task ended.
      delegate_.reset();
    });
  }

  const std::shared_ptr<const std::vector<std::string>> chunks_;
  const bool ends_;
  std::shared_ptr<foundation::URLSessionDelegate> delegate_;
  foundation::URLSessionConfiguration configuration_;
  std::shared_ptr<Task> task_;
  std::atomic<bool> stop_ = false;
  std::thread feeder_;
};
