#include <gtest/gtest.h>

#include <vector>

#include "foundation/DispatchQueue.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/ProcessMemory.h"
#include "updater/FeedUpdater.h"
#include "updater/StandardUpdaterController.h"

namespace updater {
namespace {

using namespace std::chrono_literals;

struct RecordingDriver : UpdaterUserDriver {
  std::vector<std::string> events;
  bool acceptsUpdate = true;
  bool offerUpdate(const std::string& current, const std::string& next) override {
    events.push_back("offer " + current + " -> " + next);
    return acceptsUpdate;
  }
  void showUpToDate(const std::string& current) override {
    events.push_back("up to date " + current);
  }
  void showCheckFailed(const std::string& reason) override {
    events.push_back("failed: " + reason);
  }
  bool openDownloadPage(const std::string& url) override {
    events.push_back("open " + url);
    return true;
  }
};

std::string feedWith(const std::string& version) {
  return "<rss version=\"2.0\"><channel><item><version>" + version +
         "</version><link>https://example.org/download/" + version +
         "</link></item></channel></rss>";
}

class FeedUpdaterTests : public ::testing::Test {
 protected:
  std::shared_ptr<FeedUpdater> makeUpdater(const std::string& path,
                                           const std::string& version = "1.2") {
    auto updater = FeedUpdater::make({foundation::URL::parse(server.url(path)), version, driver});
    updater->start();
    return updater;
  }
  // Runs one check to its end and returns what the user was told.
  std::vector<std::string> check(FeedUpdater& updater) {
    driver->events.clear();
    updater.checkForUpdates();
    EXPECT_TRUE(foundation::MainRunLoop::runUntil([&] { return !driver->events.empty(); }, 10s));
    return driver->events;
  }

  testsupport::LoopbackServer server;
  std::shared_ptr<RecordingDriver> driver = std::make_shared<RecordingDriver>();
};

TEST_F(FeedUpdaterTests, NewerReleaseIsOfferedAndItsPageOpenedOnlyWhenAccepted) {
  server.reply("/feed", {200, feedWith("1.3"), "application/rss+xml", {}});
  auto updater = makeUpdater("/feed");
  EXPECT_EQ(check(*updater), (std::vector<std::string>{"offer 1.2 -> 1.3",
                                                       "open https://example.org/download/1.3"}));
  driver->acceptsUpdate = false;
  EXPECT_EQ(check(*updater), (std::vector<std::string>{"offer 1.2 -> 1.3"}));
}

TEST_F(FeedUpdaterTests, SameOrOlderReleaseIsUpToDate) {
  server.reply("/same", {200, feedWith("1.2.0"), "application/rss+xml", {}});
  server.reply("/older", {200, feedWith("1.1.9"), "application/rss+xml", {}});
  EXPECT_EQ(check(*makeUpdater("/same")), (std::vector<std::string>{"up to date 1.2"}));
  EXPECT_EQ(check(*makeUpdater("/older")), (std::vector<std::string>{"up to date 1.2"}));
}

TEST_F(FeedUpdaterTests, EveryUncheckedOutcomeIsAFailureNeverUpToDate) {
  server.reply("/html", {200, "<html>maintenance</html>", "text/html", {}});
  server.reply("/empty", {200, "<rss><channel></channel></rss>", "application/rss+xml", {}});
  server.reply("/missing", {404, "nope", "text/plain", {}});
  for (const char* path : {"/html", "/empty", "/missing"}) {
    const auto events = check(*makeUpdater(path));
    ASSERT_EQ(events.size(), 1u) << path;
    EXPECT_EQ(events[0].rfind("failed: ", 0), 0u) << path << ": " << events[0];
  }
  const auto port = testsupport::LoopbackServer::refusedPort();
  auto unreachable = FeedUpdater::make(
      {foundation::URL::parse("http://127.0.0.1:" + std::to_string(port) + "/feed"), "1.2",
       driver});
  unreachable->start();
  const auto events = check(*unreachable);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].rfind("failed: ", 0), 0u) << events[0];
}

