#pragma once

#include <cstddef>
#include <string_view>

namespace panel {

// How much of an answer that is still streaming to lay out as Markdown ahead of its end: the
// blocks complete (up to the last blank line) by the last of a series of lengths it has
// passed. The lengths come every 2 KiB up to 16 KiB, then each an eighth above the one
// before, so that preparing costs a small share of the stream and at most about an eighth of
// the answer is left to build when it ends. Zero below the first length.
std::size_t preparedAnswerLength(std::string_view streamed);

}  // namespace panel
