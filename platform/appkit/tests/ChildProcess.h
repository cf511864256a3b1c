#pragma once

// Runs one test of this binary in a fresh process with a changed environment, for behaviour
// that must be seen from outside: what a process prints and how it ends.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
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

// `changes` sets variables; an absent value removes one.
inline Outcome run(const std::string& test,
                   const std::map<std::string, std::optional<std::string>>& changes) {
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
  Outcome outcome;
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return outcome;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  pid_t pid = -1;
  const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
      outcome.standardError.append(buffer, n);
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  ::close(pipeFds[0]);
  return outcome;
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
