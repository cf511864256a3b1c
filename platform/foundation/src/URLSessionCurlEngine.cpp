#include "URLSessionCurlEngine.h"

#include <stdexcept>

#include "foundation/ThreadName.h"

namespace foundation::detail {
namespace {

CURLM* newMultiHandle() {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURLM* multi = curl_multi_init();
  if (!multi) throw std::runtime_error("curl_multi_init failed");
  return multi;
}

// The wake-up interrupts the wait for commands; the timeout only bounds it. While transfers
// run it is short, so that their idle time-outs are checked often enough to fire on time.
constexpr int kPollTimeoutMs = 1000;
constexpr int kPollTimeoutWhileTransferringMs = 200;

}  // namespace

CurlEngine::CurlEngine() : multi_(newMultiHandle()) {}

CurlEngine::~CurlEngine() {
  for (const auto& [easy, owner] : transfers_) curl_multi_remove_handle(multi_, easy);
  curl_multi_cleanup(multi_);
}

std::shared_ptr<CurlEngine> CurlEngine::start() {
  std::shared_ptr<CurlEngine> engine(new CurlEngine());
  // The thread shares ownership so that a detached loop can finish after its owner is gone.
  std::lock_guard lock(engine->mutex_);
  engine->thread_ = std::thread([engine] {
    foundation::setCurrentThreadName("quill-http");
    engine->run();
  });
  engine->threadId_ = engine->thread_.get_id();
  return engine;
}

void CurlEngine::post(std::function<void()> command) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    commands_.push_back(std::move(command));
  }
  curl_multi_wakeup(multi_);
}

void CurlEngine::shutDown() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  curl_multi_wakeup(multi_);
  if (isCurrent()) {
    thread_.detach();
  } else if (thread_.joinable()) {
    thread_.join();
  }
}

bool CurlEngine::add(CURL* easy, CurlTransfer* owner) {
  if (curl_multi_add_handle(multi_, easy) != CURLM_OK) return false;
  transfers_[easy] = owner;
  return true;
}

void CurlEngine::remove(CURL* easy) {
  if (transfers_.erase(easy) != 0) curl_multi_remove_handle(multi_, easy);
}

void CurlEngine::run() {
  {
    std::lock_guard lock(mutex_);  // start() has stored threadId_
  }
  for (;;) {
    std::deque<std::function<void()>> commands;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
      commands.swap(commands_);
    }
    for (auto& command : commands) {
      command();
      command = nullptr;  // what it captured may end the session; let that happen here
    }
    int running = 0;
    curl_multi_perform(multi_, &running);
    takeFinishedTransfers();
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
      if (!commands_.empty()) continue;
    }
    curl_multi_poll(multi_, nullptr, 0,
                    transfers_.empty() ? kPollTimeoutMs : kPollTimeoutWhileTransferringMs, nullptr);
  }
}

void CurlEngine::takeFinishedTransfers() {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* easy = message->easy_handle;
    const CURLcode result = message->data.result;
    const auto it = transfers_.find(easy);
    if (it == transfers_.end()) continue;
    CurlTransfer* owner = it->second;
    transfers_.erase(it);
    curl_multi_remove_handle(multi_, easy);
    owner->transferFinished(easy, result);
  }
}

}  // namespace foundation::detail
