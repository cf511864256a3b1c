#pragma once

#include <foundation/URL.h>

#include <optional>
#include <string_view>

namespace markdown {

// `text` as a URL, resolved against `base` when there is one; absent when it is no URL.
std::optional<foundation::URL> resolveURL(std::string_view text,
                                          const std::optional<foundation::URL>& base);

}  // namespace markdown
