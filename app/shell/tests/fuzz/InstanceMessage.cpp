// What reaches the single-instance socket, from a later start or any other program of the user:
// the URLs taken from it are whole, and encoding the request again gives a message that decodes
// alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/InstanceMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  const auto request = shell::decodeInstanceMessage(message);
  std::size_t bytes = 0;
  for (const auto& url : request.urls) {
    if (url.empty() || url.find('\0') != std::string::npos || url.find("://") == std::string::npos)
      std::abort();
    bytes += url.size() + 1;
  }
  if (bytes > size) std::abort();
  const std::string again = shell::encodeInstanceMessage(request);
  if (again.size() > size || shell::decodeInstanceMessage(again) != request) std::abort();
  return 0;
}
