#include "appkit/X11Workspace.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "appkit/x11/Connection.h"
#include "foundation/ThreadName.h"

extern char** environ;

namespace appkit {
namespace {

constexpr std::uint32_t kSourcePager = 2;  // asks the window manager to obey, not to guess

// The opener runs in a session of its own with default signals and its output discarded (a
// browser it starts may print anything); a thread waits for its exit status, however long the
// browser it starts in the foreground runs.
bool launch(const std::string& program, const std::string& argument,
            Workspace::OpenFinished finished) {
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, ignoredHere;
  sigemptyset(&none);
  sigemptyset(&ignoredHere);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
    sigaddset(&ignoredHere, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &ignoredHere);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return false;
  std::thread([pid, finished = std::move(finished)] {
    foundation::setCurrentThreadName("quill-opener");
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (finished) finished(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }).detach();
  return true;
}

}  // namespace

struct X11Workspace::Display {
  explicit Display(const std::string& name) : connection(name.empty() ? nullptr : name.c_str()) {}
  x11::Connection connection;

  // Nothing here reads events; errors of requests to windows that went away would pile up.
  void discardEvents() {
    if (!connection.ok()) return;
    while (x11::Event event{xcb_poll_for_event(connection.get())}) {
    }
  }

  xcb_window_t parent(xcb_window_t window) {
    auto* c = connection.get();
    x11::Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    return tree ? tree->parent : XCB_NONE;
  }

  xcb_window_t inputFocus() {
    auto* c = connection.get();
    x11::Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
        focus->focus == connection.root())
      return XCB_NONE;
    return focus->focus;
  }

  bool exists(xcb_window_t window) {
    auto* c = connection.get();
    x11::Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return attributes != nullptr;
  }

  bool windowManagerRuns() {
    xcb_window_t check = connection.windowProperty(connection.root(), "_NET_SUPPORTING_WM_CHECK");
    return check != XCB_NONE &&
           connection.windowProperty(check, "_NET_SUPPORTING_WM_CHECK") == check;
  }
};

X11Workspace::X11Workspace(X11WorkspaceOptions options)
    : options_(std::move(options)), display_(std::make_unique<Display>(options_.displayName)) {
  if (options_.ownProcessId < 0) options_.ownProcessId = static_cast<int>(::getpid());
  // Here, at start, rather than one at a time on the hot key's way.
  display_->connection.internAtoms(
      {"_NET_ACTIVE_WINDOW", "_NET_WM_PID", "_NET_SUPPORTING_WM_CHECK"});
}

X11Workspace::~X11Workspace() = default;

bool X11Workspace::ok() const {
  return display_->connection.ok();
}

std::optional<RunningApplication> X11Workspace::windowInFront() {
  auto& connection = display_->connection;
  if (!connection.ok()) return std::nullopt;
  display_->discardEvents();
  xcb_window_t window = connection.windowProperty(connection.root(), "_NET_ACTIVE_WINDOW");
  const bool fromWindowManager = window != XCB_NONE;
  if (!fromWindowManager) window = display_->inputFocus();
  if (window == XCB_NONE) return std::nullopt;

  // The focus may sit in a child of the application's window; the pid is on the window that
  // the application created at the top.
  RunningApplication application{-1, window};
  for (xcb_window_t w = window; w != XCB_NONE && w != connection.root();) {
    if (auto pid = connection.cardinalProperty(w, "_NET_WM_PID")) {
      application = {static_cast<int>(*pid), w};
      break;
    }
    xcb_window_t up = display_->parent(w);
    if (!fromWindowManager && (up == connection.root() || up == XCB_NONE)) application.windowId = w;
    w = up;
  }
  return application;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
  std::lock_guard lock(mutex_);
  auto front = windowInFront();
  if (front && front->processIdentifier == options_.ownProcessId) return remembered_;
  return front;
}

std::optional<RunningApplication> X11Workspace::rememberFrontmostApplication() {
  std::lock_guard lock(mutex_);
  auto front = windowInFront();
  if (front && front->processIdentifier == options_.ownProcessId) return remembered_;
  if (front) remembered_ = front;
  return front;
}

std::optional<RunningApplication> X11Workspace::rememberedApplication() {
  std::lock_guard lock(mutex_);
  return remembered_;
}

bool X11Workspace::hasKeyboard(std::uint32_t window) {
  auto& connection = display_->connection;
  if (connection.windowProperty(connection.root(), "_NET_ACTIVE_WINDOW") == window) return true;
  for (xcb_window_t w = display_->inputFocus(); w != XCB_NONE && w != connection.root();
       w = display_->parent(w))
    if (w == window) return true;
  return false;
}

bool X11Workspace::activate(const RunningApplication& application) {
  std::lock_guard lock(mutex_);
  auto& connection = display_->connection;
  const xcb_window_t window = application.windowId;
  if (!connection.ok() || window == XCB_NONE) return false;
  display_->discardEvents();
  if (!display_->exists(window)) return false;
  if (hasKeyboard(window)) return true;

  auto* c = connection.get();
  if (display_->windowManagerRuns()) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = connection.atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = kSourcePager;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, connection.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
  } else {
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
  }
  xcb_flush(c);

  const auto deadline = x11::Clock::now() + options_.activationTimeout;
  for (;;) {
    if (hasKeyboard(window)) return true;
    if (x11::Clock::now() >= deadline || !connection.ok()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool X11Workspace::openURL(std::string_view url, OpenFinished finished) {
  if (!isOpenableURL(url)) return false;
  return launch(options_.opener, std::string(url), std::move(finished));
}

}  // namespace appkit
