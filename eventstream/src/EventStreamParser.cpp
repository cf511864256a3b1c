#include "eventstream/EventStreamParser.h"

#include <algorithm>

#include "eventstream/Utf8.h"

namespace eventstream {

EventStreamParser::EventStreamParser() {
  for (const auto& newline : validNewlineCharacters) delimiters_.push_back(newline + newline);
  searched_.resize(delimiters_.size());
}

std::vector<Event> EventStreamParser::append(std::string_view bytes) {
  dataBuffer_.append(bytes);
  std::vector<Event> events;
  for (const std::string& block : extractEvents()) {
    if (block.starts_with(':')) continue;
    events.emplace_back(block, validNewlineCharacters);
  }
  return events;
}

std::vector<std::string> EventStreamParser::extractEvents() {
  std::vector<std::string> blocks;
  std::size_t position = 0;
  while (auto match = searchForEventInRange(position, dataBuffer_.size() - position)) {
    const std::string_view block =
        std::string_view(dataBuffer_).substr(position, match->location - position);
    if (isValidUtf8(block)) blocks.emplace_back(block);
    position = match->location + match->length;
  }
  removePrefix(position);
  return blocks;
}

std::optional<EventStreamParser::Match> EventStreamParser::searchForEventInRange(
    std::size_t start, std::size_t length) {
  start = std::min(start, dataBuffer_.size());
  const std::size_t end = start + std::min(length, dataBuffer_.size() - start);
  const std::string_view range = std::string_view(dataBuffer_).substr(0, end);
  for (std::size_t kind = 0; kind < delimiters_.size(); ++kind) {
    const std::string& delimiter = delimiters_[kind];
    SearchedSpan& searched = searched_[kind];
    const bool resumes = searched.from <= start && start <= searched.noMatchBefore;
    const std::size_t from = resumes ? searched.noMatchBefore : start;
    const std::size_t found = range.find(delimiter, from);
    if (found != std::string_view::npos) return Match{found, delimiter.size()};
    if (end == dataBuffer_.size()) {
      // The last length-1 bytes may begin a delimiter that the next chunk completes.
      const std::size_t tail = delimiter.size() - 1;
      searched.from = resumes ? searched.from : start;
      searched.noMatchBefore = std::max(searched.from, end >= tail ? end - tail : 0);
    }
  }
  return std::nullopt;
}

void EventStreamParser::removePrefix(std::size_t count) {
  if (count == 0) return;
  dataBuffer_.erase(0, count);
  for (SearchedSpan& searched : searched_) {
    searched.from = searched.from > count ? searched.from - count : 0;
    searched.noMatchBefore = searched.noMatchBefore > count ? searched.noMatchBefore - count : 0;
  }
}

}  // namespace eventstream
