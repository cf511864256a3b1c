#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "foundation/DispatchQueue.h"
#include "shell/InstanceMessage.h"
#include "shell/SingleInstance.h"
#include "testsupport/ScopedHome.h"

extern char** environ;

namespace shell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int connectRaw(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True once the other end has closed the connection, within `wait`.
bool closedByPeer(int fd, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, 50) <= 0) continue;
    char buffer[64];
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    // A peer that closes with bytes of ours unread resets the connection.
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return true;
  }
  return false;
}

InstanceRequest links(std::vector<std::string> urls) {
  return {std::move(urls), false};
}

class SingleInstanceTests : public ::testing::Test {
 protected:
  testsupport::ScopedHome home;
  fs::path socket = home.path() / "q.socket";
  std::vector<std::vector<std::string>> received;
  int panelRequests = 0;
  SingleInstance::RequestHandler record = [this](InstanceRequest request) {
    if (request.openPanel) ++panelRequests;
    if (!request.urls.empty()) received.push_back(std::move(request.urls));
  };
};

TEST_F(SingleInstanceTests, LaterStartsHandTheirURLsToTheFirstAndEnd) {
  auto first = SingleInstance::acquire({socket, {}}, {}, record);
  ASSERT_TRUE(first.instance);
  struct stat info {};
  ASSERT_EQ(::stat(socket.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const std::vector<std::string> urls = {"quillcast://promptEditor", "quillcast://x?data=%7B%7D"};
  auto second = SingleInstance::acquire({socket, {}}, links(urls), record);
  EXPECT_FALSE(second.instance);
  EXPECT_TRUE(second.handedOver);
  EXPECT_TRUE(SingleInstance::acquire({socket, {}}, links({"quillcast://onboardingView"}), record)
                  .handedOver);
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return received.size() == 2; }, 5s));
  EXPECT_EQ(received[0], urls);
  EXPECT_EQ(received[1], std::vector<std::string>{"quillcast://onboardingView"});

  // Gone with its socket and lock: the next start is the instance again.
  first.instance.reset();
  EXPECT_FALSE(fs::exists(socket));
  EXPECT_EQ(sendToRunningInstance(socket, links(urls)), Delivery::nobody);
  EXPECT_TRUE(SingleInstance::acquire({socket, {}}, {}, record).instance);
}

TEST_F(SingleInstanceTests, AStaleSocketOfACrashedInstanceIsTakenOver) {
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socket.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);  // the file stays, nobody listens
  }
  auto instance = SingleInstance::acquire({socket, {}}, {}, record);
  ASSERT_TRUE(instance.instance);
  EXPECT_EQ(sendToRunningInstance(socket, links({"quillcast://promptEditor"})),
            Delivery::delivered);
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return received.size() == 1; }, 5s));
}

TEST_F(SingleInstanceTests, OversizedMessagesAreDroppedWhole) {
  auto instance = SingleInstance::acquire({socket, {}}, {}, record);
  ASSERT_TRUE(instance.instance);
  // Ours are not sent at all; another program's are cut off.
  EXPECT_EQ(sendToRunningInstance(socket, links({std::string(kMaxInstanceMessageBytes, 'a')})),
            Delivery::noAnswer);
  const int raw = connectRaw(socket);
  ASSERT_GE(raw, 0);
  const std::string huge = std::string(kMaxInstanceMessageBytes, 'b') + '\0';
  std::size_t sent = 0;
  while (sent < huge.size()) {
    const ssize_t n = ::send(raw, huge.data() + sent, huge.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  EXPECT_TRUE(closedByPeer(raw, 5s));
  ::close(raw);
  EXPECT_EQ(sendToRunningInstance(socket, links({"quillcast://promptEditor"})),
            Delivery::delivered);
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !received.empty(); }, 5s));
  foundation::MainRunLoop::runFor(50ms);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], std::vector<std::string>{"quillcast://promptEditor"});
}

TEST_F(SingleInstanceTests, ASlowClientHoldsNobodyBackAndIsCutOffAtItsDeadline) {
  auto instance = SingleInstance::acquire({socket, {}}, {}, record);
  ASSERT_TRUE(instance.instance);
  const int slow = connectRaw(socket);
  ASSERT_GE(slow, 0);
  std::atomic<bool> slowCut = false;
  std::thread trickle([&] {
    // One byte now and then, never a whole URL.
    for (int i = 0; i < 400; ++i) {
      if (::send(slow, "q", 1, MSG_NOSIGNAL) != 1 || closedByPeer(slow, 50ms)) break;
    }
    slowCut = true;
    foundation::DispatchQueue::main().async([] {});  // wakes the run loop
  });
  EXPECT_EQ(sendToRunningInstance(socket, links({"quillcast://promptEditor"})),
            Delivery::delivered);
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !received.empty(); }, 5s));
  EXPECT_FALSE(slowCut) << "the prompt client waited for the slow one";
  // ... which the instance drops once its time is up, without handing anything on.
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return slowCut.load(); },
                                                SingleInstance::kConnectionDeadline + 10s));
  trickle.join();
  ::close(slow);
  foundation::MainRunLoop::runFor(50ms);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], std::vector<std::string>{"quillcast://promptEditor"});
}

