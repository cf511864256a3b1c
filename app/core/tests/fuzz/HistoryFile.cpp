// The history file decodes or fails with a decoding error, never otherwise; what decodes
// writes back to JSON that decodes to the same chats.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <vector>

#include "core/ChatRecords.h"
#include "core/JSONCoding.h"

namespace {

void fuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<core::oldMessagesStruct> chats;
  try {
    chats = core::decodeJSON<std::vector<core::oldMessagesStruct>>(bytes);
  } catch (const core::DecodingError&) {
    return;
  }
  std::string written;
  try {
    written = core::encodeJSON(chats);
  } catch (const core::EncodingError&) {
    return;  // a number JSON cannot hold
  }
  auto again = core::decodeJSON<std::vector<core::oldMessagesStruct>>(written);
  // Ids live in memory only, fresh for every decoded chat and message.
  for (auto* list : {&chats, &again}) {
    for (auto& chat : *list) {
      chat.id.reset();
      for (auto& message : chat.message) message.id.reset();
    }
  }
  if (again != chats) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    fuzzOne(data, size);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "unexpected exception: %s\n", error.what());
    std::abort();
  }
  return 0;
}
