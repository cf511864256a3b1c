// Any bytes convert without a fault, and ill-formed UTF-8 converts exactly as its repaired
// text does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/UTF8.h"
#include "markdown/CommonMark.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Deeply nested or huge inputs only slow the search down; cmark-gfm is linear in them.
  if (size > 64 * 1024) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto blocks = markdown::parseMarkdown(text);
  if (const auto repaired = foundation::utf8::repairedIfInvalid(text)) {
    if (markdown::parseMarkdown(*repaired) != blocks) std::abort();
  }
  return 0;
}
