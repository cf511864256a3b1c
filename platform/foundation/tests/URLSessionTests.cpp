#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/DispatchQueue.h"
#include "foundation/OperationQueue.h"
#include "foundation/URLSession.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/ProcessMemory.h"

using namespace std::chrono_literals;
using foundation::DataTaskCompletion;
using foundation::DispatchQueue;
using foundation::HTTPURLResponse;
using foundation::OperationQueue;
using foundation::ResponseDisposition;
using foundation::URL;
using foundation::URLError;
using foundation::URLRequest;
using foundation::URLSession;
using foundation::URLSessionConfiguration;
using foundation::URLSessionDelegate;
using foundation::URLSessionTask;
using testsupport::LoopbackServer;
namespace MainRunLoop = foundation::MainRunLoop;

namespace {

bool runUntil(const std::function<bool()>& predicate) {
  return MainRunLoop::runUntil(predicate, 20s);
}

// What a delegate heard, kept on the main thread.
struct Record {
  std::vector<std::string> calls;  // "response", "data", "redirect", "end", in order
  std::optional<HTTPURLResponse> head;
  std::string body;
  int ends = 0;
  std::optional<URLError> error;
  std::optional<HTTPURLResponse> responseAtEnd;
  std::vector<URLRequest> proposedRedirects;
  int callsOffTheDelegateQueue = 0;
  bool delegateReleased = false;
};

class RecordingDelegate : public URLSessionDelegate {
 public:
  RecordingDelegate(std::shared_ptr<Record> record, std::shared_ptr<OperationQueue> queue)
      : record_(std::move(record)), queue_(std::move(queue)) {}
  ~RecordingDelegate() override {
    DispatchQueue::main().async([record = record_] { record->delegateReleased = true; });
  }

  // Set before the session starts.
  ResponseDisposition disposition = ResponseDisposition::allow;
  std::function<std::optional<URLRequest>(URLRequest)> redirectPolicy = [](URLRequest r) {
    return std::optional(std::move(r));
  };

  void didReceiveResponse(URLSessionTask&, const HTTPURLResponse& response,
                          std::function<void(ResponseDisposition)> completion) override {
    note([response](Record& r) {
      r.calls.push_back("response");
      r.head = response;
    });
    completion(disposition);
  }
  void didReceiveData(URLSessionTask&, const std::string& bytes) override {
    note([bytes](Record& r) {
      r.calls.push_back("data");
      r.body += bytes;
    });
  }
  void didCompleteWithError(URLSessionTask& task, const std::optional<URLError>& error) override {
    note([error, response = task.response()](Record& r) {
      r.calls.push_back("end");
      ++r.ends;
      r.error = error;
      r.responseAtEnd = response;
    });
  }
  void willPerformHTTPRedirection(
      URLSessionTask&, const HTTPURLResponse&, URLRequest newRequest,
      std::function<void(std::optional<URLRequest>)> completion) override {
    note([newRequest](Record& r) {
      r.calls.push_back("redirect");
      r.proposedRedirects.push_back(newRequest);
    });
    completion(redirectPolicy(std::move(newRequest)));
  }

 private:
  void note(std::function<void(Record&)> change) {
    const bool onQueue = queue_->isCurrent();
    DispatchQueue::main().async([record = record_, change = std::move(change), onQueue] {
      if (!onQueue) ++record->callsOffTheDelegateQueue;
      change(*record);
    });
  }

  std::shared_ptr<Record> record_;
  std::shared_ptr<OperationQueue> queue_;
};

class URLSessionTest : public ::testing::Test {
 protected:
  URLRequest request(const std::string& path, const LoopbackServer* on = nullptr) const {
    return URLRequest(*URL::parse((on ? on : &server)->url(path)));
  }

  // The session becomes the delegate's only owner, so that its release can be seen.
  std::shared_ptr<URLSession> session(URLSessionConfiguration configuration = {}) {
    return URLSession::make(std::move(configuration), std::move(delegate), queue);
  }

