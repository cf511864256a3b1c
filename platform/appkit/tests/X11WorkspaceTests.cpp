#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "appkit/X11Workspace.h"
#include "testsupport/X11TestClient.h"

namespace appkit {
namespace {

constexpr int kEditorPid = 4242;

TEST(X11Workspace, FrontWindowComesFromTheWindowManagerAndNeverIsOurOwn) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection wm;
  xcb_window_t editor = wm.createWindow(0, true);
  xcb_window_t panel = wm.createWindow(0, true);
  wm.setCardinal(editor, "_NET_WM_PID", kEditorPid);
  wm.setCardinal(panel, "_NET_WM_PID", static_cast<std::uint32_t>(::getpid()));
  struct Cleanup {
    testx11::Connection& wm;
    ~Cleanup() { wm.deleteProperty(wm.root(), "_NET_ACTIVE_WINDOW"); }
  } cleanup{wm};

  X11Workspace workspace;
  ASSERT_TRUE(workspace.ok());
  wm.setWindow(wm.root(), "_NET_ACTIVE_WINDOW", editor);
  const RunningApplication expected{kEditorPid, editor};
  EXPECT_EQ(workspace.frontmostApplication(), expected);
  EXPECT_EQ(workspace.rememberFrontmostApplication(), expected);

  // The panel came to the front: the application it was opened over still counts.
  wm.setWindow(wm.root(), "_NET_ACTIVE_WINDOW", panel);
  EXPECT_EQ(workspace.frontmostApplication(), expected);
  EXPECT_EQ(workspace.rememberFrontmostApplication(), expected);
  EXPECT_EQ(workspace.rememberedApplication(), expected);
}

TEST(X11Workspace, WithoutWindowManagerTheFocusNamesTheWindow) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  app.deleteProperty(app.root(), "_NET_ACTIVE_WINDOW");
  xcb_window_t top = app.createWindow(0, true);
  xcb_window_t field = xcb_generate_id(app.get());
  xcb_create_window(app.get(), XCB_COPY_FROM_PARENT, field, top, 5, 5, 50, 20, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_map_window(app.get(), field);
  app.focus(field);

  X11Workspace workspace;
  EXPECT_EQ(workspace.frontmostApplication(), (RunningApplication{-1, top}));
  app.setCardinal(top, "_NET_WM_PID", kEditorPid);
  EXPECT_EQ(workspace.frontmostApplication(), (RunningApplication{kEditorPid, top}));

  app.focus(XCB_INPUT_FOCUS_POINTER_ROOT);
  EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
}

TEST(X11Workspace, ActivateGivesTheWindowTheKeyboard) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  app.deleteProperty(app.root(), "_NET_ACTIVE_WINDOW");
  xcb_window_t editor = app.createWindow(0, true);
  xcb_window_t other = app.createWindow(0, true);
  app.focus(other);

  X11Workspace workspace;
  EXPECT_TRUE(workspace.activate({kEditorPid, editor}));
  testx11::Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(app.get(), xcb_get_input_focus(app.get()), nullptr));
  ASSERT_TRUE(focus);
  EXPECT_EQ(focus->focus, editor);
  EXPECT_TRUE(workspace.activate({kEditorPid, editor}));  // already in front

  xcb_destroy_window(app.get(), other);
  app.sync();
  EXPECT_FALSE(workspace.activate({kEditorPid, other}));
  EXPECT_FALSE(workspace.activate({kEditorPid, 0}));
}

TEST(X11Workspace, OpensOnlyOpenableURLsWithTheDesktopHandler) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("quill-open-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto opener = folder / "opener";
  const auto log = folder / "opened";
  {
    std::ofstream script(opener);
    script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << log.string() << ".tmp' && mv '" << log.string()
           << ".tmp' '" << log.string() << "'\n";
  }
  ::chmod(opener.c_str(), 0700);

  X11WorkspaceOptions options;
  options.opener = opener.string();
  X11Workspace workspace(options);
  EXPECT_FALSE(workspace.openURL("file:///etc/passwd"));
  EXPECT_FALSE(workspace.openURL("https://example.com/$(touch x)\n"));
  ASSERT_TRUE(workspace.openURL("https://example.com/a?b=$(c)&d"));

  const auto deadline = testx11::Clock::now() + testx11::kWait;
  while (!std::filesystem::exists(log) && testx11::Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::ifstream opened(log);
  std::string url((std::istreambuf_iterator<char>(opened)), {});
  EXPECT_EQ(url, "https://example.com/a?b=$(c)&d");

  X11WorkspaceOptions missing;
  missing.opener = (folder / "no-such-program").string();
  EXPECT_FALSE(X11Workspace(missing).openURL("https://example.com"));
  std::filesystem::remove_all(folder);
}

// xdg-open as the desktop has it: found on PATH. The test's PATH holds only its own folder.
class OpenerOnPath {
 public:
  OpenerOnPath()
      : folder_(std::filesystem::temp_directory_path() /
                ("quill-opener-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(folder_);
    const char* path = std::getenv("PATH");
    if (path) saved_ = path;
    ::setenv("PATH", folder_.c_str(), 1);
  }
  ~OpenerOnPath() {
    ::setenv("PATH", saved_.c_str(), 1);
    std::filesystem::remove_all(folder_);
  }
  void install(const std::string& body) {
    const auto script = folder_ / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    ::chmod(script.c_str(), 0700);
  }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::string saved_;
};

// What the opener reports, waited for boundedly.
std::optional<bool> outcome(std::future<bool>& reported) {
  if (reported.wait_for(testx11::kWait) != std::future_status::ready) return std::nullopt;
  return reported.get();
}

TEST(X11Workspace, TellsWhenTheDesktopHandlerFailsOrIsMissing) {
  OpenerOnPath opener;
  X11Workspace workspace;

  // No xdg-open at all: nothing starts, and the caller hears it at once.
  bool called = false;
  EXPECT_FALSE(workspace.openURL("https://example.com/", [&](bool) { called = true; }));

  // One that fails, as xdg-open does when no browser is known (exit 3 or 4).
  opener.install("exit 4");
  std::promise<bool> failed;
  auto failure = failed.get_future();
  ASSERT_TRUE(
      workspace.openURL("https://example.com/", [&](bool opened) { failed.set_value(opened); }));
  EXPECT_EQ(outcome(failure), false);

  // Killed by a signal is no success either.
  opener.install("kill -TERM $$");
  std::promise<bool> killed;
  auto death = killed.get_future();
  ASSERT_TRUE(
      workspace.openURL("https://example.com/", [&](bool opened) { killed.set_value(opened); }));
  EXPECT_EQ(outcome(death), false);
  EXPECT_FALSE(called);
}

TEST(X11Workspace, OpeningDoesNotWaitForTheHandler) {
  OpenerOnPath opener;
  // The handler runs until the test lets it go, as xdg-open does while the browser it started
  // in the foreground stays open.
  const auto gate = opener.folder() / "gate";
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  opener.install("read line < '" + gate.string() + "'; test \"$1\" = https://example.com/");

  X11Workspace workspace;
  std::promise<bool> finished;
  auto reported = finished.get_future();
  ASSERT_TRUE(
      workspace.openURL("https://example.com/", [&](bool opened) { finished.set_value(opened); }));
  EXPECT_EQ(reported.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

  std::ofstream(gate) << "go\n";
  EXPECT_EQ(outcome(reported), true);
}

}  // namespace
}  // namespace appkit
