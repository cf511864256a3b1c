#pragma once

// Runs one test of this binary in a fresh process with a changed environment, for behaviour
// that must be seen from outside: what a process prints and how it ends.

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/StartedPrograms.h"

namespace childtest {

inline constexpr const char* kMarker = "QUILL_APPKIT_CHILD";

struct Outcome {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  std::string standardError;
};

// A child running one test of this binary, its standard error read by the parent. It ends
// with its owner: a test that fails before it let the child finish leaves nothing behind.
class Running {
 public:
  explicit Running(std::unique_ptr<testsupport::StartedProgram> program)
      : program_(std::move(program)) {}

  pid_t pid() const { return program_->pid(); }
  // What it wrote to standard error so far.
  const std::string& output() const { return output_; }
  // Reads standard error until it holds `text` or the child closes it or time runs out.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      auto more = program_->read(left);
      if (!more) return output_.find(text) != std::string::npos;
      output_ += *more;
    }
    return true;
  }
  // Reads the rest and waits for the end; a child still running after `timeout` is killed.
  Outcome finish(std::chrono::milliseconds timeout = std::chrono::minutes(2)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto left = [&] {
      return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now()),
                      std::chrono::milliseconds(0));
    };
    while (auto more = program_->read(left())) output_ += *more;
    auto status = program_->waitForExit(left());
    if (!status) status = program_->stop();
    Outcome outcome;
    if (!status) return outcome;
    outcome.exited = WIFEXITED(*status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(*status) : -1;
    outcome.signal = WIFSIGNALED(*status) ? WTERMSIG(*status) : 0;
    outcome.standardError = output_;
    return outcome;
  }

 private:
  std::unique_ptr<testsupport::StartedProgram> program_;
  std::string output_;
};

// Starts `test` in a child; `changes` sets variables, an absent value removes one.
inline std::optional<Running> start(
    const std::string& test, const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> environment{std::string(kMarker) + "=1"};
  for (const auto& [name, value] : changes)
    environment.push_back(value ? name + "=" + *value : name);
  auto program = std::make_unique<testsupport::StartedProgram>(
      std::vector<std::string>{"/proc/self/exe", "--gtest_filter=" + test},
      testsupport::StartedProgram::Output::errorsRead, environment);
  if (!program->started()) return std::nullopt;
  return Running(std::move(program));
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