  void waitForEnd() {
    ASSERT_TRUE(runUntil([&] { return record->ends > 0; }));
  }

  // Once the delegate is let go, everything the session had to say was said.
  void invalidateAndSettle(URLSession& session) {
    session.finishTasksAndInvalidate();
    ASSERT_TRUE(runUntil([&] { return record->delegateReleased; }));
    EXPECT_EQ(record->ends, 1);
    EXPECT_EQ(record->callsOffTheDelegateQueue, 0);
  }

  LoopbackServer server;
  std::shared_ptr<Record> record = std::make_shared<Record>();
  std::shared_ptr<OperationQueue> queue = std::make_shared<OperationQueue>();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>(record, queue);
};

TEST_F(URLSessionTest, StreamedChunksArriveInOrderThenOneEnd) {
  server.stream("/events",
                {{5ms, "data: one\n\n"}, {30ms, "data: two\n\n"}, {30ms, "data: 3\n\n"}});
  auto s = session();
  s->dataTask(request("/events"))->resume();
  waitForEnd();

  ASSERT_TRUE(record->head);
  EXPECT_EQ(record->head->statusCode, 200);
  EXPECT_EQ(record->head->allHeaderFields.at("content-type"), "text/event-stream");
  EXPECT_EQ(record->body, "data: one\n\ndata: two\n\ndata: 3\n\n");
  EXPECT_EQ(record->calls.front(), "response");
  EXPECT_EQ(record->calls.back(), "end");
  EXPECT_FALSE(record->error);
  ASSERT_TRUE(record->responseAtEnd);
  EXPECT_EQ(record->responseAtEnd->statusCode, 200);
  invalidateAndSettle(*s);
}

TEST_F(URLSessionTest, ErrorStatusesArriveAsHeadBodyAndCleanEnd) {
  struct Case {
    int status;
    std::string body;
  };
  for (const Case& c : {Case{401, R"({"error":{"message":"bad key"}})"}, Case{500, "oops"},
                        Case{204, ""}, Case{429, "slow down"}}) {
    SCOPED_TRACE(c.status);
    record = std::make_shared<Record>();
    delegate = std::make_shared<RecordingDelegate>(record, queue);
    server.reply("/status", {c.status, c.body, "application/json", {{"X-Request-Id", "r-7"}}});
    auto s = session();
    s->dataTask(request("/status"))->resume();
    waitForEnd();
    ASSERT_TRUE(record->head);
    EXPECT_EQ(record->head->statusCode, c.status);
    EXPECT_EQ(record->head->allHeaderFields.at("x-request-id"), "r-7");
    EXPECT_EQ(record->body, c.body);
    EXPECT_FALSE(record->error);
    invalidateAndSettle(*s);
  }
}

TEST_F(URLSessionTest, CancelledTasksStillEndOnceWithCancelled) {
  server.stallBeforeHead("/silent");
  server.stallAfterHead("/head-only");

  {  // before any head
    auto s = session();
    auto task = s->dataTask(request("/silent"));
    task->resume();
    task->cancel();
    waitForEnd();
    ASSERT_TRUE(record->error);
    EXPECT_EQ(record->error->code, URLError::Code::cancelled);
    EXPECT_EQ(record->error->localizedDescription, "cancelled");
    EXPECT_FALSE(record->responseAtEnd);
    invalidateAndSettle(*s);
  }
  {  // after the head, by invalidating: the response stays available
    record = std::make_shared<Record>();
    delegate = std::make_shared<RecordingDelegate>(record, queue);
    auto s = session();
    auto task = s->dataTask(request("/head-only"));
    task->resume();
    ASSERT_TRUE(runUntil([&] { return record->head.has_value(); }));
    s->invalidateAndCancel();
    waitForEnd();
    ASSERT_TRUE(record->error);
    EXPECT_EQ(record->error->code, URLError::Code::cancelled);
    ASSERT_TRUE(record->responseAtEnd);
    EXPECT_EQ(record->responseAtEnd->statusCode, 200);
    EXPECT_EQ(task->response()->statusCode, 200);
    ASSERT_TRUE(runUntil([&] { return record->delegateReleased; }));
    EXPECT_EQ(record->ends, 1);
  }
  {  // by the delegate's disposition: no body follows
    record = std::make_shared<Record>();
    delegate = std::make_shared<RecordingDelegate>(record, queue);
    delegate->disposition = ResponseDisposition::cancel;
    server.replyJSON("/json", R"({"a":1})");
    auto s = session();
    s->dataTask(request("/json"))->resume();
    waitForEnd();
    EXPECT_EQ(record->error->code, URLError::Code::cancelled);
    EXPECT_EQ(record->body, "");
    EXPECT_EQ(record->responseAtEnd->statusCode, 200);
    invalidateAndSettle(*s);
  }
}

TEST_F(URLSessionTest, RequestFieldsWinOverConfigurationFieldsWhateverTheirCase) {
  server.replyJSON("/echo", "{}");
  URLSessionConfiguration configuration;
  configuration.httpAdditionalHeaders = {
      {"X-Token", "from-configuration"}, {"X-Extra", "extra"}, {"accept", "config/accept"}};
  auto s = session(configuration);
  URLRequest r = request("/echo");
  r.httpMethod = "POST";
  r.httpBody = R"({"q":"hi"})";
  r.setValue("from-request", "x-token");
  r.setValue("text/event-stream", "Accept");
  r.setValue("application/json", "Content-Type");
  s->dataTask(r)->resume();
  waitForEnd();
  invalidateAndSettle(*s);

  const auto received = server.requests("/echo");
  ASSERT_EQ(received.size(), 1u);
  const auto& sent = received.front();
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.body, R"({"q":"hi"})");
  EXPECT_EQ(sent.header("X-Token"), "from-request");
  EXPECT_EQ(sent.headerCount("X-Token"), 1u);
  EXPECT_EQ(sent.header("Accept"), "text/event-stream");
  EXPECT_EQ(sent.headerCount("Accept"), 1u);
  EXPECT_EQ(sent.header("X-Extra"), "extra");
  EXPECT_EQ(sent.header("Content-Type"), "application/json");
  EXPECT_FALSE(sent.header("Expect"));
}

