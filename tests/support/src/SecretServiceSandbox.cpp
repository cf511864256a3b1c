#include "testsupport/SecretServiceSandbox.h"
#include "testsupport/StartedPrograms.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace testsupport {
namespace {

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    if (::access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Runs `argv` with `env` added to ours; stdin and stdout optionally connected to pipes. The
// child is ended with the test process, even when that one crashes.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int stdinFd,
            int stdoutFd) {
  if (argv.empty() || !expectListedProgram(argv.front())) return -1;
  std::vector<std::string> environment = env;
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  std::vector<char*> args, envp;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Only async-signal-safe calls from here on.
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(127);
  if (stdinFd >= 0) ::dup2(stdinFd, 0);
  if (stdoutFd >= 0) ::dup2(stdoutFd, 1);
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) ::dup2(null, 2);
  ::execvpe(args[0], args.data(), envp.data());
  ::_exit(127);
}

int run(const std::vector<std::string>& argv) {
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t pid = spawn(argv, {}, -1, null);
  if (null >= 0) ::close(null);
  if (pid < 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

}  // namespace

SecretServiceSandbox& SecretServiceSandbox::instance() {
  static SecretServiceSandbox sandbox;
  return sandbox;
}

SecretServiceSandbox::SecretServiceSandbox() {
  for (const char* program : {"dbus-daemon", "dbus-send", "gnome-keyring-daemon"}) {
    if (!onPath(program)) {
      unavailable_ = std::string(program) + " is not installed (Debian: gnome-keyring, dbus)";
      return;
    }
  }
  char pattern[] = "/tmp/quill-keyring-XXXXXX";
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
  std::string address;
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') address += c;
  ::close(out[0]);
  if (bus_ < 0 || address.empty()) {
    unavailable_ = "dbus-daemon did not start";
    stop(bus_);
    return;
  }
  address_ = address;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

SecretServiceSandbox::~SecretServiceSandbox() {
  stopKeyring();
  stop(bus_);
  std::error_code ignored;
  if (!home_.empty()) fs::remove_all(home_, ignored);
}

bool SecretServiceSandbox::secretsServed() const {
  return run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.secrets",
              "/org/freedesktop/secrets", "org.freedesktop.DBus.Properties.Get",
              "string:org.freedesktop.Secret.Service", "string:Collections"}) == 0;
}

bool SecretServiceSandbox::startKeyring() {
  if (!unavailable_.empty()) return false;
  if (keyring_ > 0) return true;
  int in[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  const std::string home = home_.string();
  keyring_ = spawn({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"},
                   {"HOME=" + home, "XDG_DATA_HOME=" + home + "/data",
                    "XDG_CONFIG_HOME=" + home + "/config", "XDG_RUNTIME_DIR=" + home + "/run"},
                   in[0], -1);
  ::close(in[0]);
  const std::string password = kPassword;
  (void)!::write(in[1], password.data(), password.size());
  ::close(in[1]);
  if (keyring_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (secretsServed()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stopKeyring();
  return false;
}

void SecretServiceSandbox::stopKeyring() {
  stop(keyring_);
  // Wait until the name is gone, so the next start does not race the old one.
  for (int i = 0; i < 100 && unavailable_.empty() && secretsServed(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool SecretServiceSandbox::lockLogin() {
  return run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.secrets",
              "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
              "array:objpath:/org/freedesktop/secrets/collection/login"}) == 0;
}

}  // namespace testsupport
