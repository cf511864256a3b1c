#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// A request as the server read it.
struct RecordedRequest {
  std::string method;
  std::string path;                                          // without the query
  std::vector<std::pair<std::string, std::string>> headers;  // as received
  std::string body;

  // The first field of that name, compared without regard to case.
  std::optional<std::string> header(std::string_view name) const;
  std::size_t headerCount(std::string_view name) const;
};

// An HTTP server on 127.0.0.1 and an ephemeral port, on threads of its own, for tests. Routes
// match the request path exactly, for every method; unknown paths get a 404. Every request
// is recorded. The destructor ends stalled and streaming replies, then stops the server.
class LoopbackServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
  };
  struct Chunk {
    std::chrono::milliseconds delay{0};  // waited before the chunk is sent
    std::string bytes;
  };

  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const;
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string url(std::string_view path = "/") const;

  void reply(const std::string& path, Reply reply);
  void replyJSON(const std::string& path, std::string json, int status = 200);
  // The reply is built per request, e.g. to echo what came in.
  void replyWith(const std::string& path, std::function<Reply(const RecordedRequest&)> make);
  // A chunked reply whose chunks go out one by one with their delays (server-sent events by
  // default). `head.body` is not used.
  void stream(const std::string& path, std::vector<Chunk> chunks,
              Reply head = {200, "", "text/event-stream", {}});
  // A chunked reply that sends `bytes` again and again until the client goes or the server
  // stops: a stream that never ends.
  void repeatForever(const std::string& path, std::string bytes,
                     Reply head = {200, "", "text/event-stream", {}});
  // A body of `length` zero bytes with its Content-Length, made while it is sent: gigabytes
  // cost the server nothing, and it stops when the client goes.
  void zeros(const std::string& path, std::uint64_t length,
             std::string contentType = "application/octet-stream");
  // `length` zero bytes compressed with gzip while they are sent ("Content-Encoding: gzip",
  // chunked): about a kilobyte on the wire for every megabyte the client inflates.
  void gzippedZeros(const std::string& path, std::uint64_t length,
                    std::string contentType = "application/octet-stream");
  // `location` is a path on this server or a URL of another one.
  void redirect(const std::string& path, const std::string& location, int status = 302);
  // Sends a 200 head and `bytes`, then closes the connection without ending the body.
  void closeMidStream(const std::string& path, std::string bytes,
                      std::string contentType = "text/event-stream");
  // Sends a 200 head, then nothing until the server stops.
  void stallAfterHead(const std::string& path);
  // Reads the request and says nothing until the server stops.
  void stallBeforeHead(const std::string& path);

  std::vector<RecordedRequest> requests() const;
  std::vector<RecordedRequest> requests(std::string_view path) const;

  // A port on 127.0.0.1 that nothing listens on (bound once, then closed again).
  static int refusedPort();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace testsupport
