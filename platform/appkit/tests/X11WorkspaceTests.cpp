#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
}  // namespace appkit
