#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// What a later start asks of the running instance: to take its links, or, started without
// any, to open the panel.
struct InstanceRequest {
  std::vector<std::string> urls;
  bool openPanel = false;
  bool operator==(const InstanceRequest&) const = default;
};

// The request of a start given `urls` (none: the panel).
InstanceRequest requestFor(std::vector<std::string> urls);

// On the wire: each URL ended by a NUL byte; the panel is asked for by an entry that no URL
// can be. The end of the connection ends the message. Earlier starts sent their URLs alone.

// A message carries at most this many bytes; longer ones are dropped whole.
inline constexpr std::size_t kMaxInstanceMessageBytes = 1 << 20;

// URLs holding a NUL byte cannot be told apart from two and are left out, as are empty ones.
std::string encodeInstanceMessage(const InstanceRequest& request);

// The request of a message, URLs in order. Empty entries, unknown ones and a last entry without
// its NUL (a sender cut off mid-way) are dropped; an oversized message asks nothing.
InstanceRequest decodeInstanceMessage(std::string_view message);

}  // namespace shell