TEST_F(URLSessionTest, RedirectToAnotherPortGoesThroughTheDelegate) {
  LoopbackServer other;
  other.replyWith("/target", [](const testsupport::RecordedRequest& r) {
    return LoopbackServer::Reply{200, r.method + " " + r.body, "text/plain", {}};
  });
  server.redirect("/start", other.url("/target"), 307);
  delegate->redirectPolicy = [](URLRequest next) {
    next.setValue("second", "X-Hop");
    next.allHTTPHeaderFields.erase("X-Secret");
    return std::optional(std::move(next));
  };
  auto s = session();
  URLRequest r = request("/start");
  r.httpMethod = "POST";
  r.httpBody = "payload";
  r.setValue("Bearer key", "Authorization");
  r.setValue("s3cret", "X-Secret");
  s->dataTask(r)->resume();
  waitForEnd();
  invalidateAndSettle(*s);

  ASSERT_EQ(record->proposedRedirects.size(), 1u);
  const URLRequest& proposed = record->proposedRedirects.front();
  EXPECT_EQ(proposed.url.absoluteString(), other.url("/target"));
  EXPECT_EQ(proposed.httpMethod, "POST");
  EXPECT_EQ(proposed.httpBody, "payload");
  EXPECT_FALSE(proposed.value("Authorization")) << "credentials never go to another origin";
  EXPECT_EQ(record->calls, (std::vector<std::string>{"redirect", "response", "data", "end"}));
  EXPECT_EQ(record->head->url.absoluteString(), other.url("/target"));
  EXPECT_EQ(record->body, "POST payload");
  const auto received = other.requests("/target");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received.front().header("X-Hop"), "second");
  EXPECT_FALSE(received.front().header("X-Secret"));
  EXPECT_FALSE(received.front().header("Authorization"));
}

