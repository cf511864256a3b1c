// Feeds a stream of one line-ending style whole and cut into chunks: the events and what is
// left in the buffer must be the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "eventstream/EventStreamParser.h"

namespace {

// The first byte picks the style; every line end of the rest is written in it.
std::string oneStyleStream(std::string_view input) {
  const std::string_view styles[] = {"\n", "\r", "\r\n"};
  const std::string_view newline = styles[static_cast<unsigned char>(input[0]) % 3];
  std::string stream;
  for (char c : input.substr(1)) {
    if (c == '\r' || c == '\n') {
      stream += newline;
    } else {
      stream += c;
    }
  }
  return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string stream =
      oneStyleStream(std::string_view(reinterpret_cast<const char*>(data), size));

  eventstream::EventStreamParser whole;
  const std::vector<eventstream::Event> expected = whole.append(stream);

  eventstream::EventStreamParser chunked;
  std::vector<eventstream::Event> events;
  std::uint32_t seed = static_cast<std::uint32_t>(size) * 2654435761u;
  for (std::size_t at = 0; at < stream.size();) {
    seed = seed * 1664525u + 1013904223u;
    const std::size_t length = 1 + (seed >> 16) % 64;
    for (auto& event : chunked.append(std::string_view(stream).substr(at, length)))
      events.push_back(std::move(event));
    at += length;
  }
  if (events != expected || chunked.dataBuffer() != whole.dataBuffer()) std::abort();
  for (const auto& event : events) (void)event.retryTime();
  return 0;
}
