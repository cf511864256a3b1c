// The data of one streamed event, read on the stream's queue where nothing may throw: any bytes
// give a piece, an end, both or nothing.
#include <cstdint>
#include <string>

#include "core/ChatCompletionsService.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const core::StreamChunk chunk = core::readStreamChunk(text);
  if (chunk.content && chunk.content->size() > size) __builtin_trap();
  return 0;
}
