#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/InstanceMessage.h"
#include "shell/SocketPlace.h"

namespace shell {

// One running Quillcast per user. The instance holds an exclusive lock on a file beside its
// socket for its whole life and listens on the socket; a later start hands its URLs to it and
// ends. Received requests arrive on the main queue.
class SingleInstance {
 public:
  using RequestHandler = std::function<void(InstanceRequest request)>;

  struct Start {
    // Set when this process is the instance and runs.
    std::unique_ptr<SingleInstance> instance;
    // Without an instance: whether the running one took the request (else it did not answer,
    // or no lock could be had, said on standard error).
    bool handedOver = false;
  };

  // Becomes the instance, or hands `request` to the one that runs. A start that finds the lock
  // taken but nobody listening yet waits for the other to listen, at most `startWait`. A socket
  // file left by a crashed instance is replaced. Without a safe place or a lock nothing runs.
  // Where no socket can be made the instance runs without listening and says so.
  static constexpr std::chrono::milliseconds kStartWait{5000};
  static Start acquire(const SocketPlace& place, const InstanceRequest& request,
                       RequestHandler handler, std::chrono::milliseconds startWait = kStartWait);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Each connection is read beside the others and dropped when it has not ended by then.
  static constexpr std::chrono::milliseconds kConnectionDeadline{3000};
  static constexpr std::size_t kMaxConnections = 16;

 private:
  struct Impl;
  explicit SingleInstance(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

enum class Delivery {
  delivered,  // the instance read the whole message
  nobody,     // nothing listens there
  noAnswer,   // something listens but had no room or did not take the message in time, or it
              // is too long
};

// Sends `request` to the instance listening on `socketPath`, waiting at most `wait` for a
// free connection and as long again for the answer.
Delivery sendToRunningInstance(
    const std::filesystem::path& socketPath, const InstanceRequest& request,
    std::chrono::milliseconds wait = SingleInstance::kConnectionDeadline);

}  // namespace shell
