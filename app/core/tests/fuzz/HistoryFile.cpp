// The history file: any bytes decode or fail cleanly, decoded chats survive a round trip, and
// the history's own reader takes and refuses exactly what the records' decoder does, writing
// back the encoder's bytes.
#include "core/HistoryFile.h"
#include "RoundTrip.h"
#include "core/ChatRecords.h"

namespace {

void readAsTheRecordsDo(std::string_view bytes) {
  std::optional<std::string> expected;
  std::vector<core::oldMessagesStruct> records;
  try {
    records = core::decodeJSON<std::vector<core::oldMessagesStruct>>(bytes);
  } catch (const core::DecodingError& error) {
    expected = error.what();
  }
  try {
    const core::SavedChatList chats = core::decodeHistoryFile(bytes);
    if (expected || chats != core::SavedChatList(records) ||
        core::encodeJSON(chats) != core::encodeJSON(records))
      std::abort();
  } catch (const core::DecodingError& error) {
    if (!expected || *expected != error.what()) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  readAsTheRecordsDo(std::string_view(reinterpret_cast<const char*>(data), size));
  return fuzz::decodeAndRoundTrip<core::oldMessagesStruct>(data, size,
                                                           [](core::oldMessagesStruct& chat) {
                                                             chat.id.reset();
                                                             for (auto& message : chat.message)
                                                               message.id.reset();
                                                           });
}