TEST_F(URLSessionTest, RedirectsChangeMethodLikeBrowsersAndCanBeRefused) {
  server.replyWith("/landing", [](const testsupport::RecordedRequest& r) {
    return LoopbackServer::Reply{200, r.method + ":" + r.body, "text/plain", {}};
  });
  server.redirect("/see-other", "/landing", 303);
  server.redirect("/loop", "/loop", 302);
  auto s = URLSession::make({}, nullptr, queue);

  struct Outcome {
    std::optional<std::string> data;
    std::optional<HTTPURLResponse> response;
    std::optional<URLError> error;
  };
  const auto fetch = [&](URLRequest r) {
    auto outcome = std::make_shared<std::optional<Outcome>>();
    s->dataTask(std::move(r), [outcome](auto data, auto response, auto error) {
       DispatchQueue::main().async([=] { *outcome = Outcome{data, response, error}; });
     })->resume();
    EXPECT_TRUE(runUntil([&] { return outcome->has_value(); }));
    return outcome->value_or(Outcome{});
  };

  URLRequest post = request("/see-other");
  post.httpMethod = "POST";
  post.httpBody = "form";
  post.setValue("Bearer key", "Authorization");
  const Outcome seeOther = fetch(post);
  EXPECT_EQ(seeOther.data, "GET:");
  EXPECT_EQ(server.requests("/landing").front().header("Authorization"), "Bearer key")
      << "the same origin keeps its credentials";

  const Outcome loop = fetch(request("/loop"));
  ASSERT_TRUE(loop.error);
  EXPECT_EQ(loop.error->localizedDescription, "too many HTTP redirects");
  EXPECT_EQ(server.requests("/loop").size(), 21u);

  // A delegate that refuses gets the redirect response itself as the final one.
  delegate->redirectPolicy = [](URLRequest) { return std::nullopt; };
  auto refusing = session();
  refusing->dataTask(request("/see-other"))->resume();
  waitForEnd();
  invalidateAndSettle(*refusing);
  EXPECT_EQ(record->head->statusCode, 303);
  EXPECT_EQ(record->head->allHeaderFields.at("location"), "/landing");
  EXPECT_FALSE(record->error);
}

TEST_F(URLSessionTest, RefusedConnectionGivesAnErrorAndNoResponse) {
  auto s = session();
  const int port = LoopbackServer::refusedPort();
  s->dataTask(URLRequest(*URL::parse("http://127.0.0.1:" + std::to_string(port) + "/x")))->resume();
  waitForEnd();
  invalidateAndSettle(*s);
  ASSERT_TRUE(record->error);
  EXPECT_EQ(record->error->code, URLError::Code::cannotConnectToHost);
  EXPECT_EQ(record->error->localizedDescription, "Could not connect to the server.");
  EXPECT_FALSE(record->responseAtEnd);
  EXPECT_EQ(record->calls, std::vector<std::string>{"end"});
}

TEST_F(URLSessionTest, SilenceLongerThanTheRequestTimeoutEndsTheTask) {
  server.stallAfterHead("/head-only");
  server.stallBeforeHead("/silent");
  {  // the request's own, shorter interval wins
    auto s = session();
    URLRequest r = request("/head-only");
    r.timeoutInterval = 1s;
    s->dataTask(r)->resume();
    waitForEnd();
    invalidateAndSettle(*s);
    ASSERT_TRUE(record->error);
    EXPECT_EQ(record->error->code, URLError::Code::timedOut);
    EXPECT_EQ(record->error->localizedDescription, "The request timed out.");
    EXPECT_EQ(record->responseAtEnd->statusCode, 200);
  }
  {  // the configuration's, shorter one wins
    record = std::make_shared<Record>();
    delegate = std::make_shared<RecordingDelegate>(record, queue);
    URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = 1s;
    auto s = session(configuration);
    s->dataTask(request("/silent"))->resume();
    waitForEnd();
    invalidateAndSettle(*s);
    EXPECT_EQ(record->error->code, URLError::Code::timedOut);
    EXPECT_FALSE(record->responseAtEnd);
  }
}

