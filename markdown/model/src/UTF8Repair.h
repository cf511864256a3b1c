#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace markdown {

// `text` with each invalid UTF-8 sequence (a maximal ill-formed subpart) replaced by U+FFFD,
// or absent when the text is already valid.
std::optional<std::string> repairedUTF8(std::string_view text);

}  // namespace markdown
