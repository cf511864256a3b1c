#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "foundation/DispatchQueue.h"

namespace shell {
namespace {

// The message is the URLs, each ended by a NUL byte; the connection's end closes it.
std::string encode(const std::vector<std::string>& urls) {
  std::string message;
  for (const auto& url : urls) {
    if (url.find('\0') != std::string::npos) continue;
    message += url;
    message.push_back('\0');
  }
  return message;
}

std::vector<std::string> decode(const std::string& message) {
  std::vector<std::string> urls;
  std::size_t start = 0;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\0') {
      urls.push_back(message.substr(start, i - start));
      start = i + 1;
    }
  }
  return urls;
}

std::optional<sockaddr_un> socketAddress(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.size() >= sizeof(address.sun_path)) return std::nullopt;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

int connectTo(const std::filesystem::path& path) {
  const auto address = socketAddress(path);
  if (!address) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
    ::close(fd);
    return -1;
  }
  // In a shared temporary folder another user could listen under our name and take our links.
  ucred peer{};
  socklen_t size = sizeof(peer);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

struct SingleInstance::Impl {
  std::filesystem::path path;
  int listenFd = -1;
  int wakePipe[2] = {-1, -1};
  URLHandler handler;
  std::thread thread;

  void readClient(int client) {
    std::string message;
    char buffer[4096];
    bool tooLong = false;
    // A client that says nothing for a while is dropped, so it cannot hold the next one up.
    pollfd pfd{client, POLLIN, 0};
    while (::poll(&pfd, 1, 2000) > 0) {
      const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      if (message.size() + static_cast<std::size_t>(n) > kMaxMessageBytes) tooLong = true;
      if (!tooLong) message.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(client);
    if (tooLong || message.empty()) return;
    auto urls = decode(message);
    if (urls.empty()) return;
    foundation::DispatchQueue::main().async(
        [handler = handler, urls = std::move(urls)]() mutable { handler(std::move(urls)); });
  }

  void run() {
    pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
    while (true) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      if (fds[0].revents & POLLIN) {
        const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) readClient(client);
      }
    }
  }

  ~Impl() {
    if (thread.joinable()) {
      const char byte = 0;
      [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
      thread.join();
    }
    if (listenFd >= 0) {
      ::close(listenFd);
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
    for (const int fd : wakePipe)
      if (fd >= 0) ::close(fd);
  }
};

std::filesystem::path SingleInstance::defaultSocketPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return std::filesystem::path(runtime) / "quillcast.socket";
  return std::filesystem::temp_directory_path() /
         ("quillcast-" + std::to_string(::getuid()) + ".socket");
}

bool sendToRunningInstance(const std::filesystem::path& socketPath,
                           const std::vector<std::string>& urls) {
  const int fd = connectTo(socketPath);
  if (fd < 0) return false;
  const bool sent = writeAll(fd, encode(urls));
  ::close(fd);
  return sent;
}

std::unique_ptr<SingleInstance> SingleInstance::acquire(const std::filesystem::path& socketPath,
                                                        const std::vector<std::string>& urls,
                                                        URLHandler handler) {
  if (sendToRunningInstance(socketPath, urls)) return nullptr;
  const auto address = socketAddress(socketPath);
  auto impl = std::make_unique<Impl>();
  impl->path = socketPath;
  impl->handler = std::move(handler);
  // Without a socket the program still runs; only later starts cannot reach it.
  auto withoutSocket = [&impl, &socketPath] {
    std::fprintf(stderr, "Quillcast: cannot listen on %s; links opened later start no window\n",
                 socketPath.c_str());
    return std::unique_ptr<SingleInstance>(new SingleInstance(std::move(impl)));
  };
  if (!address || ::pipe2(impl->wakePipe, O_CLOEXEC) != 0) return withoutSocket();
  impl->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (impl->listenFd < 0) return withoutSocket();
  // Nobody answered on the socket: whatever file is there was left by an instance that died.
  std::error_code ignored;
  std::filesystem::remove(socketPath, ignored);
  const int bound =
      ::bind(impl->listenFd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
  if (bound != 0 || ::chmod(socketPath.c_str(), 0600) != 0 || ::listen(impl->listenFd, 8) != 0) {
    ::close(impl->listenFd);
    impl->listenFd = -1;
    // Another instance won the race in between: hand it the URLs after all. Otherwise run
    // without the socket rather than not at all.
    if (sendToRunningInstance(socketPath, urls)) return nullptr;
    return withoutSocket();
  }
  Impl* raw = impl.get();
  impl->thread = std::thread([raw] { raw->run(); });
  return std::unique_ptr<SingleInstance>(new SingleInstance(std::move(impl)));
}

SingleInstance::SingleInstance(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SingleInstance::~SingleInstance() = default;

}  // namespace shell