TEST_F(FeedUpdaterTests, AHugeFeedFailsAsItArrivesWithoutBeingHeld) {
  server.zeros("/huge", 3ull << 30, "application/rss+xml");  // 3 GB
  auto updater = makeUpdater("/huge");
  testsupport::resetPeakResidentBytes();
  const std::size_t before = testsupport::residentBytes();
  EXPECT_EQ(check(*updater),
            (std::vector<std::string>{"failed: The release list is too large to read."}));
  EXPECT_LT(testsupport::peakResidentBytes(), before + (64u << 20));
  EXPECT_LT(testsupport::residentBytes(), before + (64u << 20));
  EXPECT_TRUE(updater->canCheckForUpdates());

  // Up to the limit a feed is read, padding and all.
  const std::string feed = feedWith("1.3");
  std::string padded = feed;
  padded.insert(padded.find("<channel>"), FeedUpdater::kMaxFeedBytes - feed.size(), ' ');
  server.reply("/padded", {200, padded, "application/rss+xml", {}});
  EXPECT_EQ(check(*makeUpdater("/padded"))[0], "offer 1.2 -> 1.3");
  server.reply("/over", {200, padded + " ", "application/rss+xml", {}});
  EXPECT_EQ(check(*makeUpdater("/over")),
            (std::vector<std::string>{"failed: The release list is too large to read."}));
}

TEST_F(FeedUpdaterTests, AFeedThatTricklesFailsAtTheDeadline) {
  // A byte every 100 ms keeps the idle time-out from ever firing.
  std::vector<testsupport::LoopbackServer::Chunk> trickle(600, {100ms, " "});
  server.stream("/trickle", trickle, {200, "", "application/rss+xml", {}});
  server.reply("/feed", {200, feedWith("1.2"), "application/rss+xml", {}});
  FeedUpdater::Configuration configuration{foundation::URL::parse(server.url("/trickle")), "1.2",
                                           driver};
  configuration.checkDeadline = 800ms;
  auto updater = FeedUpdater::make(configuration);
  updater->start();
  EXPECT_EQ(check(*updater), (std::vector<std::string>{"failed: The release list could not be "
                                                       "loaded. The request timed out."}));
  EXPECT_TRUE(updater->canCheckForUpdates());

  // The abandoned request says nothing more, and the deadline of a check that ended in time
  // does not fire into the next one.
  configuration.feedURL = foundation::URL::parse(server.url("/feed"));
  configuration.checkDeadline = 300ms;
  auto quick = FeedUpdater::make(configuration);
  quick->start();
  EXPECT_EQ(check(*quick), (std::vector<std::string>{"up to date 1.2"}));
  driver->events.clear();
  quick->checkForUpdates();
  // Queued behind the deadline of this check, so it runs once that deadline has passed.
  bool deadlinePassed = false;
  foundation::DispatchQueue::main().asyncAfter(configuration.checkDeadline,
                                               [&] { deadlinePassed = true; });
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return deadlinePassed; }, 10s));
  EXPECT_EQ(driver->events, (std::vector<std::string>{"up to date 1.2"}));
}

TEST_F(FeedUpdaterTests, CanCheckFollowsStartAndRunningCheck) {
  server.reply("/feed", {200, feedWith("1.0"), "application/rss+xml", {}});
  auto updater = FeedUpdater::make({foundation::URL::parse(server.url("/feed")), "1.2", driver});
  std::vector<bool> seen;
  auto subscription =
      updater->observeCanCheckForUpdates([&](bool value) { seen.push_back(value); });
  updater->checkForUpdates();  // not started: ignored
  updater->start();
  check(*updater);
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(server.requests("/feed").size(), 1u);

  auto disabled = FeedUpdater::make({std::nullopt, "1.2", driver});
  disabled->start();
  EXPECT_FALSE(disabled->canCheckForUpdates());
}

TEST_F(FeedUpdaterTests, StandardControllerStartsAtOnceWhenAsked) {
  StandardUpdaterController started(true, "1.0", driver);
  StandardUpdaterController idle(false, "1.0", driver);
  EXPECT_EQ(started.updater().canCheckForUpdates(), !StandardUpdaterController::feedURL().empty());
  EXPECT_FALSE(idle.updater().canCheckForUpdates());
}

}  // namespace
}  // namespace updater
