#include "testsupport/LoopbackServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testsupport {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// httplib files the peer's and its own address among the request's fields.
bool isPseudoField(std::string_view name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

RecordedRequest record(const httplib::Request& request) {
  RecordedRequest recorded{request.method, request.path, {}, request.body};
  for (const auto& [name, value] : request.headers)
    if (!isPseudoField(name)) recorded.headers.emplace_back(name, value);
  return recorded;
}

void apply(const LoopbackServer::Reply& reply, httplib::Response& response) {
  response.status = reply.status;
  for (const auto& [name, value] : reply.headers) response.set_header(name, value);
  response.set_content(reply.body, reply.contentType);
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [field, value] : headers)
    if (sameName(field, name)) return value;
  return std::nullopt;
}

std::size_t RecordedRequest::headerCount(std::string_view name) const {
  std::size_t count = 0;
  for (const auto& field : headers) count += sameName(field.first, name) ? 1 : 0;
  return count;
}

struct LoopbackServer::Impl {
  using Route = std::function<void(const RecordedRequest&, httplib::Response&)>;

  httplib::Server server;
  int port = 0;
  std::thread thread;

  mutable std::mutex mutex;
  std::condition_variable stopped;
  bool stopping = false;
  std::map<std::string, Route> routes;
  std::vector<RecordedRequest> recorded;

  void handle(const httplib::Request& request, httplib::Response& response) {
    RecordedRequest incoming = record(request);
    Route route;
    {
      std::lock_guard lock(mutex);
      recorded.push_back(incoming);
      if (const auto it = routes.find(request.path); it != routes.end()) route = it->second;
    }
    if (!route) {
      response.status = 404;
      response.set_content("{\"error\":\"no route\"}", "application/json");
      return;
    }
    route(incoming, response);
  }

  // Waits up to `delay`; false once the server is stopping.
  bool waitFor(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex);
    return !stopped.wait_for(lock, delay, [&] { return stopping; });
  }

  void waitForStop() {
    std::unique_lock lock(mutex);
    stopped.wait(lock, [&] { return stopping; });
  }

  bool isStopping() {
    std::lock_guard lock(mutex);
    return stopping;
  }

  void add(const std::string& path, Route route) {
    std::lock_guard lock(mutex);
    routes[path] = std::move(route);
  }
};

LoopbackServer::LoopbackServer() : impl_(std::make_unique<Impl>()) {
  auto& server = impl_->server;
  // One request per connection, so that no idle keep-alive connection delays the stop.
  server.set_keep_alive_max_count(1);
  const auto handler = [impl = impl_.get()](const httplib::Request& request,
                                            httplib::Response& response) {
    impl->handle(request, response);
  };
  server.Get(".*", handler);
  server.Post(".*", handler);
  server.Put(".*", handler);
  server.Patch(".*", handler);
  server.Delete(".*", handler);
  server.Options(".*", handler);
  impl_->port = server.bind_to_any_port("127.0.0.1");
  if (impl_->port <= 0) throw std::runtime_error("loopback server: cannot bind");
  impl_->thread = std::thread([&server] { server.listen_after_bind(); });
  // stop() has no effect before the loop runs.
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->stopped.notify_all();
  impl_->server.stop();
  impl_->thread.join();
}

int LoopbackServer::port() const {
  return impl_->port;
}

std::string LoopbackServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + std::string(path);
}

void LoopbackServer::reply(const std::string& path, Reply reply) {
  impl_->add(path, [reply = std::move(reply)](const RecordedRequest&, httplib::Response& response) {
    apply(reply, response);
  });
}

void LoopbackServer::replyJSON(const std::string& path, std::string json, int status) {
  reply(path, Reply{status, std::move(json), "application/json", {}});
}

void LoopbackServer::replyWith(const std::string& path,
                               std::function<Reply(const RecordedRequest&)> make) {
  impl_->add(path,
             [make = std::move(make)](const RecordedRequest& request, httplib::Response& response) {
               apply(make(request), response);
             });
}

void LoopbackServer::stream(const std::string& path, std::vector<Chunk> chunks, Reply head) {
  impl_->add(path, [impl = impl_.get(), chunks = std::move(chunks), head = std::move(head)](
                       const RecordedRequest&, httplib::Response& response) {
    response.status = head.status;
    for (const auto& [name, value] : head.headers) response.set_header(name, value);
    response.set_chunked_content_provider(
        head.contentType, [impl, chunks](size_t, httplib::DataSink& sink) {
          for (const auto& chunk : chunks) {
            if (!impl->waitFor(chunk.delay)) return false;
            if (!sink.write(chunk.bytes.data(), chunk.bytes.size())) return false;
          }
          sink.done();
          return true;
        });
  });
}