TEST_F(SingleInstanceTests, AStartThatFindsTheLockTakenNeverRunsASecondInstance) {
  // The instance holds the lock but is not listening yet.
  const auto lockPath = socket.string() + ".lock";
  const int holder = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  ::testing::internal::CaptureStderr();
  auto waiting =
      SingleInstance::acquire({socket, {}}, links({"quillcast://promptEditor"}), record, 200ms);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(waiting.instance);
  EXPECT_FALSE(waiting.handedOver);
  EXPECT_NE(said.find("does not listen"), std::string::npos) << said;

  // Once it listens, a waiting start hands its links over.
  std::atomic<bool> handed = false;
  std::thread start([&] {
    handed = SingleInstance::acquire({socket, {}}, links({"quillcast://onboardingView"}), record)
                 .handedOver;
  });
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, socket.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  const int client = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(client, 0);
  std::string message;
  char buffer[256];
  for (ssize_t n; (n = ::recv(client, buffer, sizeof(buffer), 0)) > 0;)
    message.append(buffer, static_cast<std::size_t>(n));
  ASSERT_EQ(::send(client, "\x06", 1, MSG_NOSIGNAL), 1);
  ::close(client);
  start.join();
  EXPECT_TRUE(handed);
  EXPECT_EQ(decodeInstanceMessage(message).urls,
            std::vector<std::string>{"quillcast://onboardingView"});
  ::close(listener);
  ::close(holder);
}

TEST_F(SingleInstanceTests, APathLongerThanASocketAddressStillReachesTheInstance) {
  // Socket addresses hold about a hundred bytes; a deep home folder exceeds that.
  const auto folder = home.path() / std::string(200, 'r') / std::string(200, 's');
  fs::create_directories(folder);
  const auto deep = folder / "q.socket";
  ASSERT_GT(deep.string().size(), sizeof(sockaddr_un::sun_path));
  auto instance = SingleInstance::acquire({deep, {}}, links({"quillcast://promptEditor"}), record);
  ASSERT_TRUE(instance.instance);
  EXPECT_TRUE(fs::is_socket(deep));
  EXPECT_TRUE(SingleInstance::acquire({deep, {}}, requestFor({}), record).handedOver);
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return panelRequests == 1; }, 5s));

  // A socket name too long even then: the instance runs, holding the lock, but cannot listen.
  instance.instance.reset();
  const auto unreachable = folder / std::string(120, 'n');
  ::testing::internal::CaptureStderr();
  instance = SingleInstance::acquire({unreachable, {}}, {}, record);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot listen"), std::string::npos);
  EXPECT_TRUE(instance.instance);
  EXPECT_EQ(sendToRunningInstance(unreachable, links({"quillcast://promptEditor"})),
            Delivery::nobody);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(SingleInstance::acquire({unreachable, {}}, {}, record, 100ms).instance);
  ::testing::internal::GetCapturedStderr();
}

TEST_F(SingleInstanceTests, WithoutASafePlaceNothingRunsAndItSaysWhy) {
  ::testing::internal::CaptureStderr();
  auto start =
      SingleInstance::acquire({{}, "/home/me/.local/state/quillcast belongs to another user"},
                              links({"quillcast://promptEditor"}), record);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(start.instance);
  EXPECT_FALSE(start.handedOver);
  EXPECT_NE(said.find("belongs to another user; not starting"), std::string::npos) << said;
}

TEST_F(SingleInstanceTests, AHandOverWaitsForAFullBacklogOnlySoLong) {
  // Listens but never accepts: once its backlog is full a connection finds no room.
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, socket.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  std::vector<int> waiting;
  for (int i = 0; i < 8; ++i) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      ::close(fd);
      break;
    }
    waiting.push_back(fd);
  }
  ASSERT_FALSE(waiting.empty());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sendToRunningInstance(socket, links({"quillcast://promptEditor"}), 300ms),
            Delivery::noAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  for (const int fd : waiting) ::close(fd);
  ::close(listener);
}

