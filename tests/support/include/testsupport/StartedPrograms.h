#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// The programs named in tests/support/started-programs.txt: the only ones a test may start, so
// that scripts/install-deps installs each of them on a fresh machine.
const std::set<std::string, std::less<>>& startedPrograms();

// Fails the running test, naming the list to add it to, unless `program` (a name, or a path
// whose last part counts) is listed. True when it is.
bool expectListedProgram(std::string_view program);

// std::system for tests: runs `command` with /bin/sh once its first word is a listed program,
// its output shown with the test's. Its wait status; -1 when it is not listed, and when it did
// not end within two minutes (it is killed then, and the test fails).
int runCommand(const std::string& command);

// A listed program that a test started, ended with its owner on every path: SIGTERM when this
// goes (SIGKILL when that did not end it within a few seconds), and SIGKILL from the kernel when
// the thread that started it dies first, a crashed test included. Its standard input is
// /dev/null unless piped. The test binary itself ("/proc/self/exe") needs no listing.
class StartedProgram {
 public:
  // Where its standard output and error go.
  enum class Output {
    discarded,
    read,        // its output through read and readLine; its error discarded
    errorsRead,  // its error through read and readLine; its output discarded
    shown,       // both with the test's own
  };

  enum class Input { none, piped };

  // `environment` holds "NAME=value" to set and "NAME" to remove.
  explicit StartedProgram(const std::vector<std::string>& argv, Output output = Output::discarded,
                          const std::vector<std::string>& environment = {},
                          Input input = Input::none);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  // False when the program is not listed or could not be forked; true even when exec failed
  // (it then ends at once with 127).
  bool started() const { return pid_ > 0 || status_.has_value(); }
  pid_t pid() const { return pid_; }

  // What it wrote since the last read, once there is something; none when it closed the stream
  // with nothing left, or `timeout` passed first.
  std::optional<std::string> read(std::chrono::milliseconds timeout);
  // The next line it wrote, without the newline; none as for read.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // True once it closed the stream that is read (or none is).
  bool readingEnded() const { return stream_ < 0; }

  // With Input::piped: writes all of `bytes` to its standard input; false when it cannot.
  bool write(std::string_view bytes);
  // Closes its standard input, as the end of a file would.
  void closeInput();

  // Waits for it to end by itself: its wait status, or none while it still runs at `timeout`.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout);

  // Ends it (see above) and returns its wait status; also when it had ended already.
  std::optional<int> stop();

 private:
  bool fill(std::chrono::steady_clock::time_point deadline);
  bool reap(int options);

  pid_t pid_ = -1;
  int pidfd_ = -1;
  int stream_ = -1;
  int input_ = -1;
  std::string unread_;
  std::optional<int> status_;
};

}  // namespace testsupport
