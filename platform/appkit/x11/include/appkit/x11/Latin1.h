#pragma once

#include <string>
#include <string_view>

namespace appkit::x11 {

// Latin-1 is the encoding of the STRING target.
std::string latin1ToUtf8(std::string_view latin1);
// Characters without a Latin-1 form (and broken UTF-8) become '?'.
std::string utf8ToLatin1(std::string_view utf8);

}  // namespace appkit::x11
