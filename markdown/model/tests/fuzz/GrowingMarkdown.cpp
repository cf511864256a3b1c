// A text parsed piece by piece as it grows gives, after every piece, the blocks of a parse of
// the whole. The first byte sets how long the pieces are.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "markdown/CommonMark.h"
#include "markdown/GrowingMarkdown.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 16 * 1024) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  markdown::GrowingMarkdown growing;
  for (std::size_t end = 0;;) {
    end = std::min(text.size(), end + piece);
    const std::string_view prefix = text.substr(0, end);
    const markdown::DocumentBlocks blocks = growing.parse(prefix, true);
    const auto whole = markdown::parseMarkdown(prefix);
    if (blocks.size() != whole.size()) std::abort();
    for (std::size_t i = 0; i < whole.size(); ++i)
      if (!(blocks[i]->block == whole[i])) std::abort();
    if (end == text.size()) break;
  }
  return 0;
}
