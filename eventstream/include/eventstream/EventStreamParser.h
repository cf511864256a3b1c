#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eventstream/Event.h"
#include "eventstream/ReceiveBuffer.h"

namespace eventstream {

// Cuts a server-sent-events body into events. Not thread-safe: one connection's serial queue
// drives it.
class EventStreamParser {
 public:
  struct Match {
    std::size_t location = 0;
    std::size_t length = 0;
    bool operator==(const Match&) const = default;
  };

  // A peer that sends this much without a block delimiter is not sending events.
  static constexpr std::size_t maximumBufferedBytes = 16 * 1024 * 1024;

  // Also the search order of the block delimiters (each written twice).
  const std::vector<std::string> validNewlineCharacters{"\r\n", "\n", "\r"};

  EventStreamParser();

  // Buffers `bytes` and returns the events of every block completed by them, comment blocks
  // left out. A byte-order mark opening the stream is skipped.
  std::vector<Event> append(std::string_view bytes);

  // The complete blocks in the buffer, valid UTF-8 only; the consumed bytes are removed.
  std::vector<std::string> extractEvents();

  // The first delimiter kind that occurs anywhere in the range wins, at its first occurrence,
  // even when a later kind occurs earlier.
  std::optional<Match> searchForEventInRange(std::size_t start, std::size_t length);

  std::string_view dataBuffer() const { return dataBuffer_.view(); }

 private:
  // No occurrence of a delimiter starts in [from, noMatchBefore): lets a block arriving in
  // many chunks be searched once instead of once per chunk.
  struct SearchedSpan {
    std::size_t from = 0;
    std::size_t noMatchBefore = 0;
  };

  // False while the buffer is still too short to tell whether the stream opens with a BOM.
  bool skipByteOrderMark();
  // The complete, valid blocks, as views into the buffer; removeConsumed() then drops them.
  std::vector<std::string_view> completeBlocks();
  void removeConsumed();
  void removePrefix(std::size_t count);

  ReceiveBuffer dataBuffer_;
  std::vector<std::string> delimiters_;
  std::vector<SearchedSpan> searched_;
  std::size_t consumed_ = 0;
  bool streamStarted_ = false;
};

}  // namespace eventstream
