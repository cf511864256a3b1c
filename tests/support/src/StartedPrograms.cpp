#include "testsupport/StartedPrograms.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace testsupport {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kCommandTime = 120s;
constexpr auto kTermGrace = 5s;

// Polls `fd` for input until `deadline`; false when the time ran out.
bool waitReadable(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd ready{fd, POLLIN, 0};
    const int n = ::poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

// Ours, with "NAME=value" set and "NAME" removed.
std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
  auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    if (std::none_of(changes.begin(), changes.end(),
                     [&](const auto& change) { return nameOf(change) == nameOf(entry); }))
      out.emplace_back(entry);
  }
  for (const auto& change : changes)
    if (change.find('=') != std::string::npos) out.push_back(change);
  return out;
}

}  // namespace

const std::set<std::string, std::less<>>& startedPrograms() {
  static const std::set<std::string, std::less<>> programs = [] {
    std::set<std::string, std::less<>> names;
    std::ifstream file(QUILL_STARTED_PROGRAMS_FILE);
    std::string line, name;
    while (std::getline(file, line))
      if (std::istringstream(line) >> name && name.front() != '#') names.insert(name);
    return names;
  }();
  return programs;
}

bool expectListedProgram(std::string_view program) {
  const auto slash = program.rfind('/');
  const std::string_view name =
      slash == std::string_view::npos ? program : program.substr(slash + 1);
  // Programs outside PATH are listed by their full path.
  if (startedPrograms().contains(name) || startedPrograms().contains(program)) return true;
  ADD_FAILURE() << "The test starts \"" << name << "\", which " << QUILL_STARTED_PROGRAMS_FILE
                << " does not name: add it there with its Debian package, and the package to "
                   "scripts/install-deps";
  return false;
}

int runCommand(const std::string& command) {
  std::string first;
  std::istringstream(command) >> first;
  if (!expectListedProgram("sh") || !expectListedProgram(first)) return -1;
  StartedProgram shell({"/bin/sh", "-c", command}, StartedProgram::Output::shown);
  if (!shell.started()) return -1;
  if (auto status = shell.waitForExit(kCommandTime)) return *status;
  ADD_FAILURE() << "\"" << command << "\" did not end within " << kCommandTime.count() << " s";
  shell.stop();
  return -1;
}

StartedProgram::StartedProgram(const std::vector<std::string>& argv, Output output,
                               const std::vector<std::string>& environment, Input input) {
  if (argv.empty() || (argv.front() != "/proc/self/exe" && !expectListedProgram(argv.front())))
    return;
  const std::vector<std::string> env = environmentWith(environment);
  std::vector<char*> args, envp;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  const bool reads = output == Output::read || output == Output::errorsRead;
  int pipeFds[2] = {-1, -1};
  if (reads && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipe for " << argv.front();
    return;
  }
  int inputFds[2] = {-1, -1};
  // A socket rather than a pipe: writing to a program that has ended then fails with EPIPE
  // instead of killing the test with SIGPIPE.
  if (input == Input::piped &&
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inputFds) != 0) {
    ADD_FAILURE() << "no pipe for " << argv.front();
    if (reads) {
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
    }
    return;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on: the test may run other threads.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(inputFds[0] >= 0 ? inputFds[0] : null, 0);
    if (output != Output::shown) {
      ::dup2(output == Output::read ? pipeFds[1] : null, 1);
      ::dup2(output == Output::errorsRead ? pipeFds[1] : null, 2);
    }
    // Nothing else of the test's: a server holding the test's X connection or ctest's pipe
    // would keep either open after the test.
    ::close_range(3, ~0U, 0);
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  if (reads) {
    ::close(pipeFds[1]);
    stream_ = pipeFds[0];
  }
  if (inputFds[0] >= 0) {
    ::close(inputFds[0]);
    input_ = inputFds[1];
  }
  if (pid < 0) {
    ADD_FAILURE() << "could not fork for " << argv.front();
    if (stream_ >= 0) ::close(stream_);
    stream_ = -1;
    closeInput();
    return;
  }
  pid_ = pid;
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

StartedProgram::~StartedProgram() {
  closeInput();
  stop();
  if (stream_ >= 0) ::close(stream_);
}

bool StartedProgram::write(std::string_view bytes) {
  while (!bytes.empty()) {
    if (input_ < 0) return false;
    const ssize_t n = ::send(input_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void StartedProgram::closeInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

bool StartedProgram::fill(Clock::time_point deadline) {
  for (;;) {
    if (stream_ < 0 || !waitReadable(stream_, deadline)) return false;
    char buffer[4096];
    const ssize_t n = ::read(stream_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(stream_);
      stream_ = -1;
      return false;
    }
    unread_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
}

std::optional<std::string> StartedProgram::read(std::chrono::milliseconds timeout) {
  if (unread_.empty() && !fill(Clock::now() + timeout)) return std::nullopt;
  return std::exchange(unread_, {});
}

std::optional<std::string> StartedProgram::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto end = unread_.find('\n'); end != std::string::npos) {
      std::string line = unread_.substr(0, end);
      unread_.erase(0, end + 1);
      return line;
    }
    if (!fill(deadline)) {
      // Its last line may lack the newline.
      if (!readingEnded() || unread_.empty()) return std::nullopt;
      return std::exchange(unread_, {});
    }
  }
}

bool StartedProgram::reap(int options) {
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(pid_, &status, options);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return false;
  // Reaped by someone else (got < 0) counts as ended, with no status to tell.
  if (got == pid_) status_ = status;
  pid_ = -1;
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  return true;
}

std::optional<int> StartedProgram::waitForExit(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return status_;
  const auto deadline = Clock::now() + timeout;
  if (pidfd_ >= 0) {
    // The descriptor becomes readable when the program ends.
    if (!waitReadable(pidfd_, deadline)) return std::nullopt;
    reap(0);
    return status_;
  }
  // A kernel without process descriptors: looked at now and then.
  while (!reap(WNOHANG)) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(10ms);
  }
  return status_;
}

std::optional<int> StartedProgram::stop() {
  if (pid_ <= 0) return status_;
  ::kill(pid_, SIGCONT);
  ::kill(pid_, SIGTERM);
  if (!waitForExit(kTermGrace)) {
    ::kill(pid_, SIGKILL);
    reap(0);
  }
  return status_;
}

}  // namespace testsupport
