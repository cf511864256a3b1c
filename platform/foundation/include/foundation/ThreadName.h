#pragma once

#include <string>
#include <string_view>

namespace foundation {

// Names the calling thread as `ps -T`, `top -H` and debuggers show it. The system keeps at most
// 15 bytes; a longer name is cut there, never at the middle of a character.
void setCurrentThreadName(std::string_view name);
// The calling thread's name ("" when the system cannot tell).
std::string currentThreadName();

}  // namespace foundation
