#include "testsupport/StartedPrograms.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace testsupport {
namespace {

using namespace std::chrono_literals;

TEST(StartedPrograms, ListsTheDesktopHelpersByNameAndNothingFromTheComments) {
  const auto& programs = startedPrograms();
  for (const char* name : {"openbox", "trayer", "xdotool", "xdg-open", "sh", "dbus-daemon"})
    EXPECT_TRUE(programs.contains(name)) << name;
  // Comment and blank lines name nothing; a package or a caller is not a program.
  for (const char* word : {"#", "Every", "To", "", "xdg-utils", "imagemagick-6.q16"})
    EXPECT_FALSE(programs.contains(word)) << word;
}

TEST(StartedPrograms, APathCountsByItsLastPart) {
  EXPECT_TRUE(expectListedProgram("openbox"));
  EXPECT_TRUE(expectListedProgram("/usr/bin/openbox"));
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(expectListedProgram("/usr/bin/openbox-session")),
                          "openbox-session");
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(expectListedProgram("/usr/bin/")), "does not name");
}

TEST(StartedPrograms, AnUnlistedCommandFailsTheTestAndIsNotRun) {
  int status = 0;
  EXPECT_NONFATAL_FAILURE(status = runCommand("xeyes -geometry 10x10 & exit 7"),
                          "scripts/install-deps");
  EXPECT_EQ(status, -1);
  // A listed one runs, and its exit status comes back.
  EXPECT_EQ(runCommand("sh -c 'exit 3'"), 3 << 8);
}

TEST(StartedPrograms, AStartedProgramReadsAsItWritesAndTakesTheGivenEnvironment) {
  ::setenv("QUILL_GONE", "here", 1);
  StartedProgram program(
      {"sh", "-c", "echo \"$QUILL_WORD $HOME ${QUILL_GONE-unset}\"; printf 'no newline'"},
      StartedProgram::Output::read, {"QUILL_WORD=first", "HOME=/nowhere", "QUILL_GONE"});
  ::unsetenv("QUILL_GONE");
  ASSERT_TRUE(program.started());
  EXPECT_EQ(program.readLine(60s), "first /nowhere unset");
  EXPECT_EQ(program.readLine(60s), "no newline");
  EXPECT_EQ(program.readLine(60s), std::nullopt);  // closed
  const auto status = program.waitForExit(60s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_EQ(program.stop(), status) << "an ended program keeps its status";

  // Its error, read, while its output goes nowhere.
  StartedProgram errors({"sh", "-c", "echo out; echo err >&2"}, StartedProgram::Output::errorsRead);
  std::string read;
  while (auto more = errors.read(60s)) read += *more;
  EXPECT_EQ(read, "err\n");
  EXPECT_TRUE(errors.readingEnded());

  // A program that writes nothing does not hold the test beyond the time given.
  StartedProgram silent({"sh", "-c", "exec sleep 300"}, StartedProgram::Output::read);
  EXPECT_EQ(silent.readLine(10ms), std::nullopt);
  EXPECT_EQ(silent.waitForExit(10ms), std::nullopt);

  EXPECT_NONFATAL_FAILURE(StartedProgram({"xeyes"}), "scripts/install-deps");
}

TEST(StartedPrograms, APipedInputReachesTheProgramUntilItIsClosed) {
  StartedProgram echo({"sh", "-c", "while read -r line; do echo \"got $line\"; done; echo end"},
                      StartedProgram::Output::read, {}, StartedProgram::Input::piped);
  ASSERT_TRUE(echo.write("one\ntwo\n"));
  EXPECT_EQ(echo.readLine(60s), "got one");
  EXPECT_EQ(echo.readLine(60s), "got two");
  echo.closeInput();
  EXPECT_EQ(echo.readLine(60s), "end");
  EXPECT_FALSE(echo.write("late\n")) << "closed input takes nothing";

  // A program that has ended fails the write; the test goes on.
  StartedProgram gone({"sh", "-c", "exit 0"}, StartedProgram::Output::discarded, {},
                      StartedProgram::Input::piped);
  ASSERT_TRUE(gone.waitForExit(60s));
  EXPECT_FALSE(gone.write("anyone there?\n"));

  StartedProgram unpiped({"sh", "-c", "exec sleep 300"});
  EXPECT_FALSE(unpiped.write("x")) << "without a pipe there is nothing to write to";
}

TEST(StartedPrograms, AStartedProgramEndsWithItsOwnerEvenWhenItIgnoresTerm) {
  pid_t pid = -1;
  {
    StartedProgram stubborn({"sh", "-c", "trap '' TERM; echo ready; exec sleep 300"},
                            StartedProgram::Output::read);
    ASSERT_EQ(stubborn.readLine(60s), "ready");
    pid = stubborn.pid();
    const auto status = stubborn.stop();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
  }
  errno = 0;
  EXPECT_EQ(::kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(StartedPrograms, AStartedProgramDiesWithATestThatCrashed) {
  // Orphans come to this process, so that the program's end can be waited for and reaped.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t test = ::fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    // A test that dies without a destructor run, once its program runs.
    auto* program = new StartedProgram({"sh", "-c", "echo ready; exec sleep 300"},
                                       StartedProgram::Output::read);
    const pid_t pid = program->readLine(60s) == "ready" ? program->pid() : -1;
    [[maybe_unused]] auto written = ::write(pipeFds[1], &pid, sizeof pid);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  pid_t program = -1;
  ASSERT_EQ(::read(pipeFds[0], &program, sizeof program), static_cast<ssize_t>(sizeof program));
  ::close(pipeFds[0]);
  ASSERT_GT(program, 0);
  ASSERT_EQ(::waitpid(test, nullptr, 0), test);

  const int ended = static_cast<int>(::syscall(SYS_pidfd_open, program, 0));
  ASSERT_GE(ended, 0) << "the program ended before its test did";
  pollfd ready{ended, POLLIN, 0};
  const bool gone = ::poll(&ready, 1, 60'000) == 1;
  ::close(ended);
  if (!gone) ::kill(program, SIGKILL);
  int status = 0;
  EXPECT_EQ(::waitpid(program, &status, 0), program);
  EXPECT_TRUE(gone) << "the program outlived its test";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
}  // namespace testsupport
