#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/OperationQueue.h"
#include "foundation/URL.h"

namespace foundation {

// Header names compare without regard to case; the first spelling stored is kept.
struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using HeaderFields = std::map<std::string, std::string, CaseInsensitiveLess>;

struct URLRequest {
  URL url;
  std::string httpMethod = "GET";
  HeaderFields allHTTPHeaderFields;
  std::optional<std::string> httpBody;
  // No bytes for this long ends the request with timedOut.
  std::chrono::duration<double> timeoutInterval{60.0};
  // A body longer than this, counted after content decoding, ends the request with
  // dataLengthExceedsMaximum the moment it is passed. None: the session's limit for bodies
  // handed whole to a completion handler, and no limit for bodies the delegate hears.
  std::optional<std::size_t> maximumBodyLength;

  explicit URLRequest(URL u) : url(std::move(u)) {}
  void setValue(const std::string& value, const std::string& field) {
    allHTTPHeaderFields[field] = value;
  }
  std::optional<std::string> value(const std::string& field) const;
};

struct HTTPURLResponse {
  URL url;
  int statusCode = 0;
  HeaderFields allHeaderFields;
};

struct URLError {
  enum class Code {
    notConnectedToInternet,
    cannotFindHost,
    cannotConnectToHost,
    timedOut,
    cancelled,
    networkConnectionLost,
    badServerResponse,
    dataLengthExceedsMaximum,
    unknown,
  };
  Code code = Code::unknown;
  std::string localizedDescription;  // readable, e.g. "The request timed out."

  static URLError make(Code code);  // with the standard description of that code
  bool operator==(const URLError&) const = default;
};

struct URLSessionConfiguration {
  // Idle time without bytes before a request fails; the shorter of this and the request's own.
  std::chrono::duration<double> timeoutIntervalForRequest{60.0};
  // Longest time a whole request may take.
  std::chrono::duration<double> timeoutIntervalForResource{7 * 24 * 3600.0};
  // Added to every request; the request's own fields win.
  HeaderFields httpAdditionalHeaders;
  // The longest body a data task with a completion handler holds, unless its request says.
  std::size_t maximumBufferedBodyLength = 64 * 1024 * 1024;

  static URLSessionConfiguration defaultConfiguration() { return {}; }
};

enum class ResponseDisposition { allow, cancel };

class URLSessionTask;

// Every call arrives on the session's delegate queue, in order. For each task: at most one
// response head (after redirects were followed), then body chunks, then exactly one end.
class URLSessionDelegate {
 public:
  virtual ~URLSessionDelegate() = default;
  virtual void didReceiveResponse(URLSessionTask& task, const HTTPURLResponse& response,
                                  std::function<void(ResponseDisposition)> completion) {
    (void)task, (void)response;
    completion(ResponseDisposition::allow);
  }
  virtual void didReceiveData(URLSessionTask& task, const std::string& bytes) {
    (void)task, (void)bytes;
  }
  // `task.response()` holds the head when one arrived.
  virtual void didCompleteWithError(URLSessionTask& task, const std::optional<URLError>& error) {
    (void)task, (void)error;
  }
  // The new request may be changed; passing none stops at the redirect response.
  virtual void willPerformHTTPRedirection(
      URLSessionTask& task, const HTTPURLResponse& response, URLRequest newRequest,
      std::function<void(std::optional<URLRequest>)> completion) {
    (void)task, (void)response;
    completion(std::move(newRequest));
  }
};

class URLSession;

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
 public:
  virtual ~URLSessionTask() = default;
  virtual void resume() = 0;
  virtual void cancel() = 0;
  virtual std::uint64_t taskIdentifier() const = 0;
  virtual const URLRequest& originalRequest() const = 0;
  // The head of the response, once it arrived (thread-safe copy).
  virtual std::optional<HTTPURLResponse> response() const = 0;
};

using DataTaskCompletion =
    std::function<void(std::optional<std::string> data, std::optional<HTTPURLResponse> response,
                       std::optional<URLError> error)>;

// One libcurl multi handle on a worker thread per session. Never blocks the caller.
class URLSession {
 public:
  // The delegate is held until the session is invalidated. Delegate calls and data-task
  // completions run on `delegateQueue`, or on a serial queue of the session's own when null.
  static std::shared_ptr<URLSession> make(URLSessionConfiguration configuration,
                                          std::shared_ptr<URLSessionDelegate> delegate = nullptr,
                                          std::shared_ptr<OperationQueue> delegateQueue = nullptr);
  // A session without delegate, for plain data tasks.
  static std::shared_ptr<URLSession> shared();

  virtual ~URLSession() = default;
  virtual const URLSessionConfiguration& configuration() const = 0;

  // Delivers through the delegate.
  virtual std::shared_ptr<URLSessionTask> dataTask(URLRequest request) = 0;
  // Delivers once to `completion` (data, response, error) on the delegate queue.
  virtual std::shared_ptr<URLSessionTask> dataTask(URLRequest request,
                                                   DataTaskCompletion completion) = 0;

  // Cancels every running task (each still reports its end) and releases the delegate after.
  virtual void invalidateAndCancel() = 0;
  // Lets running tasks finish, then releases the delegate.
  virtual void finishTasksAndInvalidate() = 0;
};

}  // namespace foundation
