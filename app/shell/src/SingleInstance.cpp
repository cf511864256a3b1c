#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#include "foundation/DispatchQueue.h"
#include "foundation/ThreadName.h"
#include "shell/InstanceMessage.h"

namespace shell {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Sent back once a whole message has been read.
constexpr char kReceived = '\x06';

// A socket's address. Paths longer than an address holds are reached through the folder's
// descriptor, which must stay open while the address is used.
struct SocketAddress {
  sockaddr_un address{};
  int folder = -1;
  SocketAddress() = default;
  SocketAddress(const SocketAddress&) = delete;
  SocketAddress& operator=(const SocketAddress&) = delete;
  ~SocketAddress() {
    if (folder >= 0) ::close(folder);
  }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address); }
};

bool fill(sockaddr_un& address, const std::string& text) {
  if (text.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

// False, with errno set, when there is no address for the path.
bool socketAddress(const std::filesystem::path& path, SocketAddress& out) {
  out.address.sun_family = AF_UNIX;
  if (fill(out.address, path.string())) return true;
  out.folder = ::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (out.folder < 0) return false;
  if (fill(out.address,
           "/proc/self/fd/" + std::to_string(out.folder) + "/" + path.filename().string()))
    return true;
  errno = ENAMETOOLONG;
  return false;
}

bool peerIsThisUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof(peer);
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// A connection to the instance, or -1 with `busy` telling whether something listens there but
// had no room for us within `wait`.
int connectTo(const std::filesystem::path& path, milliseconds wait, bool& busy) {
  busy = false;
  SocketAddress address;
  if (!socketAddress(path, address)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // Bounds both the wait for a free slot in the backlog and the sending.
  const timeval limit{static_cast<time_t>(wait.count() / 1000),
                      static_cast<suseconds_t>(wait.count() % 1000 * 1000)};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
  int result;
  do {
    result = ::connect(fd, address.get(), sizeof(address.address));
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    busy = errno == EAGAIN;
    ::close(fd);
    return -1;
  }
  // Where others may write, another user could listen under our name and take our links.
  if (!peerIsThisUser(fd)) {
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

// The instance answers once it has the whole message; one that closes without a word has
// read it too.
bool awaitReceipt(int fd, milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  pollfd pfd{fd, POLLIN, 0};
  while (true) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    const int ready = ::poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char answer = 0;
    const ssize_t n = ::recv(fd, &answer, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    return n == 0 || (n == 1 && answer == kReceived);
  }
}

std::string describe(const std::filesystem::path& path, int error) {
  return path.string() + ": " + std::strerror(error);
}

// The lock file must be ours: a file another user made could be held by them for ever.
int openLockFile(const std::filesystem::path& path, std::string& problem) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    problem = "cannot open " + describe(path, errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) {
    ::close(fd);
    problem = path.string() + " is not a file of this user";
    return -1;
  }
  return fd;
}

struct Connection {
  int fd = -1;
  Clock::time_point deadline;
  std::string message;
  bool tooLong = false;
};

}  // namespace

struct SingleInstance::Impl {
  std::filesystem::path path;
  int lockFd = -1;
  int listenFd = -1;
  int wakePipe[2] = {-1, -1};
  RequestHandler handler;
  std::thread thread;

  // Reads what is there; true when the connection is done with (ended or failed).
  bool readFrom(Connection& client) {
    char buffer[4096];
    while (true) {
      const ssize_t n = ::recv(client.fd, buffer, sizeof(buffer), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
      if (n < 0) {
        client.tooLong = true;  // a failed connection delivers nothing
        return true;
      }
      if (n == 0) return true;
      if (client.message.size() + static_cast<std::size_t>(n) > kMaxInstanceMessageBytes) {
        client.tooLong = true;
        return true;
      }
      client.message.append(buffer, static_cast<std::size_t>(n));
    }
  }

  void finish(Connection& client) {
    if (!client.tooLong) {
      [[maybe_unused]] const auto sent =
          ::send(client.fd, &kReceived, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      auto request = decodeInstanceMessage(client.message);
      if (request.openPanel || !request.urls.empty()) {
        foundation::DispatchQueue::main().async(
            [handler = handler, request = std::move(request)]() mutable {
              handler(std::move(request));
            });
      }
    }
    ::close(client.fd);
  }

  void acceptWaiting(std::vector<Connection>& clients) {
    while (clients.size() < kMaxConnections) {
      const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      if (!peerIsThisUser(fd)) {
        ::close(fd);
        continue;
      }
      clients.push_back({fd, Clock::now() + kConnectionDeadline, {}, false});
    }
  }

  void run() {
    std::vector<Connection> clients;
    std::vector<pollfd> fds;
    while (true) {
      fds.clear();
      fds.push_back({wakePipe[0], POLLIN, 0});
      // At the limit new connections wait in the backlog until one ends.
      fds.push_back(
          {listenFd, static_cast<short>(clients.size() < kMaxConnections ? POLLIN : 0), 0});
      std::optional<Clock::time_point> nearest;
      for (const auto& client : clients) {
        fds.push_back({client.fd, POLLIN, 0});
        nearest = nearest ? std::min(*nearest, client.deadline) : client.deadline;
      }
      const int timeout =
          nearest ? static_cast<int>(std::max<std::int64_t>(
                        0, std::chrono::ceil<milliseconds>(*nearest - Clock::now()).count()))
                  : -1;
      if (::poll(fds.data(), fds.size(), timeout) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[0].revents) break;
      const auto after = Clock::now();
      std::vector<Connection> open;
      for (std::size_t i = 0; i < clients.size(); ++i) {
        auto& client = clients[i];
        if (fds[i + 2].revents != 0 && readFrom(client)) {
          finish(client);
        } else if (after >= client.deadline) {
          ::close(client.fd);  // too slow: dropped without an answer
        } else {
          open.push_back(std::move(client));
        }
      }
      clients = std::move(open);
      if (fds[1].revents & POLLIN) acceptWaiting(clients);
    }
    for (auto& client : clients) ::close(client.fd);
  }

  ~Impl() {
    if (thread.joinable()) {
      const char byte = 0;
      [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
      thread.join();
    }
    if (listenFd >= 0) {
      ::close(listenFd);
      ::unlink(path.c_str());
    }
    for (const int fd : wakePipe)
      if (fd >= 0) ::close(fd);
    // Last: a start waiting for the lock finds the socket file gone.
    if (lockFd >= 0) ::close(lockFd);
  }
};

Delivery sendToRunningInstance(const std::filesystem::path& socketPath,
                               const InstanceRequest& request, milliseconds wait) {
  const std::string message = encodeInstanceMessage(request);
  bool busy = false;
  const int fd = connectTo(socketPath, wait, busy);
  if (fd < 0) return busy ? Delivery::noAnswer : Delivery::nobody;
  bool delivered = message.size() <= kMaxInstanceMessageBytes && writeAll(fd, message) &&
                   ::shutdown(fd, SHUT_WR) == 0 && awaitReceipt(fd, wait);
  ::close(fd);
  return delivered ? Delivery::delivered : Delivery::noAnswer;
}

SingleInstance::Start SingleInstance::acquire(const SocketPlace& place,
                                              const InstanceRequest& request,
                                              RequestHandler handler, milliseconds startWait) {
  auto impl = std::make_unique<Impl>();
  impl->path = place.socket;
  impl->handler = std::move(handler);
  // Without the lock another Quillcast may run; two would write the same files.
  auto refuse = [](const std::string& problem) {
    std::fprintf(stderr,
                 "Quillcast: %s; not starting, as another Quillcast of yours might be running "
                 "and two would overwrite each other's chats\n",
                 problem.c_str());
    return Start{nullptr, false};
  };
  if (place.socket.empty()) return refuse(place.problem);

  const auto& path = place.socket;
  // Nothing when nobody listens there.
  auto handOver = [&path, &request]() -> std::optional<Start> {
    switch (sendToRunningInstance(path, request)) {
      case Delivery::delivered:
        return Start{nullptr, true};
      case Delivery::noAnswer:
        std::fprintf(stderr, "Quillcast is running but did not answer on %s in time\n",
                     path.c_str());
        return Start{nullptr, false};
      case Delivery::nobody:
        break;
    }
    return std::nullopt;
  };
  if (auto handed = handOver()) return std::move(*handed);

  std::string problem;
  const std::filesystem::path lockPath = path.string() + ".lock";
  impl->lockFd = openLockFile(lockPath, problem);
  if (impl->lockFd < 0) return refuse(problem);
  // The lock's holder is the instance. One that holds it but is not listening yet is starting.
  const auto giveUp = Clock::now() + startWait;
  while (::flock(impl->lockFd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR)
      return refuse("cannot lock " + describe(lockPath, errno));
    if (auto handed = handOver()) return std::move(*handed);
    if (Clock::now() >= giveUp) {
      std::fprintf(stderr,
                   "Quillcast is running but does not listen on %s; nothing was handed to "
                   "it\n",
                   path.c_str());
      return {nullptr, false};
    }
    std::this_thread::sleep_for(milliseconds(10));
  }

  // With the lock held nobody else listens: a socket file there was left by an instance that
  // died.
  SocketAddress address;
  const bool addressed = socketAddress(path, address);
  auto withoutListening = [&impl, &path](int error) {
    std::fprintf(stderr,
                 "Quillcast: cannot listen on %s: %s; a later start will not run beside this "
                 "one but cannot hand it its links\n",
                 path.c_str(), std::strerror(error));
    if (impl->listenFd >= 0) ::close(impl->listenFd);
    impl->listenFd = -1;
    return Start{std::unique_ptr<SingleInstance>(new SingleInstance(std::move(impl))), false};
  };
  if (!addressed) return withoutListening(errno);
  if (::pipe2(impl->wakePipe, O_CLOEXEC) != 0) return withoutListening(errno);
  impl->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (impl->listenFd < 0) return withoutListening(errno);
  ::unlink(path.c_str());
  if (::bind(impl->listenFd, address.get(), sizeof(address.address)) != 0)
    return withoutListening(errno);
  if (::chmod(path.c_str(), 0600) != 0 || ::listen(impl->listenFd, 16) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    return withoutListening(error);
  }
  Impl* raw = impl.get();
  impl->thread = std::thread([raw] {
    foundation::setCurrentThreadName("quill-instance");
    raw->run();
  });
  return {std::unique_ptr<SingleInstance>(new SingleInstance(std::move(impl))), false};
}

SingleInstance::SingleInstance(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SingleInstance::~SingleInstance() = default;

}  // namespace shell