TEST_F(URLSessionTest, AStreamThatFallsSilentTimesOutWithinASecondOfTheLimit) {
  // Bytes first, then silence: an averaged speed check would wait out its window too.
  server.stream("/falls-silent",
                {{0ms, "data: " + std::string(64 * 1024, 'x') + "\n\n"}, {30s, "data: late\n\n"}});
  auto s = session();
  URLRequest r = request("/falls-silent");
  r.timeoutInterval = 2s;
  const auto start = std::chrono::steady_clock::now();
  s->dataTask(r)->resume();
  waitForEnd();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  invalidateAndSettle(*s);
  ASSERT_TRUE(record->error);
  EXPECT_EQ(record->error->code, URLError::Code::timedOut);
  EXPECT_FALSE(record->body.empty());
  EXPECT_GE(elapsed, 2s);
  EXPECT_LT(elapsed, 3s + 500ms);
}

TEST_F(URLSessionTest, TheResourceTimeoutLimitsAStreamThatKeepsTalking) {
  std::vector<LoopbackServer::Chunk> chunks(100, {100ms, "data: tick\n\n"});
  server.stream("/ticks", chunks);
  URLSessionConfiguration configuration;
  configuration.timeoutIntervalForRequest = 5s;
  configuration.timeoutIntervalForResource = 1s;
  auto s = session(configuration);
  s->dataTask(request("/ticks"))->resume();
  waitForEnd();
  invalidateAndSettle(*s);
  EXPECT_EQ(record->error->code, URLError::Code::timedOut);
  EXPECT_EQ(record->responseAtEnd->statusCode, 200);
  EXPECT_FALSE(record->body.empty());
}

// Takes its time over the first chunk of the body, as a consumer behind a busy thread would.
class SlowDelegate final : public RecordingDelegate {
 public:
  using RecordingDelegate::RecordingDelegate;
  void didReceiveData(URLSessionTask& task, const std::string& bytes) override {
    if (!stalled_) {
      stalled_ = true;
      std::this_thread::sleep_for(1500ms);
    }
    RecordingDelegate::didReceiveData(task, bytes);
  }

 private:
  bool stalled_ = false;  // delegate queue only
};

TEST_F(URLSessionTest, ASlowDelegateGetsEveryByteInOrderAndItsPausesAreNoSilence) {
  // Far more than is read ahead of the delegate, each chunk telling its place.
  std::vector<LoopbackServer::Chunk> chunks;
  std::string expected;
  for (int i = 0; i < 96; ++i) {
    std::string chunk(64 * 1024, static_cast<char>('a' + i % 26));
    chunk.replace(0, 4, std::to_string(1000 + i));
    expected += chunk;
    chunks.push_back({0ms, std::move(chunk)});
  }
  server.stream("/bulk", chunks, {200, "", "application/octet-stream", {}});
  delegate = std::make_shared<SlowDelegate>(record, queue);
  auto s = session();
  URLRequest r = request("/bulk");
  r.timeoutInterval = 1s;                 // shorter than the delegate's stall
  r.maximumBodyLength = expected.size();  // bytes read again after a pause count once
  s->dataTask(r)->resume();
  waitForEnd();
  invalidateAndSettle(*s);
  EXPECT_FALSE(record->error) << record->error->localizedDescription;
  ASSERT_EQ(record->body.size(), expected.size());
  EXPECT_TRUE(record->body == expected);
}

