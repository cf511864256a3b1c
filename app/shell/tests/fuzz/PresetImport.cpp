// Preset import: any link text and any "data" value parse or fail cleanly, and an accepted
// preset stays within the import limits.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/PresetImport.h"
#include "shell/SchemeURL.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto url = shell::parseSchemeURL(text); url && url->query)
    (void)shell::parseQueryItems(*url->query);
  if (const auto preset = shell::decodeImportedPreset(text)) {
    if (preset->name.size() > shell::kMaxImportedShortFieldBytes ||
        preset->prompt.size() > shell::kMaxImportedPromptBytes)
      std::abort();
  }
  return 0;
}
