#include <gtest/gtest.h>

#include "FakeSession.h"
#include "eventstream/EventSource.h"
#include "foundation/MainThread.h"

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

const std::string cancelled = std::to_string(static_cast<int>(URLError::Code::cancelled));

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

TEST_F(EventSourceTest, ABurstOfEventsWaitsInTheMainQueueAsOneBlock) {
  auto source = connectedSource();
  source->addEventListener("tick", listener("tick"));
  session->respond(200);
  std::string burst;
  for (int i = 0; i < 2000; ++i)
    burst += (i % 2 ? "event: tick\ndata: " : "data: ") + std::to_string(i) + "\n\n";
  session->send(burst);
  session->finish();
  // The open, 2000 events and the end: one block, not one each.
  EXPECT_EQ(foundation::DispatchQueue::main().pendingCount(), 1u);
  const auto delivered = takeLog();
  ASSERT_EQ(delivered.size(), 2002u);
  EXPECT_EQ(delivered.front(), "open");
  for (int i = 0; i < 2000; ++i) {
    const std::string expected =
        i % 2 ? "tick -/tick/" + std::to_string(i) : "message -/message/" + std::to_string(i);
    ASSERT_EQ(delivered[static_cast<std::size_t>(i) + 1], expected);
  }
  EXPECT_EQ(delivered.back(), "complete 200/false/-");
}

// Joins the data of the message events it reads; the log hears what it delivers.
class JoiningBatch final : public MessageBatch {
 public:
  JoiningBatch(std::vector<std::string>& log, std::atomic<int>& readsOnMain)
      : log_(log), readsOnMain_(readsOnMain) {}
  std::size_t read(const Event& event) override {
    if (foundation::isMainThread()) ++readsOnMain_;
    ++events_;
    joined_ += event.data.value_or("-") + ",";
    return event.data ? event.data->size() : 0;
  }
  void deliver() override { log_.push_back("batch " + std::to_string(events_) + ": " + joined_); }

 private:
  std::vector<std::string>& log_;
  std::atomic<int>& readsOnMain_;
  int events_ = 0;
  std::string joined_;
};

class MessageBatchTest : public EventSourceTest {
 protected:
  std::shared_ptr<EventSource> batchedSource() {
    auto source = makeSource();
    source->onOpen([this] { log.push_back("open"); });
    source->onComplete(
        [this](std::optional<int> status, std::optional<bool>, std::optional<URLError> error) {
          log.push_back("complete " + (status ? std::to_string(*status) : "-") + "/" +
                        (error ? std::to_string(static_cast<int>(error->code)) : "-"));
        });
    source->onMessageBatch([this] { return std::make_unique<JoiningBatch>(log, readsOnMain); });
    source->connect();
    return source;
  }
  static std::string numbered(int from, int to) {
    std::string joined;
    for (int i = from; i < to; ++i) joined += std::to_string(i) + ",";
    return joined;
  }

  std::atomic<int> readsOnMain = 0;
};

TEST_F(MessageBatchTest, EventsThatComeWhileTheMainThreadIsBusyReachItAsOneBatchInOrder) {
  auto source = batchedSource();
  source->addEventListener("tick", listener("tick"));
  session->respond(200);
  // In many chunks, none of them taken by the main thread yet; a named event in the middle.
  for (int i = 0; i < 1000; ++i) {
    session->send((i == 500 ? "event: tick\ndata: t\n\n" : "") + std::string("data: ") +
                  std::to_string(i) + "\n\n");
  }
  session->finish(URLError::make(URLError::Code::networkConnectionLost));
  EXPECT_EQ(foundation::DispatchQueue::main().pendingCount(), 1u);
  const std::string lost = std::to_string(static_cast<int>(URLError::Code::networkConnectionLost));
  // Nothing passes anything: the listener's event splits the batches, the end comes last.
  EXPECT_EQ(takeLog(), (std::vector<std::string>{
                           "open", "batch 500: " + numbered(0, 500), "tick -/tick/t",
                           "batch 500: " + numbered(500, 1000), "complete 200/" + lost}));
  EXPECT_EQ(readsOnMain, 0);  // decoded on the stream's queue
}

TEST_F(MessageBatchTest, ABatchTakesInEventsUntilTheMainThreadDeliversIt) {
  auto source = batchedSource();
  session->respond(200);
  session->send("data: a\n\n");
  session->send("data: b\n\ndata: c\n\n");
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "batch 3: a,b,c,"}));
  // Delivered: what comes next starts a batch of its own.
  session->send("data: d\n\n: a comment\n\nretry: 10\n\n");
  session->send("event: message\ndata: e\n\nevent: other\ndata: f\n\n");
  session->finish();
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"batch 2: d,e,", "complete 200/-"}));
}

TEST_F(MessageBatchTest, WithOnMessageSetAsWellEachEventReachesBothInOrder) {
  auto source = batchedSource();
  source->onMessage([this](auto&, auto&, auto& data) { log.push_back("message " + *data); });
  session->respond(200);
  session->send("data: a\n\ndata: b\n\n");
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"open", "message a", "batch 1: a,", "message b",
                                                 "batch 1: b,"}));
}

}  // namespace
}  // namespace eventstream
