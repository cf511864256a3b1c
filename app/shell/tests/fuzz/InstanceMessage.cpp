// What reaches the single-instance socket, from a later start or any other program of the user:
// the URLs taken from it are whole, and encoding them again gives a message that decodes alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/InstanceMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  const auto urls = shell::decodeInstanceMessage(message);
  std::size_t bytes = 0;
  for (const auto& url : urls) {
    if (url.empty() || url.find('\0') != std::string::npos) std::abort();
    bytes += url.size() + 1;
  }
  if (bytes > size) std::abort();
  const std::string again = shell::encodeInstanceMessage(urls);
  if (again.size() != bytes || shell::decodeInstanceMessage(again) != urls) std::abort();
  // A well-formed message is its own encoding.
  if (!message.empty() && message.back() == '\0' &&
      message.find(std::string_view("\0\0", 2)) == std::string_view::npos &&
      message.front() != '\0' && size <= shell::kMaxInstanceMessageBytes && again != message)
    std::abort();
  return 0;
}
