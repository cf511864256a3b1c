#pragma once

#include <string_view>

namespace foundation {

// The environment variable that turns the diagnostic lines on ("1", or any value but "0").
inline constexpr const char* kDebugLogVariable = "QUILLCAST_DEBUG";

// Diagnostic lines can carry the user's text (prompts, whole chats) and a desktop session keeps
// standard output in a file on disk, so they are quiet unless asked for.
bool debugLogEnabled();

// One line on standard output, flushed at once, when the diagnostics are on; lines from several
// threads never mix.
void debugLog(std::string_view line);

}  // namespace foundation
