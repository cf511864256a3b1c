#include "panel/TextRows.h"

#include <cstring>

namespace panel {

std::shared_ptr<const TextRows::Cut> TextRows::cut(std::shared_ptr<const std::string> text) {
  if (!text) text = std::make_shared<const std::string>();
  if (last_ && last_->text == text) return last_;
  auto next = std::make_shared<Cut>();
  next->text = text;
  const std::string& s = *text;
  std::size_t from = 0;
  bool extends = false;
  if (last_) {
    // Every row but the last is kept when the text before it is the same.
    const std::string& before = *last_->text;
    const std::size_t kept = last_->rows.empty() ? 0 : last_->rows.back().begin;
    if (s.size() >= kept && std::memcmp(s.data(), before.data(), kept) == 0) {
      next->rows.assign(last_->rows.begin(), last_->rows.end() - 1);
      from = kept;
      extends = s.size() >= before.size() &&
                std::memcmp(s.data() + kept, before.data() + kept, before.size() - kept) == 0;
    }
  }
  // Within one generation each text extends the one before, so a row's place is its content.
  next->generation = extends ? last_->generation : ++generations_;

  std::size_t rowBegin = from, lineStart = from, lines = 0;
  while (true) {
    const std::size_t end = s.find('\n', lineStart);
    if (end == std::string::npos) break;
    ++lines;
    const bool lineHasText = end > lineStart;
    const bool nextHasText = end + 1 < s.size() && s[end + 1] != '\n';
    if ((lines >= kLinesPerRow || end - rowBegin >= kBytesPerRow) && lineHasText && nextHasText) {
      next->rows.push_back({rowBegin, end, lines});
      rowBegin = end + 1;
      lines = 0;
    }
    lineStart = end + 1;
  }
  next->rows.push_back({rowBegin, s.size(), lines + 1});
  last_ = next;
  return next;
}

}  // namespace panel
