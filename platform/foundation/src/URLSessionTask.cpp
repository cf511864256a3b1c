#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "URLSessionErrors.h"
#include "URLSessionImpl.h"

namespace foundation::detail {
namespace {

using Seconds = std::chrono::duration<double>;

// 2^31 - 1 seconds and more stand for "no limit".
constexpr double kNoLimitSeconds = 2147483647.0;
constexpr int kMaximumRedirects = 20;

bool isLimit(Seconds interval) {
  return interval.count() > 0 && interval.count() < kNoLimitSeconds;
}

long milliseconds(Seconds interval) {
  return std::max(1L, static_cast<long>(std::ceil(interval.count() * 1000.0)));
}

// Proxies from the environment stay in use, but never for this machine.
const std::string& noProxyList() {
  static const std::string list = [] {
    std::string hosts = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
      const char* value = std::getenv(name);
      if (value && *value) return std::string(value) + "," + hosts;
    }
    return hosts;
  }();
  return list;
}

bool isSafeFieldText(const std::string& text) {
  return text.find_first_of("\r\n") == std::string::npos;
}

bool isSafeFieldName(const std::string& name) {
  return !name.empty() && isSafeFieldText(name) && name.find_first_of(": \t") == std::string::npos;
}

}  // namespace

TaskImpl::TaskImpl(std::shared_ptr<SessionImpl> session, std::uint64_t identifier,
                   URLRequest request, DataTaskCompletion completion)
    : session_(std::move(session)),
      identifier_(identifier),
      originalRequest_(request),
      delegateDriven_(completion == nullptr),
      completion_(std::move(completion)),
      current_(std::move(request)) {}

// A running task is owned by its session until it ended, so no transfer is left here.
TaskImpl::~TaskImpl() {
  releaseHandle();
}

std::shared_ptr<TaskImpl> TaskImpl::self() {
  return std::static_pointer_cast<TaskImpl>(shared_from_this());
}

void TaskImpl::resume() {
  session_->engine().post([task = self()] { task->start(); });
}

void TaskImpl::cancel() {
  session_->engine().post([task = self()] { task->cancelNow(); });
}

std::optional<HTTPURLResponse> TaskImpl::response() const {
  std::lock_guard lock(responseMutex_);
  return response_;
}

void TaskImpl::setResponse(const HTTPURLResponse& response) {
  std::lock_guard lock(responseMutex_);
  response_ = response;
}

void TaskImpl::start() {
  if (phase_ != Phase::created) return;
  phase_ = Phase::running;
  session_->taskStarted(self());
  if (session_->isInvalidated()) return finish(URLError::make(URLError::Code::cancelled));
  if (!isSupportedURL(originalRequest_.url)) return finish(unsupportedURLError());
  const auto& configuration = session_->configuration();
  current_.allHTTPHeaderFields =
      mergedHeaderFields(originalRequest_.allHTTPHeaderFields, configuration.httpAdditionalHeaders);
  bodyLimit_ = originalRequest_.maximumBodyLength;
  if (!bodyLimit_ && !delegateDriven_) bodyLimit_ = configuration.maximumBufferedBodyLength;
  if (isLimit(configuration.timeoutIntervalForResource)) {
    resourceDeadline_ = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            configuration.timeoutIntervalForResource);
  }
  beginHop();
}

void TaskImpl::cancelNow() {
  if (phase_ == Phase::ended) return;
  if (phase_ == Phase::created) {
    phase_ = Phase::running;
    session_->taskStarted(self());
  }
  finish(URLError::make(URLError::Code::cancelled));
}

void TaskImpl::beginHop() {
  head_.reset();
  headComplete_ = false;
  redirectResponse_.reset();
  paused_ = false;
  finishedBeforeDisposition_ = false;
  bodyLength_ = 0;
  bodyTooLarge_ = false;
  errorBuffer_[0] = '\0';
  easy_ = curl_easy_init();
  if (!easy_ || !configure(easy_) || !session_->engine().add(easy_, this)) {
    releaseHandle();
    finish(URLError::make(URLError::Code::unknown));
  }
}

