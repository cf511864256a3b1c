#include "testsupport/AccessibilityBusSandbox.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "testsupport/StartedPrograms.h"

extern char** environ;

namespace fs = std::filesystem;

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// Runs `argv` with `env` put before ours (and DISPLAY dropped when `withoutDisplay`); its
// standard streams go to the given descriptors or /dev/null. Ended with the test process.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int stdinFd,
            int stdoutFd, bool withoutDisplay = false) {
  if (argv.empty() || !expectListedProgram(argv.front())) return -1;
  std::vector<std::string> environment = env;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    if (withoutDisplay && entry.rfind("DISPLAY=", 0) == 0) continue;
    environment.push_back(entry);
  }
  std::vector<char*> args, envp;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(127);
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(stdinFd >= 0 ? stdinFd : null, 0);
  ::dup2(stdoutFd >= 0 ? stdoutFd : null, 1);
  ::dup2(null, 2);
  ::execvpe(args[0], args.data(), envp.data());
  ::_exit(127);
}

void stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGCONT);
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

// The reply of a dbus-send call on the private session bus, or none when it failed.
std::optional<std::string> busCall(const std::string& session, std::vector<std::string> args) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  args.insert(args.begin(), {"dbus-send", "--session", "--print-reply"});
  const pid_t pid = spawn(args, {"DBUS_SESSION_BUS_ADDRESS=" + session}, -1, out[1]);
  ::close(out[1]);
  std::string reply;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) reply.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return reply;
}

}  // namespace

AccessibilityBusSandbox::AccessibilityBusSandbox() {
  const char* launcherPath = "/usr/libexec/at-spi-bus-launcher";
  if (::access(launcherPath, X_OK) != 0) {
    unavailable_ = "at-spi-bus-launcher is not installed (Debian: at-spi2-core)";
    return;
  }
  char pattern[] = "/tmp/quill-a11y-XXXXXX";
  if (!::mkdtemp(pattern)) {
    unavailable_ = "no temporary folder";
    return;
  }
  home_ = pattern;
  fs::create_directories(home_ / "run");
  fs::permissions(home_ / "run", fs::perms::owner_all);
  std::ofstream(home_ / "bus.conf")
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig><type>session</type><listen>unix:dir="
      << home_.string()
      << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
         "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
         "<allow own=\"*\"/></policy></busconfig>\n";

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  bus_ = spawn({"dbus-daemon", "--nofork", "--config-file=" + (home_ / "bus.conf").string(),
                "--print-address=1"},
               {}, -1, out[1]);
  ::close(out[1]);
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') sessionAddress_ += c;
  ::close(out[0]);
  if (bus_ < 0 || sessionAddress_.empty()) {
    unavailable_ = "dbus-daemon did not start";
    return;
  }
  launcher_ = spawn({launcherPath},
                    {"DBUS_SESSION_BUS_ADDRESS=" + sessionAddress_,
                     "XDG_RUNTIME_DIR=" + (home_ / "run").string(), "HOME=" + home_.string(),
                     // The switch is kept in memory: the user's own settings stay untouched.
                     "GSETTINGS_BACKEND=memory"},
                    -1, -1, true);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (auto reply = busCall(sessionAddress_,
                             {"--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"})) {
      const auto open = reply->find('"');
      const auto close = reply->rfind('"');
      if (open != std::string::npos && close > open)
        accessibilityAddress_ = reply->substr(open + 1, close - open - 1);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (accessibilityAddress_.empty()) {
    unavailable_ = "at-spi-bus-launcher did not start its bus";
    return;
  }
  ::setenv("DBUS_SESSION_BUS_ADDRESS", sessionAddress_.c_str(), 1);
  ::setenv("AT_SPI_BUS_ADDRESS", accessibilityAddress_.c_str(), 1);
}

AccessibilityBusSandbox::~AccessibilityBusSandbox() {
  stop(launcher_);
  stop(bus_);
  std::error_code ignored;
  if (!home_.empty()) fs::remove_all(home_, ignored);
}

bool AccessibilityBusSandbox::setEnabled(bool enabled) {
  return busCall(sessionAddress_,
                 {"--dest=org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                  "string:org.a11y.Status", "string:IsEnabled",
                  std::string("variant:boolean:") + (enabled ? "true" : "false")})
      .has_value();
}

void AccessibilityBusSandbox::stopLauncher() {
  stop(launcher_);
  // Gone once the name has no owner any more.
  for (int i = 0; i < 200; ++i) {
    if (!busCall(sessionAddress_, {"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus.GetNameOwner", "string:org.a11y.Bus"}))
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<std::string> AccessibilityBusSandbox::environment() const {
  return {"DBUS_SESSION_BUS_ADDRESS=" + sessionAddress_,
          "AT_SPI_BUS_ADDRESS=" + accessibilityAddress_,
          "XDG_RUNTIME_DIR=" + (home_ / "run").string()};
}

InteractiveProgram::InteractiveProgram(const std::vector<std::string>& argv,
                                       const std::vector<std::string>& env) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  pid_ = spawn(argv, env, in[0], out[1]);
  ::close(in[0]);
  ::close(out[1]);
  in_ = in[1];
  out_ = out[0];
}

InteractiveProgram::~InteractiveProgram() {
  stop();
}

bool InteractiveProgram::send(const std::string& line) {
  if (in_ < 0) return false;
  const std::string data = line + "\n";
  return ::write(in_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

std::optional<std::string> InteractiveProgram::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (out_ < 0 || left <= 0) return std::nullopt;
    pollfd fd{out_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    buffered_.append(buffer, static_cast<std::size_t>(n));
  }
}

void InteractiveProgram::pause(bool paused) {
  if (pid_ > 0) ::kill(pid_, paused ? SIGSTOP : SIGCONT);
}

void InteractiveProgram::stop() {
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
  in_ = out_ = -1;
  testsupport::stop(pid_);
}

}  // namespace testsupport
