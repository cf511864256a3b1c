#pragma once

#include <curl/curl.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace foundation::detail {

// Told on the engine thread that one of its easy handles is done. The handle is already out
// of the multi handle; the owner cleans it up.
class CurlTransfer {
 public:
  virtual void transferFinished(CURL* easy, CURLcode result) = 0;

 protected:
  ~CurlTransfer() = default;
};

// One libcurl multi handle driven by its own thread. Other threads reach it only through
// post(); everything else is for the engine thread (commands and libcurl callbacks).
class CurlEngine : public std::enable_shared_from_this<CurlEngine> {
 public:
  static std::shared_ptr<CurlEngine> start();
  ~CurlEngine();
  CurlEngine(const CurlEngine&) = delete;
  CurlEngine& operator=(const CurlEngine&) = delete;

  // Runs `command` on the engine thread, after the commands posted before it. Any thread.
  void post(std::function<void()> command);
  // Ends the loop; pending commands are dropped. Joins the thread, unless called on it (the
  // thread then finishes on its own). Any thread, once.
  void shutDown();
  bool isCurrent() const { return std::this_thread::get_id() == threadId_; }

  // Engine thread. `owner` must stay alive until it is told the transfer finished, or until
  // it removed the handle itself.
  bool add(CURL* easy, CurlTransfer* owner);
  void remove(CURL* easy);

 private:
  CurlEngine();
  void run();
  void takeFinishedTransfers();

  CURLM* const multi_;
  std::mutex mutex_;
  std::deque<std::function<void()>> commands_;  // guarded by mutex_
  bool stopping_ = false;                       // guarded by mutex_
  std::thread thread_;
  std::thread::id threadId_;
  std::map<CURL*, CurlTransfer*> transfers_;  // engine thread
};

}  // namespace foundation::detail
