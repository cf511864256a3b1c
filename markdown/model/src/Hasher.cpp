#include "markdown/Hasher.h"

#include <bit>
#include <functional>

namespace markdown {

void Hasher::combine(std::string_view text) {
  combine(static_cast<std::uint64_t>(std::hash<std::string_view>{}(text)));
}

void Hasher::combine(double number) {
  combine(std::bit_cast<std::uint64_t>(number == 0 ? 0.0 : number));
}

}  // namespace markdown
