#include <foundation/DispatchQueue.h>
#include <foundation/UserDefaults.h>
#include <gtest/gtest.h>
#include <loginitem/LoginItem.h>
#include <servicemanagement/FakeAutostart.h>
#include <servicemanagement/XdgAutostart.h>
#include <testsupport/ScopedHome.h>

#include <filesystem>
#include <vector>

namespace {

using servicemanagement::FakeAutostart;

struct RecordingLog final : loginitem::Log {
  std::vector<std::string> lines;
  void error(std::string_view message) override { lines.emplace_back(message); }
};

struct Fixture {
  FakeAutostart autostart;
  RecordingLog log;
  std::shared_ptr<loginitem::LoginItemControl> control =
      std::make_shared<loginitem::LoginItemControl>(autostart, log);
};

TEST(LoginItemControl, LogsFailuresWithTheirReasonAndReportsTheStateReadBack) {
  Fixture f;
  EXPECT_TRUE(f.control->setEnabled(true));
  EXPECT_TRUE(f.log.lines.empty());

  f.autostart.failWith(std::make_error_code(std::errc::permission_denied));
  EXPECT_TRUE(f.control->setEnabled(false));
  f.autostart.setEnabled(false);
  EXPECT_FALSE(f.control->setEnabled(true));
  EXPECT_EQ(f.log.lines,
            (std::vector<std::string>{"Failed to disable launch at login: Permission denied",
                                      "Failed to enable launch at login: Permission denied"}));
}

TEST(LoginItemControl, EnablingAnEnabledItemNeverUnregistersItFirst) {
  Fixture f;
  f.autostart.setEnabled(true);
  f.autostart.failWith(std::make_error_code(std::errc::read_only_file_system));
  EXPECT_TRUE(f.control->setEnabled(true)) << "a failed re-registration keeps the old one";
  EXPECT_EQ(f.autostart.disableCalls(), 0);
  EXPECT_EQ(f.autostart.enableCalls(), 1);
}

TEST(LoginItemObservable, TellsObserversInOrderAndPublishesTheStateReadBack) {
  Fixture f;
  auto observable = std::make_shared<LoginItem::Observable>(f.control);
  std::vector<std::string> events;
  auto will = observable->subscribeWillChange(
      [&] { events.push_back("will:" + std::to_string(observable->isEnabled())); });
  auto did = observable->subscribeDidChange(
      [&] { events.push_back("did:" + std::to_string(observable->isEnabled())); });
  auto published = observable->publisher().subscribe(
      [&](bool v) { events.push_back("sent:" + std::to_string(v)); });
  EXPECT_EQ(events, (std::vector<std::string>{"sent:0"})) << "the current value comes first";

  observable->setEnabled(true);
  EXPECT_EQ(events, (std::vector<std::string>{"sent:0", "will:0", "did:1", "sent:1"}));

  // A failed change publishes what the system still says, not the value asked for.
  events.clear();
  f.autostart.failWith(std::make_error_code(std::errc::permission_denied));
  observable->setEnabled(false);
  EXPECT_EQ(events, (std::vector<std::string>{"will:1", "did:1", "sent:1"}));
  EXPECT_EQ(f.log.lines.size(), 1u);

  // After cancelling, nothing more arrives.
  published.cancel();
  did.cancel();
  events.clear();
  observable->setEnabled(true);
  EXPECT_EQ(events, (std::vector<std::string>{"will:1"}));
}

TEST(LoginItemObservable, RequestsRunOffTheMainThreadAndLandOnTheMainQueue) {
  Fixture f;
  auto observable = std::make_shared<LoginItem::Observable>(f.control);
  std::vector<bool> sent;
  auto published = observable->publisher().subscribe([&](bool v) { sent.push_back(v); });
  observable->requestEnabled(true);
  EXPECT_FALSE(observable->isEnabled()) << "nothing changes before the main queue runs";
  ASSERT_TRUE(
      foundation::MainRunLoop::runUntil([&] { return sent.size() == 2; }, std::chrono::seconds(5)));
  EXPECT_TRUE(observable->isEnabled());

  // A change made behind our back shows after refresh(); an unchanged state publishes nothing.
  f.autostart.setEnabled(false);
  observable->refresh();
  ASSERT_TRUE(
      foundation::MainRunLoop::runUntil([&] { return sent.size() == 3; }, std::chrono::seconds(5)));
  EXPECT_FALSE(observable->isEnabled());
  observable->refresh();
  foundation::MainRunLoop::runFor(std::chrono::milliseconds(50));
  EXPECT_EQ(sent, (std::vector<bool>{false, true, false}));
}

TEST(LoginItem, TheSharedItemIsTheApplicationsAutostartEntry) {
  testsupport::ScopedHome home;
  const auto file =
      home.config() / "autostart" / (std::string(LoginItem::kApplicationId) + ".desktop");
  EXPECT_FALSE(LoginItem::isEnabled());
  LoginItem::setEnabled(true);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(LoginItem::isEnabled());
  EXPECT_TRUE(LoginItem::publisher().value());
  LoginItem::setEnabled(false);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(LoginItem::observable().isEnabled());
}

TEST(LoginItem, MigrationOnlySetsItsMarkerOnce) {
  testsupport::ScopedHome home;
  auto& defaults = foundation::UserDefaults::standard();
  int writes = 0;
  auto observer = defaults.observe(LoginItem::kMigrationKey, [&] { ++writes; });
  LoginItem::migrateIfNeeded(defaults);
  LoginItem::migrateIfNeeded(defaults);
  EXPECT_TRUE(defaults.boolForKey("LoginItem__hasMigrated"));
  EXPECT_EQ(writes, 1);
}

TEST(SystemLog, NamesItsSubsystemAndCategory) {
  loginitem::SystemLog log("com.brambleworth.LoginItem", "main");
  EXPECT_EQ(log.line("error", "Failed to enable launch at login: Permission denied"),
            "com.brambleworth.LoginItem[main] error: Failed to enable launch at login: "
            "Permission denied");
}

}  // namespace
