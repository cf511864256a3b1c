// Starts of the real program beside one that runs: on a desktop without a tray whose window
// manager holds the hot key, starting Quillcast again is the way in; and a start that cannot be
// sure it is the only one does not run.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "DesktopSession.h"
#include "foundation/UserDefaults.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/StartedPrograms.h"
#include "testsupport/X11TestClient.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::StartedProgram;

// The program as the applications menu starts it, with no runtime folder, so that its socket
// lives in the state folder.
std::unique_ptr<StartedProgram> startProgram(const fs::path& state,
                                             const std::vector<std::string>& arguments = {}) {
  std::string command = "exec '" QUILLCAST_PROGRAM "'";
  for (const auto& argument : arguments) command += " '" + argument + "'";
  return std::make_unique<StartedProgram>(
      std::vector<std::string>{"sh", "-c", command}, StartedProgram::Output::errorsRead,
      std::vector<std::string>{"XDG_RUNTIME_DIR", "XDG_STATE_HOME=" + state.string(),
                               "DBUS_SESSION_BUS_ADDRESS", "QUILLCAST_DEBUG"});
}

std::string windowName(testx11::Connection& x, xcb_window_t window) {
  testx11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      x.get(),
      xcb_get_property(x.get(), 0, window, x.atom("_NET_WM_NAME"), x.atom("UTF8_STRING"), 0, 256),
      nullptr));
  if (!reply) return {};
  return {static_cast<const char*>(xcb_get_property_value(reply.get())),
          static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

// Whether the window manager shows a window of that name.
bool shows(testx11::Connection& x, const std::string& name) {
  for (const auto window : desktoptest::windowList(x, x.root(), "_NET_CLIENT_LIST"))
    if (windowName(x, window) == name) return true;
  return false;
}

// All it wrote on standard error, until it wrote `line` or the time is up.
std::string errorsUntil(StartedProgram& program, const std::string& line,
                        std::chrono::milliseconds wait) {
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (said.find(line) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    auto more = program.read(100ms);
    if (!more && program.readingEnded()) break;
    if (more) said += *more;
  }
  return said;
}

class SecondStart : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& defaults = foundation::UserDefaults::standard();
    defaults.set("openapikey", std::string("sk-second-start"));
    defaults.set("firstTime", false);
    defaults.synchronize();
  }
  testsupport::ScopedHome home;
  fs::path state = home.path() / "state";
  fs::path socket = state / "quillcast" / "quillcast.socket";
};

TEST_F(SecondStart, WithoutATrayOrAFreeHotKeyStartingAgainOpensThePanel) {
  desktoptest::Desktop desktop;  // openbox holds Alt+Space; no tray runs
  QUILL_REQUIRE_DESKTOP(desktop);
  testx11::Connection x;
  ASSERT_EQ(x.selectionOwner("_NET_SYSTEM_TRAY_S0"), XCB_NONE);

  auto running = startProgram(state);
  ASSERT_TRUE(running->started());
  // What it says is what this desktop offers: no tray, a taken key, and the way in left.
  const std::string wayIn = "start Quillcast again to open the panel\n";
  const std::string said = errorsUntil(*running, wayIn, 30s);
  EXPECT_NE(said.find("no system tray found: the Quillcast menu is not shown\n"), std::string::npos)
      << said;
  EXPECT_NE(said.find("Quillcast: the hot key Alt+Space is taken by another program: " + wayIn),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("hot key still opens"), std::string::npos) << said;
  ASSERT_TRUE(desktoptest::Desktop::waitFor([&] { return fs::is_socket(socket); }));
  struct stat folder {};
  ASSERT_EQ(::lstat(socket.parent_path().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  EXPECT_FALSE(shows(x, "Quillcast Floating"));

  // From the applications menu: no link. It hands over and ends; the running one opens the
  // panel.
  auto again = startProgram(state);
  const auto status = again->waitForExit(30s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_TRUE(desktoptest::Desktop::waitFor([&] { return shows(x, "Quillcast Floating"); }))
      << "the panel did not open";
  desktoptest::Desktop::screenshot("second-start-panel");

  // Links still go where they went.
  auto link = startProgram(state, {"quillcast://promptEditor"});
  ASSERT_TRUE(link->waitForExit(30s));
  EXPECT_TRUE(desktoptest::Desktop::waitFor([&] { return shows(x, "Prompt Editor"); }));

  const auto ended = running->stop();
  ASSERT_TRUE(ended);
  EXPECT_TRUE(WIFEXITED(*ended)) << *ended;
  EXPECT_FALSE(fs::exists(socket));
}

TEST_F(SecondStart, AFolderAnotherUserMadeFirstStartsNothing) {
  if (::getuid() == 0) {
    // Where the socket would go, made first by nobody.
    fs::create_directories(socket.parent_path());
    ASSERT_EQ(::chmod(socket.parent_path().c_str(), 0700), 0);
    ASSERT_EQ(::chown(socket.parent_path().c_str(), 65534, 65534), 0);
  } else {
    // Without root: a folder of ours that others may enter is refused just the same.
    fs::create_directories(socket.parent_path());
    ASSERT_EQ(::chmod(socket.parent_path().c_str(), 0755), 0);
  }
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    auto refused = startProgram(state);
    const std::string said = errorsUntil(*refused, "not starting", 30s);
    const auto status = refused->waitForExit(30s);
    ASSERT_TRUE(status) << "it ran as a full instance: " << said;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << *status;
    EXPECT_NE(said.find(::getuid() == 0 ? "belongs to another user; not starting"
                                        : "is open to other users; not starting"),
              std::string::npos)
        << said;
  }
  EXPECT_FALSE(fs::exists(socket));
}

}  // namespace
