#include "eventstream/EventStreamParser.h"

#include <algorithm>
#include <utility>

#include "foundation/UTF8.h"

namespace eventstream {

EventStreamParser::EventStreamParser() {
  for (const auto& newline : validNewlineCharacters) delimiters_.push_back(newline + newline);
  searched_.resize(delimiters_.size());
}

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

std::vector<Event> EventStreamParser::append(std::string_view bytes) {
  dataBuffer_.append(bytes);
  std::vector<Event> events;
  if (!skipByteOrderMark()) return events;
  const std::vector<std::string_view> blocks = completeBlocks();
  events.reserve(blocks.size());
  for (std::string_view block : blocks) {
    if (!block.starts_with(':')) events.emplace_back(block, validNewlineCharacters);
  }
  removeConsumed();
  return events;
}

bool EventStreamParser::skipByteOrderMark() {
  if (streamStarted_) return true;
  // One U+FEFF may open the stream; wait until enough bytes tell whether it is there.
  const std::string_view buffer = dataBuffer_.view();
  if (buffer.size() < kByteOrderMark.size() && kByteOrderMark.starts_with(buffer)) return false;
  streamStarted_ = true;
  if (buffer.starts_with(kByteOrderMark)) removePrefix(kByteOrderMark.size());
  return true;
}

std::vector<std::string> EventStreamParser::extractEvents() {
  const std::vector<std::string_view> views = completeBlocks();
  std::vector<std::string> blocks(views.begin(), views.end());
  removeConsumed();
  return blocks;
}

std::vector<std::string_view> EventStreamParser::completeBlocks() {
  std::size_t position = 0;
  std::vector<std::string_view> blocks;
  while (auto match = searchForEventInRange(position, dataBuffer_.size() - position)) {
    blocks.push_back(dataBuffer_.view().substr(position, match->location - position));
    position = match->location + match->length;
  }
  consumed_ = position;
  // Delimiters are ASCII, so the blocks are all valid when everything consumed is: one pass
  // over it, and a pass per block only when something is broken.
  if (!foundation::utf8::isValid(dataBuffer_.view().substr(0, position))) {
    std::erase_if(blocks, [](std::string_view block) { return !foundation::utf8::isValid(block); });
  }
  return blocks;
}

void EventStreamParser::removeConsumed() {
  removePrefix(std::exchange(consumed_, 0));
}

std::optional<EventStreamParser::Match> EventStreamParser::searchForEventInRange(
    std::size_t start, std::size_t length) {
  start = std::min(start, dataBuffer_.size());
  const std::size_t end = start + std::min(length, dataBuffer_.size() - start);
  const std::string_view range = dataBuffer_.view().substr(0, end);
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
  dataBuffer_.removePrefix(count);
  for (SearchedSpan& searched : searched_) {
    searched.from = searched.from > count ? searched.from - count : 0;
    searched.noMatchBefore = searched.noMatchBefore > count ? searched.noMatchBefore - count : 0;
  }
}

}  // namespace eventstream
