// The presets file: any bytes decode or fail cleanly, and decoded presets survive a round trip.
#include "RoundTrip.h"
#include "core/PromptData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::decodeAndRoundTrip<core::PromptData>(data, size, [](core::PromptData&) {});
}
