#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "eventstream/EventSourceState.h"
#include "foundation/URLSession.h"

namespace eventstream {

using OpenHandler = std::function<void()>;
// (status code, reconnect, error). The error is set whenever the transport reported one, also
// together with a status when the stream broke after its head; code `cancelled` after
// `disconnect`.
using CompletionHandler =
    std::function<void(std::optional<int> statusCode, std::optional<bool> reconnect,
                       std::optional<foundation::URLError> error)>;
// (id, event name, data).
using EventHandler = std::function<void(const std::optional<std::string>& id,
                                        const std::optional<std::string>& event,
                                        const std::optional<std::string>& data)>;

// A server-sent-events client. Every callback runs on the main queue, posted, never inline.
class EventSourceProtocol {
 public:
  virtual ~EventSourceProtocol() = default;

  virtual const foundation::HeaderFields& headers() const = 0;
  virtual std::int64_t retryTime() const = 0;
  virtual const foundation::URLRequest& request() const = 0;
  virtual std::optional<std::string> lastEventId() const = 0;
  virtual EventSourceState readyState() const = 0;

  virtual void connect(std::optional<std::string> lastEventId = std::nullopt) = 0;
  virtual void disconnect() = 0;
  virtual std::vector<std::string> events() const = 0;

  virtual void onOpen(OpenHandler handler) = 0;
  virtual void onComplete(CompletionHandler handler) = 0;
  virtual void onMessage(EventHandler handler) = 0;
  virtual void addEventListener(const std::string& event, EventHandler handler) = 0;
  virtual void removeEventListener(const std::string& event) = 0;
};

}  // namespace eventstream
