#pragma once

#include <cstddef>
#include <string_view>

namespace panel {

// How much of an answer that is still streaming to lay out as Markdown ahead of its end: the
// blocks complete (up to the last blank line) by the last of a series of lengths it has
// passed. The lengths come every 512 bytes up to 4 KiB, every 2 KiB up to 16 KiB, then every
// 4 KiB. The answer is parsed only from its last open block each time and laid out only where
// it shows, so preparing costs little whatever the answer's length, and at most about 4 KiB
// are left to build when it ends. Its first blocks are the ones that show: made a few at a
// time, no frame builds a screenful of Markdown at once. Zero below the first length.
std::size_t preparedAnswerLength(std::string_view streamed);

}  // namespace panel
