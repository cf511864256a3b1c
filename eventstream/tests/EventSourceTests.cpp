#include <gtest/gtest.h>

#include "FakeSession.h"
#include "eventstream/EventSource.h"

namespace eventstream {
namespace {

using foundation::URLError;
using foundation::URLRequest;
using testing::FakeSession;

std::string show(const std::optional<std::string>& text) {
  return text.value_or("-");
}

foundation::URL url(const char* text) {
  return *foundation::URL::parse(text);
}

class EventSourceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& source : sources_) source->disconnect();
    settle();
  }

  std::shared_ptr<EventSource> makeSource(
      foundation::HeaderFields headers = {},
      URLRequest request = URLRequest(url("http://127.0.0.1:8080/v1/stream"))) {
    auto source =
        EventSource::make(std::move(request), std::move(headers),
                          [this](auto configuration, auto delegate, auto queue) {
                            session = std::make_shared<FakeSession>(
                                std::move(configuration), std::move(delegate), std::move(queue));
                            return session;
                          });
    sources_.push_back(source);
    return source;
  }

  std::shared_ptr<EventSource> connectedSource(foundation::HeaderFields headers = {}) {
    auto source = makeSource(std::move(headers));
    record(*source);
    source->connect();
    return source;
  }

  void record(EventSource& source) {
    source.onOpen([this] { log.push_back("open"); });
    source.onMessage([this](auto& id, auto& event, auto& data) {
      log.push_back("message " + show(id) + "/" + show(event) + "/" + show(data));
    });
    source.onComplete([this](std::optional<int> status, std::optional<bool> reconnect,
                             std::optional<URLError> error) {
      log.push_back("complete " + (status ? std::to_string(*status) : "-") + "/" +
                    (reconnect ? (*reconnect ? "true" : "false") : "-") + "/" +
                    (error ? std::to_string(static_cast<int>(error->code)) : "-"));
    });
  }

  EventHandler listener(const std::string& name) {
    return [this, name](auto& id, auto& event, auto& data) {
      log.push_back(name + " " + show(id) + "/" + show(event) + "/" + show(data));
    };
  }

  // Everything posted so far has run.
  void settle() {
    while (foundation::DispatchQueue::main().drain() > 0) {
    }
  }

  std::vector<std::string> takeLog() {
    settle();
    return std::exchange(log, {});
  }

  std::shared_ptr<FakeSession> session;
  std::vector<std::string> log;
  std::vector<std::shared_ptr<EventSource>> sources_;
};

constexpr int kCancelled = static_cast<int>(URLError::Code::cancelled);
const std::string cancelled = std::to_string(kCancelled);

TEST_F(EventSourceTest, ReconnectFlagFollowsTheStatus) {
  const std::pair<int, const char*> cases[] = {{200, "false"}, {201, "true"},  {204, "true"},
                                               {299, "true"},  {199, "false"}, {300, "false"},
                                               {401, "false"}, {500, "false"}};
  for (const auto& [status, reconnect] : cases) {
    auto source = connectedSource();
    EXPECT_EQ(source->readyState(), EventSourceState::connecting);
    session->respond(status);
    EXPECT_EQ(source->readyState(), EventSourceState::open);
    session->finish();
    EXPECT_EQ(source->readyState(), EventSourceState::open);
    const std::string complete = "complete " + std::to_string(status) + "/" + reconnect + "/-";
    EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", complete}));
  }
}

TEST_F(EventSourceTest, EventsUpdateIdAndRetryTime) {
  auto source = connectedSource();
  session->respond(200);
  session->send("id: 7\ndata: x\n\n");
  EXPECT_EQ(source->lastEventId(), "7");
  session->send("retry: 5000\n\n");
  EXPECT_EQ(source->retryTime(), 5000);
  EXPECT_EQ(source->lastEventId(), std::nullopt);
  session->send("data: y\n\nfoo: bar\n\n");
  EXPECT_EQ(source->retryTime(), EventSource::defaultRetryTime);
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "message 7/message/x",
                                                 "message -/message/y", "message -/message/-"}));
}

TEST_F(EventSourceTest, NamedEventsReachTheirListenerOnly) {
  auto source = connectedSource();
  session->respond(200);
  takeLog();
  session->send("event: update\ndata: u\n\n");
  EXPECT_TRUE(takeLog().empty());

  source->addEventListener("update", listener("update"));
  source->addEventListener("message", listener("listener"));
  EXPECT_EQ(source->events(), (std::vector<std::string>{"message", "update"}));
  session->send("event: update\ndata: u\n\nevent: message\nid: 1\ndata: m\n\ndata: plain\n\n");
  EXPECT_EQ(takeLog(),
            (std::vector<std::string>{"update -/update/u", "message 1/message/m",
                                      "listener 1/message/m", "message -/message/plain"}));

  source->removeEventListener("update");
  session->send("event: update\ndata: u\n\n");
  EXPECT_TRUE(takeLog().empty());
}

TEST_F(EventSourceTest, ConnectMergesHeaderFields) {
  URLRequest request(url("http://127.0.0.1:8080/v1/stream"));
  request.setValue("application/json", "Content-Type");
  request.setValue("own", "X-Both");
  auto source = makeSource({{"accept", "application/json"},
                            {"Cache-Control", "max-age=0"},
                            {"Last-Event-Id", "stored"},
                            {"Authorization", "Bearer key"},
                            {"x-both", "extra"}},
                           request);
  source->connect("x");
  EXPECT_TRUE(session->task().resumed);
  EXPECT_EQ(source->lastEventId(), std::nullopt);
  EXPECT_EQ(session->configuration().timeoutIntervalForRequest.count(), 2147483647.0);
  EXPECT_EQ(session->configuration().timeoutIntervalForResource.count(), 2147483647.0);
  const foundation::HeaderFields expected{
      {"Accept", "text/event-stream"}, {"Authorization", "Bearer key"},
      {"Cache-Control", "no-cache"},   {"Content-Type", "application/json"},
      {"Last-Event-Id", "x"},          {"X-Both", "own"}};
  EXPECT_EQ(session->sentHeaders(), expected);

  source->connect();  // without an id, the stored field goes out
  EXPECT_EQ(session->sentHeaders().at("last-event-id"), "stored");
}

