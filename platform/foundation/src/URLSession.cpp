#include "foundation/URLSession.h"

#include <vector>

#include "URLSessionImpl.h"

// Ownership: a task holds its session; a started task is held by its session until its end
// was posted, and each delegate block holds its task. So a session that its user releases
// keeps working until its last task ended, then goes away on whichever thread dropped it last
// (the engine thread then finishes on its own). The session holds its delegate until it is
// invalidated; a delegate that holds its session keeps both alive until then.
namespace foundation {

std::shared_ptr<URLSession> URLSession::make(URLSessionConfiguration configuration,
                                             std::shared_ptr<URLSessionDelegate> delegate,
                                             std::shared_ptr<OperationQueue> delegateQueue) {
  return std::make_shared<detail::SessionImpl>(std::move(configuration), std::move(delegate),
                                               std::move(delegateQueue));
}

std::shared_ptr<URLSession> URLSession::shared() {
  static const std::shared_ptr<URLSession> session =
      make(URLSessionConfiguration::defaultConfiguration());
  return session;
}

namespace detail {

SessionImpl::SessionImpl(URLSessionConfiguration configuration,
                         std::shared_ptr<URLSessionDelegate> delegate,
                         std::shared_ptr<OperationQueue> delegateQueue)
    : configuration_(std::move(configuration)),
      delegateQueue_(delegateQueue ? std::move(delegateQueue)
                                   : std::make_shared<OperationQueue>("quill-urlsession")),
      delegate_(std::move(delegate)),
      engine_(CurlEngine::start()) {}

SessionImpl::~SessionImpl() {
  engine_->shutDown();
}

std::shared_ptr<URLSessionTask> SessionImpl::dataTask(URLRequest request) {
  return dataTask(std::move(request), nullptr);
}

std::shared_ptr<URLSessionTask> SessionImpl::dataTask(URLRequest request,
                                                      DataTaskCompletion completion) {
  return std::make_shared<TaskImpl>(shared_from_this(), nextTaskIdentifier_++, std::move(request),
                                    std::move(completion));
}

void SessionImpl::invalidateAndCancel() {
  engine_->post([session = shared_from_this()] { session->invalidate(true); });
}

void SessionImpl::finishTasksAndInvalidate() {
  engine_->post([session = shared_from_this()] { session->invalidate(false); });
}

std::shared_ptr<URLSessionDelegate> SessionImpl::delegate() const {
  std::lock_guard lock(delegateMutex_);
  return delegate_;
}

void SessionImpl::taskStarted(std::shared_ptr<TaskImpl> task) {
  const auto identifier = task->taskIdentifier();
  running_.emplace(identifier, std::move(task));
}

void SessionImpl::taskEnded(const TaskImpl& task) {
  running_.erase(task.taskIdentifier());
  if (invalidated_) releaseDelegateWhenIdle();
}

void SessionImpl::invalidate(bool cancelRunning) {
  invalidated_ = true;
  if (cancelRunning) {
    std::vector<std::shared_ptr<TaskImpl>> tasks;
    for (const auto& [identifier, task] : running_) tasks.push_back(task);
    for (const auto& task : tasks) task->cancelNow();
  }
  releaseDelegateWhenIdle();
}

void SessionImpl::releaseDelegateWhenIdle() {
  if (!running_.empty() || delegateReleaseScheduled_) return;
  delegateReleaseScheduled_ = true;
  // Through the delegate queue first, so that every call already queued still finds it; the
  // delegate itself is then dropped on the engine thread, never inside one of its own calls.
  postToDelegateQueue([session = shared_from_this()] {
    session->engine_->post([session] {
      std::shared_ptr<URLSessionDelegate> released;
      {
        std::lock_guard lock(session->delegateMutex_);
        released.swap(session->delegate_);
      }
    });
  });
}

}  // namespace detail
}  // namespace foundation
