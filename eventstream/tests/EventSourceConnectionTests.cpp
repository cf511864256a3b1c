#include <gtest/gtest.h>

#include <algorithm>

#include "eventstream/EventSource.h"
#include "testsupport/LoopbackServer.h"

namespace eventstream {
namespace {

using foundation::URLError;
using foundation::URLRequest;
using testsupport::LoopbackServer;
using namespace std::chrono_literals;

struct Completion {
  std::optional<int> status;
  std::optional<bool> reconnect;
  std::optional<URLError> error;
};

// Against a real server: the request that goes out and what comes back, end to end.
class EventSourceConnectionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::weak_ptr<EventSource> weak = source;
    if (source) source->disconnect();
    source.reset();
    // The session lets go of the source once its task has ended.
    EXPECT_TRUE(foundation::MainRunLoop::runUntil([&] { return weak.expired(); }, 10s));
  }

  void connect(const std::string& url, foundation::HeaderFields headers = {},
               std::optional<std::string> lastEventId = std::nullopt) {
    source = EventSource::make(URLRequest(*foundation::URL::parse(url)), std::move(headers));
    source->onOpen([this] { log.push_back("open"); });
    source->onMessage([this](auto&, auto&, auto& data) { log.push_back(data.value_or("-")); });
    source->onComplete([this](auto status, auto reconnect, auto error) {
      completion = Completion{status, reconnect, error};
    });
    source->connect(std::move(lastEventId));
  }

  bool waitForCompletion() {
    return foundation::MainRunLoop::runUntil([&] { return completion.has_value(); }, 10s);
  }

  LoopbackServer server;
  std::shared_ptr<EventSource> source;
  std::vector<std::string> log;
  std::optional<Completion> completion;
};

TEST_F(EventSourceConnectionTest, StreamsEventsAndSendsTheStreamFields) {
  server.stream("/sse", {{0ms, "data: Hel"}, {20ms, "lo\n\nevent: done\n"}, {20ms, "data: x\n\n"}});
  connect(server.url("/sse"), {{"accept", "application/json"}, {"Authorization", "Bearer key"}},
          "41");
  std::vector<std::string> done;
  source->addEventListener("done", [&](auto&, auto& event, auto&) { done.push_back(*event); });
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open", "Hello"}));
  EXPECT_EQ(done, (std::vector<std::string>{"done"}));
  EXPECT_EQ(completion->status, 200);
  EXPECT_EQ(completion->reconnect, false);
  EXPECT_FALSE(completion->error);
  EXPECT_EQ(source->lastEventId(), std::nullopt);

  const auto requests = server.requests("/sse");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].headerCount("Accept"), 1u);
  EXPECT_EQ(requests[0].header("Accept"), "text/event-stream");
  EXPECT_EQ(requests[0].header("Cache-Control"), "no-cache");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer key");
  EXPECT_EQ(requests[0].header("Last-Event-Id"), "41");
}

TEST_F(EventSourceConnectionTest, ErrorStatusOpensAndReportsItsCode) {
  server.replyJSON("/sse", R"({"error":{"message":"Incorrect API key provided"}})", 401);
  connect(server.url("/sse"));
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open"}));
  EXPECT_EQ(completion->status, 401);
  EXPECT_EQ(completion->reconnect, false);
  EXPECT_FALSE(completion->error);
}

TEST_F(EventSourceConnectionTest, RefusedConnectionReportsOnlyTheError) {
  connect("http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort()) + "/sse");
  ASSERT_TRUE(waitForCompletion());
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(completion->status);
  EXPECT_FALSE(completion->reconnect);
  ASSERT_TRUE(completion->error);
  EXPECT_EQ(completion->error->code, URLError::Code::cannotConnectToHost);
}

TEST_F(EventSourceConnectionTest, RedirectToAnotherOriginLeavesTheExtraFieldsBehind) {
  LoopbackServer other;
  other.stream("/sse", {{0ms, "data: there\n\n"}});
  server.redirect("/away", other.url("/sse"));
  connect(server.url("/away"), {{"Authorization", "Bearer key"}, {"X-Trace", "t"}});
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open", "there"}));
  const auto requests = other.requests("/sse");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].header("Authorization"));
  EXPECT_FALSE(requests[0].header("X-Trace"));
  EXPECT_EQ(requests[0].header("Accept"), "text/event-stream");
}

TEST_F(EventSourceConnectionTest, RedirectOnTheSameOriginKeepsTheExtraFields) {
  server.stream("/sse", {{0ms, "data: here\n\n"}});
  server.redirect("/old", "/sse", 307);
  connect(server.url("/old"), {{"Authorization", "Bearer key"}, {"X-Trace", "t"}});
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open", "here"}));
  const auto requests = server.requests("/sse");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer key");
  EXPECT_EQ(requests[0].header("X-Trace"), "t");
}

TEST_F(EventSourceConnectionTest, StreamCutMidwayIsNoSuccess) {
  server.closeMidStream("/sse", "data: Hel\n\ndata: lo");
  connect(server.url("/sse"));
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open", "Hel"}));
  EXPECT_EQ(completion->status, 200);
  ASSERT_TRUE(completion->error);
  EXPECT_NE(completion->error->code, URLError::Code::cancelled);
}

TEST_F(EventSourceConnectionTest, DisconnectDropsWhatFollowsAndStillCompletes) {
  server.stream("/sse", {{0ms, "data: a\n\n"}, {200ms, "data: late\n\n"}});
  connect(server.url("/sse"));
  source->onMessage([this](auto&, auto&, auto& data) {
    log.push_back(*data);
    source->disconnect();
  });
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open", "a"}));
  EXPECT_EQ(source->readyState(), EventSourceState::closed);
  EXPECT_EQ(completion->status, 200);
  ASSERT_TRUE(completion->error);
  EXPECT_EQ(completion->error->code, URLError::Code::cancelled);
}

TEST_F(EventSourceConnectionTest, BlockPastTheBufferCapEndsTheStream) {
  std::vector<LoopbackServer::Chunk> chunks{{0ms, "data: first\n\ndata: "}};
  for (int i = 0; i < 17; ++i) chunks.push_back({0ms, std::string(1024 * 1024, 'x')});
  chunks.push_back({0ms, "\n\n"});
  server.stream("/sse", std::move(chunks));
  connect(server.url("/sse"));
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open", "first"}));
  EXPECT_EQ(completion->status, 200);
  ASSERT_TRUE(completion->error);
  EXPECT_EQ(completion->error->code, URLError::Code::badServerResponse);
}

TEST_F(EventSourceConnectionTest, ALineThatNeverEndsEndsTheStreamAtTheCap) {
  // One "data" line that never ends: no block is ever complete.
  server.repeatForever("/endless", "data: " + std::string(64 * 1024, 'x'));
  connect(server.url("/endless"));
  ASSERT_TRUE(waitForCompletion());
  EXPECT_EQ(log, (std::vector<std::string>{"open"}));
  EXPECT_EQ(completion->status, 200);
  ASSERT_TRUE(completion->error);
  EXPECT_EQ(completion->error->code, URLError::Code::badServerResponse);
}

}  // namespace
}  // namespace eventstream
