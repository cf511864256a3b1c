#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "ChildProcess.h"
#include "DesktopSession.h"
#include "appkit/Application.h"
#include "appkit/StatusItem.h"
#include "foundation/DispatchQueue.h"

namespace appkit {
namespace {

using namespace std::chrono_literals;

// The program's start, as its entry point does it.
TEST(ApplicationChild, Start) {
  if (!childtest::isChild()) GTEST_SKIP() << "run by the tests below";
  int argc = 1;
  char name[] = "quillcast";
  char* argv[] = {name, nullptr};
  auto app = Application::create(argc, argv);
  if (!app) std::exit(3);
  int launched = 0;
  std::unique_ptr<StatusItem> item;
  const int code = app->run([&] {
    ++launched;
    item = std::make_unique<StatusItem>("wand.and.stars", "Quillcast");
    // Closing the last window does not end the program; terminate() does.
    foundation::DispatchQueue::main().asyncAfter(200ms,
                                                 [&] { app->terminate(launched == 1 ? 7 : 1); });
  });
  item.reset();
  app.reset();
  std::exit(code);
}

// A program that runs until something ends it, saying when it runs and when it is told of its end.
TEST(ApplicationChild, RunsUntilEnded) {
  if (!childtest::isChild()) GTEST_SKIP() << "run by the tests below";
  int argc = 1;
  char name[] = "quillcast";
  char* argv[] = {name, nullptr};
  auto app = Application::create(argc, argv);
  if (!app) std::exit(3);
  int told = 0;
  app->onWillTerminate([&] {
    ++told;
    std::fprintf(stderr, "will terminate\n");
  });
  const int code = app->run([] { std::fprintf(stderr, "running\n"); });
  app.reset();
  std::exit(told == 1 && code == 0 ? 42 : 1);
}

TEST(Application, EndingSignalsEndTheLoopInAnOrderlyWay) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  testx11::Connection display;  // an X server without -noreset would reset between children
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    auto child = childtest::start("ApplicationChild.RunsUntilEnded",
                                  {{"DBUS_SESSION_BUS_ADDRESS", std::nullopt}});
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->waitForOutput("running\n", 20s)) << "signal " << signal;
    ASSERT_EQ(::kill(child->pid(), signal), 0);
    const auto outcome = child->finish();
    ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.signal << " after " << signal
                                << "\n"
                                << outcome.standardError;
    EXPECT_EQ(outcome.exitCode, 42) << outcome.standardError;
    EXPECT_EQ(childtest::countLines(outcome.standardError, "will terminate"), 1)
        << outcome.standardError;
  }
}

// A test that fails before it ended its child (no "running" in time, say) must neither wait for
// the child for ever nor leave it behind.
TEST(Application, AChildStillRunningEndsWithItsTest) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  testx11::Connection display;
  auto child = childtest::start("ApplicationChild.RunsUntilEnded",
                                {{"DBUS_SESSION_BUS_ADDRESS", std::nullopt}});
  ASSERT_TRUE(child);
  ASSERT_TRUE(child->waitForOutput("running\n", 20s));
  const pid_t pid = child->pid();
  child.reset();
  errno = 0;
  EXPECT_EQ(::kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

std::string runtimeDir() {
  auto dir =
      std::filesystem::temp_directory_path() / ("quill-runtime-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  return dir.string();
}

TEST(Application, WithoutADisplayTheProgramSaysSoInOneLineAndEnds) {
  auto outcome = childtest::run("ApplicationChild.Start", {{"DISPLAY", std::nullopt},
                                                           {"WAYLAND_DISPLAY", std::nullopt},
                                                           {"QT_QPA_PLATFORM", std::nullopt}});
  ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal;
  EXPECT_EQ(outcome.exitCode, 3);
  EXPECT_EQ(outcome.standardError,
            "quillcast: no X11 display: DISPLAY is not set; start Quillcast in an X11 desktop "
            "session\n");

  outcome = childtest::run("ApplicationChild.Start", {{"DISPLAY", std::nullopt},
                                                      {"WAYLAND_DISPLAY", "wayland-0"},
                                                      {"QT_QPA_PLATFORM", std::nullopt}});
  ASSERT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 3);
  EXPECT_EQ(outcome.standardError,
            "quillcast: this Wayland session offers no X11 display (XWayland is not running); "
            "Quillcast needs X11\n");

  outcome =
      childtest::run("ApplicationChild.Start", {{"DISPLAY", ":4711"}, {"QT_QPA_PLATFORM", "xcb"}});
  ASSERT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 3);
  EXPECT_EQ(outcome.standardError, "quillcast: cannot open the X11 display \":4711\"\n");
}

TEST(Application, WithoutATrayTheProgramRunsAndSaysSoOnce) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  testx11::DisplaySession session;  // no tray runs while we hold the display
  ASSERT_TRUE(session.ok());
  testx11::Connection x;
  ASSERT_EQ(x.selectionOwner("_NET_SYSTEM_TRAY_S0"), XCB_NONE);
  auto outcome = childtest::run(
      "ApplicationChild.Start",
      {{"XDG_RUNTIME_DIR", runtimeDir()}, {"DBUS_SESSION_BUS_ADDRESS", std::nullopt}});
  ASSERT_TRUE(outcome.exited) << "signal " << outcome.signal << "\n" << outcome.standardError;
  EXPECT_EQ(outcome.exitCode, 7) << outcome.standardError;
  EXPECT_EQ(childtest::countLines(outcome.standardError, StatusItem::noTrayMessage), 1)
      << outcome.standardError;
}

TEST(Application, TheMainQueueRunsOnTheEventLoop) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  ASSERT_NE(desktoptest::application(), nullptr);
  std::vector<int> order;
  auto& queue = foundation::DispatchQueue::main();
  queue.asyncAfter(60ms, [&] { order.push_back(3); });
  queue.async([&] {
    order.push_back(1);
    queue.async([&] { order.push_back(2); });
  });
  EXPECT_TRUE(desktoptest::pumpUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace appkit