void LoopbackServer::repeatForever(const std::string& path, std::string bytes, Reply head) {
  impl_->add(path, [impl = impl_.get(), bytes = std::move(bytes), head = std::move(head)](
                       const RecordedRequest&, httplib::Response& response) {
    response.status = head.status;
    for (const auto& [name, value] : head.headers) response.set_header(name, value);
    response.set_chunked_content_provider(head.contentType,
                                          [impl, bytes](size_t, httplib::DataSink& sink) {
                                            if (impl->isStopping()) return false;
                                            return sink.write(bytes.data(), bytes.size());
                                          });
  });
}

namespace {

constexpr std::size_t kGeneratedChunk = 64 * 1024;

// Deflates zero bytes into gzip members as the sink takes them.
class GzipZeros {
 public:
  GzipZeros() {
    // 15 + 16: a gzip header and trailer around the deflate data.
    if (deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) !=
        Z_OK)
      throw std::runtime_error("loopback server: no deflate");
  }
  ~GzipZeros() { deflateEnd(&stream_); }
  GzipZeros(const GzipZeros&) = delete;
  GzipZeros& operator=(const GzipZeros&) = delete;

  // Compresses `length` zeros (finishing the stream when `last`) and hands out what came out.
  bool feed(std::size_t length, bool last, httplib::DataSink& sink) {
    static const std::string zeros(kGeneratedChunk, '\0');
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream_.avail_in = static_cast<uInt>(length);
    int status = Z_OK;
    do {
      stream_.next_out = reinterpret_cast<Bytef*>(out_);
      stream_.avail_out = sizeof out_;
      status = deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
      const std::size_t produced = sizeof out_ - stream_.avail_out;
      if (produced > 0 && !sink.write(out_, produced)) return false;
    } while (stream_.avail_out == 0 || (last && status != Z_STREAM_END));
    return true;
  }

 private:
  z_stream stream_{};
  char out_[16 * 1024];
};

}  // namespace

void LoopbackServer::zeros(const std::string& path, std::uint64_t length, std::string contentType) {
  impl_->add(path, [impl = impl_.get(), length, contentType = std::move(contentType)](
                       const RecordedRequest&, httplib::Response& response) {
    response.status = 200;
    response.set_content_provider(
        static_cast<size_t>(length), contentType,
        [impl, length](size_t offset, size_t, httplib::DataSink& sink) {
          static const std::string zeros(kGeneratedChunk, '\0');
          if (impl->isStopping()) return false;
          const auto left = static_cast<std::uint64_t>(length - offset);
          return sink.write(zeros.data(),
                            static_cast<size_t>(std::min<std::uint64_t>(left, zeros.size())));
        });
  });
}

void LoopbackServer::gzippedZeros(const std::string& path, std::uint64_t length,
                                  std::string contentType) {
  impl_->add(path, [impl = impl_.get(), length, contentType = std::move(contentType)](
                       const RecordedRequest&, httplib::Response& response) {
    response.status = 200;
    response.set_header("Content-Encoding", "gzip");
    response.set_chunked_content_provider(
        contentType, [impl, length](size_t, httplib::DataSink& sink) {
          GzipZeros gzip;
          for (std::uint64_t sent = 0; sent < length;) {
            if (impl->isStopping()) return false;
            const auto size =
                static_cast<std::size_t>(std::min<std::uint64_t>(kGeneratedChunk, length - sent));
            sent += size;
            if (!gzip.feed(size, sent == length, sink)) return false;
          }
          if (length == 0 && !gzip.feed(0, true, sink)) return false;
          sink.done();
          return true;
        });
  });
}

void LoopbackServer::redirect(const std::string& path, const std::string& location, int status) {
  reply(path, Reply{status, "", "text/plain", {{"Location", location}}});
}

void LoopbackServer::closeMidStream(const std::string& path, std::string bytes,
                                    std::string contentType) {
  impl_->add(path, [bytes = std::move(bytes), contentType = std::move(contentType)](
                       const RecordedRequest&, httplib::Response& response) {
    response.status = 200;
    response.set_chunked_content_provider(contentType, [bytes](size_t, httplib::DataSink& sink) {
      sink.write(bytes.data(), bytes.size());
      return false;  // drops the connection
    });
  });
}

void LoopbackServer::stallAfterHead(const std::string& path) {
  impl_->add(path, [impl = impl_.get()](const RecordedRequest&, httplib::Response& response) {
    response.status = 200;
    response.set_chunked_content_provider("text/event-stream", [impl](size_t, httplib::DataSink&) {
      impl->waitForStop();
      return false;
    });
  });
}

void LoopbackServer::stallBeforeHead(const std::string& path) {
  impl_->add(path, [impl = impl_.get()](const RecordedRequest&, httplib::Response& response) {
    impl->waitForStop();
    response.status = 503;
  });
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->recorded;
}

std::vector<RecordedRequest> LoopbackServer::requests(std::string_view path) const {
  std::vector<RecordedRequest> matching;
  for (auto& request : requests())
    if (request.path == path) matching.push_back(std::move(request));
  return matching;
}

int LoopbackServer::refusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("refusedPort: socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  ::close(fd);
  if (!ok) throw std::runtime_error("refusedPort: bind");
  return ntohs(address.sin_port);
}

}  // namespace testsupport
