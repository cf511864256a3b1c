#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace shell {

// One running Quillcast per user: the first instance listens on a socket in the runtime folder;
// a later start hands its URLs to it and ends. Received URLs arrive on the main queue.
class SingleInstance {
 public:
  using URLHandler = std::function<void(std::vector<std::string> urls)>;

  // $XDG_RUNTIME_DIR/quillcast.socket, else a per-user name in the temporary folder.
  static std::filesystem::path defaultSocketPath();

  // Becomes the listening instance, or returns nothing after handing `urls` to the instance
  // that already listens. A stale socket left by a crashed instance is replaced. When no socket
  // can be made there (a path too long for one, say), the program runs without listening.
  static std::unique_ptr<SingleInstance> acquire(const std::filesystem::path& socketPath,
                                                 const std::vector<std::string>& urls,
                                                 URLHandler handler);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // A message carries at most this many bytes; longer ones are dropped whole.
  static constexpr std::size_t kMaxMessageBytes = 1 << 20;

 private:
  struct Impl;
  explicit SingleInstance(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Sends `urls` to the instance listening on `socketPath`; false when none listens.
bool sendToRunningInstance(const std::filesystem::path& socketPath,
                           const std::vector<std::string>& urls);

}  // namespace shell
