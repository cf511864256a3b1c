#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "foundation/DispatchQueue.h"
#include "shell/SingleInstance.h"
#include "testsupport/ScopedHome.h"

namespace shell {
namespace {

using namespace std::chrono_literals;

class SingleInstanceTests : public ::testing::Test {
 protected:
  testsupport::ScopedHome home;
  std::filesystem::path socket = home.path() / "q.socket";
  std::vector<std::vector<std::string>> received;
  SingleInstance::URLHandler record = [this](std::vector<std::string> urls) {
    received.push_back(std::move(urls));
  };
};

TEST_F(SingleInstanceTests, LaterStartsHandTheirURLsToTheFirstAndEnd) {
  auto first = SingleInstance::acquire(socket, {}, record);
  ASSERT_TRUE(first);
  struct stat info {};
  ASSERT_EQ(::stat(socket.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const std::vector<std::string> urls = {"quillcast://promptEditor", "quillcast://x?data=%7B%7D"};
  EXPECT_FALSE(SingleInstance::acquire(socket, urls, record));
  EXPECT_FALSE(SingleInstance::acquire(socket, {"quillcast://onboardingView"}, record));
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return received.size() == 2; }, 5s));
  EXPECT_EQ(received[0], urls);
  EXPECT_EQ(received[1], std::vector<std::string>{"quillcast://onboardingView"});

  first.reset();
  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_FALSE(sendToRunningInstance(socket, urls));
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
  auto instance = SingleInstance::acquire(socket, {}, record);
  ASSERT_TRUE(instance);
  EXPECT_TRUE(sendToRunningInstance(socket, {"quillcast://promptEditor"}));
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return received.size() == 1; }, 5s));
}

TEST_F(SingleInstanceTests, OversizedMessagesAreDroppedWhole) {
  auto instance = SingleInstance::acquire(socket, {}, record);
  ASSERT_TRUE(instance);
  EXPECT_TRUE(sendToRunningInstance(socket, {std::string(SingleInstance::kMaxMessageBytes, 'a')}));
  EXPECT_TRUE(sendToRunningInstance(socket, {"quillcast://promptEditor"}));
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !received.empty(); }, 5s));
  foundation::MainRunLoop::runFor(50ms);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], std::vector<std::string>{"quillcast://promptEditor"});
}

TEST_F(SingleInstanceTests, APlaceWithoutRoomForASocketStillLetsTheProgramRun) {
  // Socket paths hold about a hundred bytes; a deep runtime folder exceeds that.
  const auto deep = home.path() / std::string(120, 'r') / "q.socket";
  ::testing::internal::CaptureStderr();
  auto instance = SingleInstance::acquire(deep, {"quillcast://promptEditor"}, record);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot listen"), std::string::npos);
  EXPECT_TRUE(instance);
  EXPECT_FALSE(sendToRunningInstance(deep, {"quillcast://promptEditor"}));
}

TEST_F(SingleInstanceTests, AnotherUsersSocketUnderOurNameGetsNoLinks) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
  // A folder every user may reach, as the temporary folder is.
  std::string folder = (std::filesystem::temp_directory_path() / "quill-shared-XXXXXX").string();
  ASSERT_NE(::mkdtemp(folder.data()), nullptr);
  const std::filesystem::path shared = folder;
  std::filesystem::permissions(shared, std::filesystem::perms::all);
  const auto path = shared / "q.socket";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only system calls from here on: the test process has threads.
    if (::setuid(65534) != 0) ::_exit(1);
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
    std::filesystem::remove_all(shared);
    FAIL() << "the other user's instance did not start";
  }
  EXPECT_FALSE(sendToRunningInstance(path, {"quillcast://promptEditor"}));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(SingleInstance::acquire(path, {"quillcast://promptEditor"}, record));
  ::testing::internal::GetCapturedStderr();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  std::filesystem::remove_all(shared);
}

}  // namespace
}  // namespace shell