// Folders every user may reach, as the temporary folder is.
class SharedFolderTests : public SingleInstanceTests {
 protected:
  static constexpr uid_t kOtherUser = 65534;
  fs::path shared;
  void SetUp() override {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    std::string folder = (fs::temp_directory_path() / "quill-shared-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    shared = folder;
    fs::permissions(shared, fs::perms::all);
  }
  void TearDown() override {
    if (!shared.empty()) fs::remove_all(shared);
  }
};

TEST_F(SharedFolderTests, AnotherUsersSocketUnderOurNameGetsNoLinks) {
  const auto path = shared / "q.socket";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only system calls from here on: the test process has threads.
    if (::setuid(kOtherUser) != 0) ::_exit(1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) ::_exit(1);
    if (::listen(fd, 8) != 0) ::_exit(1);
    [[maybe_unused]] const auto written = ::write(ready[1], "r", 1);
    while (true) ::pause();
  }
  ::close(ready[1]);
  char byte = 0;
  const bool listening = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  if (!listening) {
    ::waitpid(child, nullptr, 0);
    FAIL() << "the other user's instance did not start";
  }
  EXPECT_EQ(sendToRunningInstance(path, links({"quillcast://promptEditor"})), Delivery::nobody);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(
      SingleInstance::acquire({path, {}}, links({"quillcast://promptEditor"}), record).instance);
  ::testing::internal::GetCapturedStderr();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

TEST_F(SharedFolderTests, ALockFileThatIsNotOursIsNotUsedAndNothingRuns) {
  const auto path = shared / "q.socket";
  const auto lockPath = shared / "q.socket.lock";
  // Another user's file, which that user could hold locked for ever.
  {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0666);
    ::close(fd);
  }
  ASSERT_EQ(::chown(lockPath.c_str(), kOtherUser, kOtherUser), 0);
  ::testing::internal::CaptureStderr();
  auto start = SingleInstance::acquire({path, {}}, {}, record);
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(start.instance);
  EXPECT_NE(said.find("is not a file of this user; not starting"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(path));

  // A link to a file of ours is not followed either.
  fs::remove(lockPath);
  const auto ours = shared / "ours";
  {
    const int fd = ::open(ours.c_str(), O_RDWR | O_CREAT, 0600);
    ::close(fd);
  }
  fs::create_symlink(ours, lockPath);
  ::testing::internal::CaptureStderr();
  start = SingleInstance::acquire({path, {}}, {}, record);
  said = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(start.instance);
  EXPECT_NE(said.find("cannot open"), std::string::npos) << said;
}

TEST_F(SharedFolderTests, OnlyAPrivateFolderOfOurOwnHoldsTheSocket) {
  const uid_t me = ::getuid();
  const auto state = home.path() / "state" / "deeper";
  const auto expected = state / "quillcast";

  // A runtime folder of our own is used as it is.
  const auto runtime = home.path() / "run";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  EXPECT_EQ(socketPlace(runtime.c_str(), state, me).socket, runtime / "quillcast.socket");

  // One that others reach, or that is not there, is passed over for the state folder, made
  // 0700 with its parents on first use, and found again.
  for (const auto& passedOver : {shared, home.path() / "none", fs::path("relative")}) {
    SCOPED_TRACE(passedOver);
    const auto place = socketPlace(passedOver.c_str(), state, me);
    EXPECT_EQ(place.socket, expected / "quillcast.socket") << place.problem;
  }
  EXPECT_EQ(fs::status(expected).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(state).permissions(), fs::perms::owner_all);
  EXPECT_EQ(socketPlace(nullptr, state, me).socket, expected / "quillcast.socket");
  EXPECT_EQ(socketPlace("", state, me).socket, expected / "quillcast.socket");
  EXPECT_TRUE(socketPlace(nullptr, "relative/state", me).socket.empty());
  fs::remove(expected);

  struct Hostile {
    const char* what;
    std::function<void()> make;
    const char* problem;
  };
  const Hostile cases[] = {
      {"another user's folder",
       [&] {
         fs::create_directory(expected);
         fs::permissions(expected, fs::perms::owner_all);
         ASSERT_EQ(::chown(expected.c_str(), kOtherUser, kOtherUser), 0);
       },
       "belongs to another user"},
      {"a link to a folder of ours",
       [&] {
         fs::create_directory(shared / "elsewhere");
         fs::permissions(shared / "elsewhere", fs::perms::owner_all);
         fs::create_directory_symlink(shared / "elsewhere", expected);
       },
       "is a symbolic link"},
      {"our folder open to others",
       [&] {
         fs::create_directory(expected);
         fs::permissions(expected, fs::perms::all);
       },
       "is open to other users"},
      {"a file", [&] { std::ofstream(expected) << "x"; }, "is not a folder"},
  };
  for (const auto& hostile : cases) {
    SCOPED_TRACE(hostile.what);
    hostile.make();
    const auto place = socketPlace(nullptr, state, me);
    EXPECT_TRUE(place.socket.empty());
    EXPECT_NE(place.problem.find(hostile.problem), std::string::npos) << place.problem;
    // ... and then no start runs a second instance beside the one that might be running.
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SingleInstance::acquire(place, {}, record).instance);
    ::testing::internal::GetCapturedStderr();
    fs::remove(expected);
    fs::remove_all(shared / "elsewhere");
  }
}

