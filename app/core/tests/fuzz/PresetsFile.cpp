// The presets file decodes or fails with a decoding error, never otherwise; what decodes
// writes back to JSON that decodes to the same presets.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <vector>

#include "core/JSONCoding.h"
#include "core/PromptData.h"

namespace {

void fuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<core::PromptData> presets;
  try {
    presets = core::decodeJSON<std::vector<core::PromptData>>(bytes);
  } catch (const core::DecodingError&) {
    return;
  }
  const std::string written = core::encodeJSON(presets);
  if (core::decodeJSON<std::vector<core::PromptData>>(written) != presets) std::abort();
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
