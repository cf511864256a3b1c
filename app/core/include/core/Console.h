#pragma once

#include <string_view>

namespace core {

// The assistant's diagnostics: one plain line on standard output per event, flushed at once,
// only when the diagnostics are on (foundation/DebugLog.h): they can carry the user's text.
void printLine(std::string_view line);

// One plain line on standard error, for what the user of the program should know of.
void printErrorLine(std::string_view line);

// Prints the message to standard error and stops the program.
[[noreturn]] void fatalError(std::string_view message);

}  // namespace core
