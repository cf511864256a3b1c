#pragma once

#include <cstdint>
#include <string_view>

namespace accessibility {

// The length of UTF-8 text in UTF-16 code units; a broken byte counts as one unit, as it will be
// shown as a replacement character.
std::int64_t utf16Length(std::string_view utf8);

}  // namespace accessibility
