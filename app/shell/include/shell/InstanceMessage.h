#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// What a later start sends to the running instance: its URLs, each ended by a NUL byte.
// The end of the connection ends the message.

// A message carries at most this many bytes; longer ones are dropped whole.
inline constexpr std::size_t kMaxInstanceMessageBytes = 1 << 20;

// URLs holding a NUL byte cannot be told apart from two and are left out, as are empty ones.
std::string encodeInstanceMessage(const std::vector<std::string>& urls);

// The URLs of a message, in order. Empty entries and a last URL without its NUL (a sender cut
// off mid-way) are dropped; an oversized message gives none.
std::vector<std::string> decodeInstanceMessage(std::string_view message);

}  // namespace shell
