#pragma once

#include <string>
#include <string_view>

namespace HotKeys {

// The recorder's texts by key, compiled in; an unknown key reads as itself.
std::string localized(std::string_view key);

// Puts `argument` in place of each "%@" of `format` (none is fine). Never a printf format: a
// "%s" or "%n" in a translation or a menu title stays text.
std::string formatted(std::string_view format, std::string_view argument);

}  // namespace HotKeys