TEST_F(EventSourceTest, DisconnectDropsLaterBytesAndStillCompletes) {
  auto source = connectedSource();
  session->respond(200);
  auto& task = session->task();
  source->disconnect();
  EXPECT_EQ(source->readyState(), EventSourceState::closed);
  EXPECT_TRUE(session->invalidated);
  source->didReceiveData(task, "data: late\n\n");
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "complete 200/false/" + cancelled}));

  connectedSource()->disconnect();  // before any response
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"complete -/-/" + cancelled}));
}

TEST_F(EventSourceTest, HeadAfterDisconnectDoesNotReopen) {
  auto source = connectedSource();
  auto& task = session->task();
  source->disconnect();
  source->didReceiveResponse(task, {task.originalRequest().url, 200, {}},
                             [](foundation::ResponseDisposition) {});
  source->didReceiveData(task, "data: late\n\n");
  EXPECT_EQ(source->readyState(), EventSourceState::closed);
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"complete -/-/" + cancelled}));
}

TEST_F(EventSourceTest, CallbacksAreSetLateAndNeverRunInline) {
  auto source = makeSource();
  source->connect();
  record(*source);  // after connect
  source->addEventListener("x", listener("x"));
  auto& task = session->task();
  task.setResponse({task.originalRequest().url, 200, {}});
  // Straight from the main thread: still only posted.
  source->didReceiveResponse(task, *task.response(), [](foundation::ResponseDisposition) {});
  source->didReceiveData(task, "data: a\n\nevent: x\ndata: b\n\n");
  source->didCompleteWithError(task, std::nullopt);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "message -/message/a", "x -/x/b",
                                                 "complete 200/false/-"}));
}

TEST_F(EventSourceTest, TransportErrorsReachOnComplete) {
  connectedSource();
  session->respond(200);
  session->send("data: Hel\n\n");
  session->finish(URLError{URLError::Code::networkConnectionLost, "lost"});
  const std::string lost = std::to_string(static_cast<int>(URLError::Code::networkConnectionLost));
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "message -/message/Hel",
                                                 "complete 200/false/" + lost}));

  connectedSource();
  session->finish(URLError{URLError::Code::cannotConnectToHost, "refused"});
  const std::string refused = std::to_string(static_cast<int>(URLError::Code::cannotConnectToHost));
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"complete -/-/" + refused}));
}

TEST_F(EventSourceTest, OversizedBlockEndsTheConnection) {
  connectedSource();
  session->respond(200);
  session->send("data: a\n\n");
  const std::string mebibyte(1024 * 1024, 'x');
  for (int i = 0; i < 16; ++i) session->send(mebibyte);
  EXPECT_FALSE(session->task().cancelled);
  session->send("x");
  EXPECT_TRUE(session->task().cancelled);
  session->send("\n\n");
  session->finish(URLError{URLError::Code::cancelled, "cancelled"});
  const std::string bad = std::to_string(static_cast<int>(URLError::Code::badServerResponse));
  EXPECT_EQ(takeLog(),
            (std::vector<std::string>{"open", "message -/message/a", "complete 200/false/" + bad}));
}

TEST_F(EventSourceTest, RedirectsCarryExtraFieldsToTheSameOriginOnly) {
  URLRequest request(url("http://127.0.0.1:8080/v1/stream"));
  request.setValue("own", "X-Own");
  auto source = makeSource({{"Authorization", "Bearer key"}, {"X-Trace", "t"}}, request);
  source->connect();
  const URLRequest& sent = session->task().originalRequest();

  struct Case {
    const char* target;
    bool keepsFields;
  };
  const Case cases[] = {{"http://127.0.0.1:8080/v2/stream", true},
                        {"http://127.0.0.1:8081/v1/stream", false},
                        {"https://127.0.0.1:8080/v1/stream", false},
                        {"http://localhost:8080/v1/stream", false}};
  for (const auto& c : cases) {
    // A session that carries the fields over and one that starts afresh.
    URLRequest copied = sent;
    copied.url = url(c.target);
    for (URLRequest next : {copied, URLRequest(url(c.target))}) {
      const auto result = session->redirect(next);
      ASSERT_TRUE(result) << c.target;
      EXPECT_EQ(result->value("Authorization").has_value(), c.keepsFields) << c.target;
      EXPECT_EQ(result->value("X-Trace").has_value(), c.keepsFields) << c.target;
    }
    EXPECT_EQ(session->redirect(copied)->value("X-Own"), "own");
  }
}

TEST_F(EventSourceTest, ConnectedSourceLivesUntilDisconnect) {
  std::weak_ptr<EventSource> weak;
  {
    auto source = makeSource();
    record(*source);
    source->connect();
    weak = source;
  }
  std::erase_if(sources_, [](auto&) { return true; });
  session->respond(200);
  session->send("data: still here\n\n");
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "message -/message/still here"}));
  ASSERT_FALSE(weak.expired());
  weak.lock()->disconnect();
  settle();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(log, (std::vector<std::string>{"complete 200/false/" + cancelled}));
}

}  // namespace
}  // namespace eventstream
