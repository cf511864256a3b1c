// The history file: any bytes decode or fail cleanly, and decoded chats survive a round trip.
#include "RoundTrip.h"
#include "core/ChatRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::decodeAndRoundTrip<core::oldMessagesStruct>(data, size,
                                                           [](core::oldMessagesStruct& chat) {
                                                             chat.id.reset();
                                                             for (auto& message : chat.message)
                                                               message.id.reset();
                                                           });
}