TEST_F(URLSessionTest, AStreamCutAfterTheHeadEndsWithConnectionLost) {
  server.closeMidStream("/cut", "data: partial\n\n");
  auto s = session();
  s->dataTask(request("/cut"))->resume();
  waitForEnd();
  invalidateAndSettle(*s);
  EXPECT_EQ(record->responseAtEnd->statusCode, 200);
  EXPECT_EQ(record->body, "data: partial\n\n");
  ASSERT_TRUE(record->error);
  EXPECT_EQ(record->error->code, URLError::Code::networkConnectionLost);
  EXPECT_EQ(record->error->localizedDescription, "The network connection was lost.");
}

TEST_F(URLSessionTest, DataTasksCollectTheBodyForTheirCompletion) {
  server.replyJSON("/json", R"({"title":"Hello"})", 201);
  std::optional<std::string> data;
  std::optional<HTTPURLResponse> response;
  bool done = false, onQueue = false;
  auto s = URLSession::make({}, nullptr, queue);
  s->dataTask(request("/json"), [&](auto d, auto r, auto e) {
     onQueue = queue->isCurrent();
     EXPECT_FALSE(e);
     DispatchQueue::main().async([&, d, r] {
       data = d;
       response = r;
       done = true;
     });
   })->resume();
  ASSERT_TRUE(runUntil([&] { return done; }));
  EXPECT_TRUE(onQueue);
  EXPECT_EQ(data, R"({"title":"Hello"})");
  EXPECT_EQ(response->statusCode, 201);
  s->invalidateAndCancel();

  ASSERT_EQ(URLSession::shared(), URLSession::shared());
  done = false;
  URLSession::shared()
      ->dataTask(request("/json"),
                 [&](auto d, auto, auto) {
                   DispatchQueue::main().async([&, d] {
                     data = d;
                     done = true;
                   });
                 })
      ->resume();
  ASSERT_TRUE(runUntil([&] { return done; }));
  EXPECT_EQ(data, R"({"title":"Hello"})");
}

// What a data task's completion was given.
struct Buffered {
  bool done = false;
  std::optional<std::string> data;
  std::optional<HTTPURLResponse> response;
  std::optional<URLError> error;
};

std::shared_ptr<Buffered> load(URLSession& session, URLRequest request) {
  auto result = std::make_shared<Buffered>();
  session
      .dataTask(std::move(request),
                [result](auto d, auto r, auto e) {
                  DispatchQueue::main().async([result, d = std::move(d), r, e]() mutable {
                    *result = {true, std::move(d), r, e};
                  });
                })
      ->resume();
  EXPECT_TRUE(runUntil([&] { return result->done; }));
  return result;
}

TEST_F(URLSessionTest, ABodyPastItsLimitEndsTheRequestAfterDecodingNotAfterTheDownload) {
  server.gzippedZeros("/bomb", 2ull << 30);  // 2 GiB of zeros: about 2 MB on the wire
  auto s = URLSession::make({}, nullptr, queue);
  URLRequest bomb = request("/bomb");
  bomb.maximumBodyLength = 1 << 20;
  testsupport::resetPeakResidentBytes();
  const std::size_t before = testsupport::residentBytes();
  const auto result = load(*s, bomb);
  EXPECT_LT(testsupport::peakResidentBytes(), before + (64u << 20));
  EXPECT_LT(testsupport::residentBytes(), before + (64u << 20));
  EXPECT_FALSE(result->data);
  ASSERT_TRUE(result->error);
  EXPECT_EQ(result->error->code, URLError::Code::dataLengthExceedsMaximum);
  EXPECT_EQ(result->error->localizedDescription, "The response is too large.");
  ASSERT_TRUE(result->response);
  EXPECT_EQ(result->response->allHeaderFields.at("Content-Encoding"), "gzip");

  // The limit counts decoded bytes: a body of exactly the limit is whole, one more is not.
  server.gzippedZeros("/thousand", 1000);
  server.replyJSON("/plain", std::string(1000, 'x'));
  for (const char* path : {"/thousand", "/plain"}) {
    SCOPED_TRACE(path);
    URLRequest exact = request(path);
    exact.maximumBodyLength = 1000;
    const auto whole = load(*s, exact);
    EXPECT_FALSE(whole->error);
    ASSERT_TRUE(whole->data);
    EXPECT_EQ(whole->data->size(), 1000u);
    exact.maximumBodyLength = 999;
    const auto over = load(*s, exact);
    EXPECT_FALSE(over->data);
    ASSERT_TRUE(over->error);
    EXPECT_EQ(over->error->code, URLError::Code::dataLengthExceedsMaximum);
  }
  s->invalidateAndCancel();
}

