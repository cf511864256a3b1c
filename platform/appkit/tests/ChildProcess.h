#pragma once

// Runs one test of this binary in a fresh process with a changed environment, for behaviour
// that must be seen from outside: what a process prints and how it ends.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace childtest {

inline constexpr const char* kMarker = "QUILL_APPKIT_CHILD";

struct Outcome {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  std::string standardError;
};

// A child running one test of this binary, its standard error read by the parent.
class Running {
 public:
  Running(pid_t pid, int standardError) : pid_(pid), fd_(standardError) {}
  Running(Running&& other) noexcept
      : pid_(std::exchange(other.pid_, -1)),
        fd_(std::exchange(other.fd_, -1)),
        output_(std::move(other.output_)) {}
  ~Running() { (void)finish(); }

  pid_t pid() const { return pid_; }
  // What it wrote to standard error so far.
  const std::string& output() const { return output_; }
  // Reads standard error until it holds `text` or the child closes it or time runs out.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (fd_ < 0 || left.count() <= 0) return false;
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
      if (!readSome()) return output_.find(text) != std::string::npos;
    }
    return true;
  }
  // Reads the rest and waits for the end.
  Outcome finish() {
    Outcome outcome;
    if (pid_ <= 0) return outcome;
    while (fd_ >= 0 && readSome()) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    outcome.standardError = output_;
    return outcome;
  }

 private:
  bool readSome() {
    char buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      output_.append(buffer, static_cast<std::size_t>(n));
      return true;
    }
    ::close(fd_);
    fd_ = -1;
    return false;
  }

  pid_t pid_ = -1;
  int fd_ = -1;
  std::string output_;
};

// Starts `test` in a child; `changes` sets variables, an absent value removes one.
inline std::optional<Running> start(
    const std::string& test, const std::map<std::string, std::optional<std::string>>& changes) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  env[kMarker] = "1";
  for (const auto& [name, value] : changes) {
    if (value)
      env[name] = *value;
    else
      env.erase(name);
  }
  std::vector<std::string> entries;
  for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : entries) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::string self = "/proc/self/exe", filter = "--gtest_filter=" + test;
  char* argv[] = {self.data(), filter.data(), nullptr};
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  pid_t pid = -1;
  const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (!spawned) {
    ::close(pipeFds[0]);
    return std::nullopt;
  }
  return Running(pid, pipeFds[0]);
}

// Runs `test` in a child to its end.
inline Outcome run(const std::string& test,
                   const std::map<std::string, std::optional<std::string>>& changes) {
  auto child = start(test, changes);
  return child ? child->finish() : Outcome{};
}

inline bool isChild() {
  return std::getenv(kMarker) != nullptr;
}

inline int countLines(const std::string& text, const std::string& needle) {
  int count = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, end - start, needle) == 0 ||
        text.substr(start, end - start).find(needle) != std::string::npos)
      ++count;
    start = end + 1;
  }
  return count;
}

}  // namespace childtest