bool TaskImpl::configure(CURL* easy) {
  bool ok = true;
  const auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
  };
  set(CURLOPT_URL, current_.url.absoluteString().c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_FOLLOWLOCATION, 0L);  // each redirect goes through the delegate
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_ACCEPT_ENCODING, "");
  set(CURLOPT_NOPROXY, noProxyList().c_str());
  set(CURLOPT_TCP_KEEPALIVE, 1L);
  set(CURLOPT_ERRORBUFFER, errorBuffer_);
  set(CURLOPT_HEADERFUNCTION, &TaskImpl::onHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(this));
  set(CURLOPT_WRITEFUNCTION, &TaskImpl::onBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));

  const std::string& method = current_.httpMethod;
  if (current_.httpBody) {
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(current_.httpBody->size()));
    set(CURLOPT_COPYPOSTFIELDS, current_.httpBody->data());
    if (method != "POST") set(CURLOPT_CUSTOMREQUEST, method.c_str());
  } else if (method == "GET") {
    set(CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    set(CURLOPT_NOBODY, 1L);
  } else if (method == "POST") {
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
    set(CURLOPT_COPYPOSTFIELDS, "");
  } else {
    set(CURLOPT_CUSTOMREQUEST, method.c_str());
  }

  const auto& fields = current_.allHTTPHeaderFields;
  for (const auto& [name, value] : fields) {
    if (!isSafeFieldName(name) || !isSafeFieldText(value)) continue;  // no header injection
    // "Name;" is libcurl's way of sending a field with an empty value.
    const std::string line = value.empty() ? name + ";" : name + ": " + value;
    headerList_ = curl_slist_append(headerList_, line.c_str());
  }
  // libcurl's own defaults that the platform does not send.
  if (!fields.contains("Expect")) headerList_ = curl_slist_append(headerList_, "Expect:");
  if (!fields.contains("Content-Type"))
    headerList_ = curl_slist_append(headerList_, "Content-Type:");
  set(CURLOPT_HTTPHEADER, headerList_);

  const auto& configuration = session_->configuration();
  const Seconds idle = std::min(current_.timeoutInterval, configuration.timeoutIntervalForRequest);
  idleLimit_.reset();
  if (isLimit(idle)) {
    // Not curl's low-speed check: it averages over a window of several seconds and so fires
    // that much late. The progress callback runs at least once a second, idle or not.
    idleLimit_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(idle);
    lastActivity_ = std::chrono::steady_clock::now();
    lastDownloaded_ = lastUploaded_ = 0;
    set(CURLOPT_XFERINFOFUNCTION, &TaskImpl::onProgress);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_CONNECTTIMEOUT_MS, milliseconds(idle));
  }
  if (resourceDeadline_) {
    const Seconds left = *resourceDeadline_ - std::chrono::steady_clock::now();
    set(CURLOPT_TIMEOUT_MS, milliseconds(left));
  }
  return ok;
}

void TaskImpl::releaseCollected() {
  std::string().swap(collected_);
}

void TaskImpl::releaseHandle() {
  if (easy_) curl_easy_cleanup(easy_);
  easy_ = nullptr;
  if (headerList_) curl_slist_free_all(headerList_);
  headerList_ = nullptr;
}

size_t TaskImpl::onHeader(char* data, size_t size, size_t count, void* self) {
  return static_cast<TaskImpl*>(self)->headerLine(std::string_view(data, size * count));
}

size_t TaskImpl::onBody(char* data, size_t size, size_t count, void* self) {
  return static_cast<TaskImpl*>(self)->bodyBytes(data, size * count);
}

int TaskImpl::onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                         curl_off_t uploaded) {
  return static_cast<TaskImpl*>(self)->stillTalking(downloaded, uploaded) ? 0 : 1;
}

bool TaskImpl::stillTalking(curl_off_t downloaded, curl_off_t uploaded) {
  const auto now = std::chrono::steady_clock::now();
  // While the delegate decides, the silence is ours, not the server's.
  if (downloaded != lastDownloaded_ || uploaded != lastUploaded_ || paused_) {
    lastDownloaded_ = downloaded;
    lastUploaded_ = uploaded;
    lastActivity_ = now;
    return true;
  }
  if (!idleLimit_ || now - lastActivity_ < *idleLimit_) return true;
  idleTimedOut_ = true;
  return false;
}