struct Pipe {
  int read = -1, write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) read = fds[0], write = fds[1];
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  void closeRead() { read = (read >= 0 ? ::close(read) : 0, -1); }
  void closeWrite() { write = (write >= 0 ? ::close(write) : 0, -1); }
};

// Starts of the program, each its own process, let go at once.
class Probe {
 public:
  Probe(const fs::path& socket, const std::string& url, int goPipe, int lifePipe) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, goPipe, 3);
    posix_spawn_file_actions_adddup2(&actions, lifePipe, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const std::string program = QUILL_INSTANCE_PROBE;
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(socket.c_str()),
                    const_cast<char*>(url.c_str()), nullptr};
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Probe() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // The lines written so far, reading until `done` holds for them or `wait` passes.
  const std::string& readUntil(const std::function<bool(const std::string&)>& done,
                               std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!done(output_) && std::chrono::steady_clock::now() < deadline) {
      pollfd pfd{out_, POLLIN, 0};
      if (::poll(&pfd, 1, 50) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(out_, buffer, sizeof(buffer));
      if (n <= 0) break;
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    return output_;
  }
  // Exit status, once the process ends.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

TEST_F(SingleInstanceTests, TwoStartsAtOnceLeaveExactlyOneRunning) {
  auto said = [](const std::string& word) {
    return [word](const std::string& output) { return output.find(word) != std::string::npos; };
  };
  auto decided = [](const std::string& output) { return output.find('\n') != std::string::npos; };
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Pipe go, life;
    Probe a(socket, "quillcast://a", go.read, life.read);
    Probe b(socket, "quillcast://b", go.read, life.read);
    go.closeRead();
    life.closeRead();
    ASSERT_TRUE(a.started() && b.started());
    ASSERT_EQ(::write(go.write, "gg", 2), 2);
    const std::string firstA = a.readUntil(decided, 10s), firstB = b.readUntil(decided, 10s);
    const bool aRuns = firstA.rfind("listening\n", 0) == 0;
    const bool bRuns = firstB.rfind("listening\n", 0) == 0;
    ASSERT_NE(aRuns, bRuns) << "a: " << firstA << "b: " << firstB;
    Probe& survivor = aRuns ? a : b;
    Probe& other = aRuns ? b : a;
    EXPECT_EQ(other.readUntil(decided, 1s), "handed\n");
    EXPECT_EQ(other.wait(), 0);
    const std::string url = aRuns ? "quillcast://b" : "quillcast://a";
    EXPECT_TRUE(said("received " + url)(survivor.readUntil(said("received " + url), 10s)));
    life.closeWrite();  // the survivor ends
    EXPECT_EQ(survivor.wait(), 0);
    if (HasFailure()) break;
  }
}

TEST(InstanceMessageTests, RequestsSurviveTheTripAndBrokenMessagesGiveWhatIsWhole) {
  const std::vector<std::string> urls = {"quillcast://promptEditor", "quillcast://x?data=%7B%7D"};
  EXPECT_EQ(decodeInstanceMessage(encodeInstanceMessage(requestFor(urls))), requestFor(urls));
  EXPECT_EQ(requestFor({}), (InstanceRequest{{}, true}));
  EXPECT_EQ(decodeInstanceMessage(encodeInstanceMessage(requestFor({}))), requestFor({}));
  // What earlier starts sent: the URLs alone.
  EXPECT_EQ(decodeInstanceMessage(std::string("quillcast://a\0quillcast://b\0", 28)),
            (InstanceRequest{{"quillcast://a", "quillcast://b"}, false}));
  EXPECT_EQ(encodeInstanceMessage(links({std::string("a://\0b", 6), "", "c://"})),
            std::string("c://\0", 5));
  EXPECT_EQ(decodeInstanceMessage({}), InstanceRequest{});
  // Empty and unknown entries carry nothing; a last URL without its end was cut off mid-way.
  EXPECT_EQ(decodeInstanceMessage(std::string("\0\0a://\0open\0b://", 16)).urls,
            std::vector<std::string>{"a://"});
  EXPECT_FALSE(decodeInstanceMessage(std::string("open-panel", 10)).openPanel);
  std::string huge(kMaxInstanceMessageBytes, 'a');
  huge.replace(0, 4, "a://");
  huge.back() = '\0';
  EXPECT_EQ(decodeInstanceMessage(huge).urls.size(), 1u);
  huge.push_back('\0');
  EXPECT_EQ(decodeInstanceMessage(huge), InstanceRequest{});
}

}  // namespace
}  // namespace shell