TEST_F(URLSessionTest, TheSessionLimitsBufferedBodiesAndLeavesStreamsToTheirRequest) {
  server.zeros("/long", 5000);
  URLSessionConfiguration configuration;
  configuration.maximumBufferedBodyLength = 4096;
  auto buffered = URLSession::make(configuration, nullptr, queue);
  const auto held = load(*buffered, request("/long"));
  ASSERT_TRUE(held->error);
  EXPECT_EQ(held->error->code, URLError::Code::dataLengthExceedsMaximum);
  URLRequest allowed = request("/long");
  allowed.maximumBodyLength = 5000;  // the request's own limit wins
  EXPECT_EQ(load(*buffered, allowed)->data, std::string(5000, '\0'));
  buffered->invalidateAndCancel();

  // The delegate hears bodies as they come: the buffered limit is not theirs.
  auto streamed = session(configuration);
  streamed->dataTask(request("/long"))->resume();
  waitForEnd();
  EXPECT_FALSE(record->error);
  EXPECT_EQ(record->body.size(), 5000u);

  // A stream with a limit of its own hears what fit, then the end with the error.
  *record = Record{};
  URLRequest limited = request("/long");
  limited.maximumBodyLength = 3000;
  streamed->dataTask(limited)->resume();
  waitForEnd();
  invalidateAndSettle(*streamed);
  ASSERT_TRUE(record->error);
  EXPECT_EQ(record->error->code, URLError::Code::dataLengthExceedsMaximum);
  EXPECT_LE(record->body.size(), 3000u);
}

TEST_F(URLSessionTest, AReleasedSessionFinishesItsTasks) {
  server.stream("/slow", {{50ms, "a"}, {50ms, "b"}});
  bool done = false;
  std::optional<std::string> data;
  bool onMainThread = true;
  {
    auto task = URLSession::make({})->dataTask(request("/slow"), [&](auto d, auto, auto) {
      onMainThread = DispatchQueue::main().isCurrent();
      DispatchQueue::main().async([&, d] {
        data = d;
        done = true;
      });
    });
    task->resume();
  }
  ASSERT_TRUE(runUntil([&] { return done; }));
  EXPECT_EQ(data, "ab");
  EXPECT_FALSE(onMainThread) << "the session's own queue runs the completion";
}

TEST_F(URLSessionTest, UnsupportedSchemesFailBeforeAnyInput) {
  for (const char* text : {"ftp://127.0.0.1/file", "file:///etc/passwd", "mailto:a@b.c"}) {
    SCOPED_TRACE(text);
    record = std::make_shared<Record>();
    delegate = std::make_shared<RecordingDelegate>(record, queue);
    auto s = session();
    s->dataTask(URLRequest(*URL::parse(text)))->resume();
    waitForEnd();
    invalidateAndSettle(*s);
    ASSERT_TRUE(record->error);
    EXPECT_EQ(record->error->code, URLError::Code::unknown);
    EXPECT_EQ(record->error->localizedDescription, "unsupported URL");
    EXPECT_FALSE(record->responseAtEnd);
  }
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