size_t TaskImpl::headerLine(std::string_view line) {
  lastActivity_ = std::chrono::steady_clock::now();
  if (headComplete_) return line.size();  // trailers of a chunked body
  if (head_.feed(line) != ResponseHeadParser::Line::end) return line.size();
  const int status = head_.statusCode();
  if (status < 200) {  // an interim response; the real one follows
    head_.reset();
    return line.size();
  }
  HTTPURLResponse response{current_.url, status, head_.fields()};
  if (isRedirectStatus(status) && response.allHeaderFields.contains("Location")) {
    // The body of a redirect is of no use: stop reading and follow it from transferFinished.
    redirectResponse_ = std::move(response);
    return 0;
  }
  headComplete_ = true;
  headReceived(response);
  return line.size();
}

void TaskImpl::headReceived(const HTTPURLResponse& head) {
  setResponse(head);
  if (!delegateDriven_) return;
  phase_ = Phase::awaitingDisposition;
  const std::uint64_t token = ++decisionToken_;
  session_->postToDelegateQueue([task = self(), head, token] {
    auto answer = [task, token](ResponseDisposition disposition) {
      task->session_->engine().post(
          [task, token, disposition] { task->dispositionArrived(token, disposition); });
    };
    if (auto delegate = task->session_->delegate()) {
      delegate->didReceiveResponse(*task, head, std::move(answer));
    } else {
      answer(ResponseDisposition::allow);
    }
  });
}

