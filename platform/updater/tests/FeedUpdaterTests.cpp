#include <gtest/gtest.h>

#include <vector>

#include "foundation/DispatchQueue.h"
#include "testsupport/LoopbackServer.h"
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
