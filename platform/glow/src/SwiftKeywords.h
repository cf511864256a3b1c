#pragma once

#include <string_view>

namespace glow {

bool isSwiftKeyword(std::string_view word);

// Keywords that stand for a value, so a `.` after them reaches a member.
bool isSwiftValueKeyword(std::string_view word);

}  // namespace glow