size_t TaskImpl::bodyBytes(const char* data, size_t length) {
  if (redirectResponse_) return length;
  if (phase_ == Phase::awaitingDisposition) {
    // libcurl keeps the bytes and hands them over again once unpaused.
    paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (delegateDriven_ && undeliveredBytes_ >= kMaximumUndeliveredBytes) {
    // A delegate slower than the network: stop reading until it has caught up, so the bytes
    // wait in the socket rather than in memory. libcurl hands them over again once unpaused.
    backlogPaused_ = true;
    if (undeliveredBytes_ >= kMaximumUndeliveredBytes) {
      paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    backlogPaused_ = false;  // it caught up meanwhile
  }
  // libcurl hands over decoded bytes, so a small compressed body that inflates is caught
  // here, before it is held anywhere.
  if (bodyLimit_ && length > *bodyLimit_ - bodyLength_) {
    bodyTooLarge_ = true;
    releaseCollected();
    return 0;  // any other count than `length` aborts the transfer
  }
  bodyLength_ += length;
  if (!delegateDriven_) {
    collected_.append(data, length);
    return length;
  }
  undeliveredBytes_ += length;
  session_->postToDelegateQueue([task = self(), bytes = std::string(data, length)] {
    if (auto delegate = task->session_->delegate()) delegate->didReceiveData(*task, bytes);
    task->bytesDelivered(bytes.size());
  });
  return length;
}

void TaskImpl::bytesDelivered(std::size_t count) {
  const std::size_t left = undeliveredBytes_ -= count;
  if (left < kResumeUndeliveredBytes && backlogPaused_) {
    session_->engine().post([task = self()] { task->resumeReading(); });
  }
}

void TaskImpl::resumeReading() {
  if (!backlogPaused_.exchange(false)) return;
  if (phase_ != Phase::running || !easy_) return;
  paused_ = false;
  curl_easy_pause(easy_, CURLPAUSE_CONT);
}

void TaskImpl::dispositionArrived(std::uint64_t token, ResponseDisposition disposition) {
  if (phase_ != Phase::awaitingDisposition || token != decisionToken_) return;
  if (disposition == ResponseDisposition::cancel) return cancelNow();
  phase_ = Phase::running;
  if (finishedBeforeDisposition_) return finish(std::nullopt);
  if (paused_ && easy_) {
    paused_ = false;
    // The bytes held back are delivered inside this call, and may pass the limit there.
    curl_easy_pause(easy_, CURLPAUSE_CONT);
    if (bodyTooLarge_) finish(URLError::make(URLError::Code::dataLengthExceedsMaximum));
  }
}

void TaskImpl::transferFinished(CURL* easy, CURLcode result) {
  const auto keep = self();
  if (easy != easy_) return;
  if (std::exchange(idleTimedOut_, false) && result == CURLE_ABORTED_BY_CALLBACK)
    result = CURLE_OPERATION_TIMEDOUT;
  std::optional<URLError> error =
      result == CURLE_OK ? std::nullopt : std::optional(errorFor(easy, result));
  if (bodyTooLarge_) error = URLError::make(URLError::Code::dataLengthExceedsMaximum);
  releaseHandle();
  if (phase_ == Phase::ended) return;
  if (redirectResponse_) return followRedirect();
  if (error) return finish(error);
  if (!headComplete_) return finish(URLError::make(URLError::Code::badServerResponse));
  if (phase_ == Phase::awaitingDisposition) {
    finishedBeforeDisposition_ = true;  // the end waits for the delegate's answer
    return;
  }
  finish(std::nullopt);
}

URLError TaskImpl::errorFor(CURL* easy, CURLcode result) {
  FailureContext context;
  curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &context.osErrno);
  context.hostIsLoopback = isLoopbackHost(current_.url.host());
  if (result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_HOST)
    context.networkInterfaceUp = hasNetworkInterfaceUp();
  context.detail = errorBuffer_;
  return urlErrorForCurlResult(result, context);
}

void TaskImpl::followRedirect() {
  lastRedirect_ = std::move(redirectResponse_);
  redirectResponse_.reset();
  if (++redirectCount_ > kMaximumRedirects) return finish(tooManyRedirectsError());
  auto next = redirectRequest(current_, *lastRedirect_);
  if (!next) return finish(URLError::make(URLError::Code::badServerResponse));
  phase_ = Phase::awaitingRedirect;
  const std::uint64_t token = ++decisionToken_;
  if (!session_->delegate()) return redirectDecided(token, std::move(next));
  session_->postToDelegateQueue(
      [task = self(), redirect = *lastRedirect_, next = std::move(*next), token]() mutable {
        auto answer = [task, token](std::optional<URLRequest> request) {
          task->session_->engine().post([task, token, request = std::move(request)]() mutable {
            task->redirectDecided(token, std::move(request));
          });
        };
        if (auto delegate = task->session_->delegate()) {
          delegate->willPerformHTTPRedirection(*task, redirect, std::move(next), std::move(answer));
        } else {
          answer(std::move(next));
        }
      });
}

void TaskImpl::redirectDecided(std::uint64_t token, std::optional<URLRequest> request) {
  if (phase_ != Phase::awaitingRedirect || token != decisionToken_) return;
  phase_ = Phase::running;
  if (!request) {
    // Refused: the redirect response is the final one (its body was not read).
    headComplete_ = true;
    headReceived(*lastRedirect_);
    if (phase_ == Phase::awaitingDisposition) {
      finishedBeforeDisposition_ = true;
      return;
    }
    return finish(std::nullopt);
  }
  if (!isSupportedURL(request->url)) return finish(unsupportedURLError());
  current_ = std::move(*request);
  beginHop();
}

void TaskImpl::finish(std::optional<URLError> error) {
  if (phase_ == Phase::ended) return;
  const auto keep = self();
  phase_ = Phase::ended;
  if (easy_) session_->engine().remove(easy_);
  releaseHandle();
  if (delegateDriven_) {
    session_->postToDelegateQueue([task = keep, error] {
      if (auto delegate = task->session_->delegate()) delegate->didCompleteWithError(*task, error);
    });
  } else {
    std::optional<std::string> data;
    if (!error) data = std::move(collected_);
    releaseCollected();
    session_->postToDelegateQueue([task = keep, completion = std::move(completion_),
                                   data = std::move(data), response = response(),
                                   error] { completion(data, response, error); });
  }
  session_->taskEnded(*this);
}

}  // namespace foundation::detail
