#pragma once

#include <string>
#include <string_view>

namespace markdown {

// Lower case, with every character outside the Unicode letters, marks and numbers turned
// into "-". Runs are not collapsed: "Hello, World" gives "hello--world".
std::string kebabCased(std::string_view text);

// Full Unicode lower-casing, root locale.
std::string lowercased(std::string_view text);

}  // namespace markdown
