#include "ui/AttributedString.h"

#include <algorithm>

namespace ui {

namespace {

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

AttributedString::AttributedString(std::string text, AttributeContainer attributes)
    : text_(std::move(text)) {
  if (!text_.empty()) runs_.push_back(Run{0, text_.size(), std::move(attributes)});
}

std::string_view AttributedString::text(const Run& run) const {
  const std::size_t begin = std::min(run.begin, text_.size());
  return std::string_view(text_).substr(begin, std::min(run.end, text_.size()) - begin);
}

std::size_t AttributedString::boundary(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  // A UTF-8 character has at most three continuation bytes; beyond that the text is not
  // UTF-8 and any byte will do.
  for (int i = 0; i < 3 && offset > 0 && offset < text_.size() && isContinuationByte(text_[offset]);
       ++i) {
    --offset;
  }
  return offset;
}

std::size_t AttributedString::splitAt(std::size_t offset) {
  auto it = std::upper_bound(runs_.begin(), runs_.end(), offset,
                             [](std::size_t o, const Run& r) { return o < r.end; });
  if (it == runs_.end()) return runs_.size();
  const auto index = static_cast<std::size_t>(it - runs_.begin());
  if (it->begin == offset) return index;
  Run tail{offset, it->end, it->attributes};
  it->end = offset;
  runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(tail));
  return index + 1;
}

void AttributedString::coalesce() {
  if (runs_.empty()) return;
  std::size_t out = 0;
  for (std::size_t i = 1; i < runs_.size(); ++i) {
    if (runs_[i].attributes == runs_[out].attributes) {
      runs_[out].end = runs_[i].end;
    } else if (++out != i) {
      runs_[out] = std::move(runs_[i]);
    }
  }
  runs_.resize(out + 1);
}

AttributedString& AttributedString::operator+=(const AttributedString& other) {
  if (other.empty()) return *this;
  const std::size_t shift = text_.size();
  text_ += other.text_;
  auto first = other.runs_.begin();
  if (!runs_.empty() && runs_.back().attributes == first->attributes) {
    runs_.back().end = first->end + shift;
    ++first;
  }
  for (auto it = first; it != other.runs_.end(); ++it) {
    runs_.push_back(Run{it->begin + shift, it->end + shift, it->attributes});
  }
  return *this;
}

void AttributedString::append(std::string_view text, const AttributeContainer& attributes) {
  // In place, without a temporary: highlighted code appends a run per token.
  if (text.empty()) return;
  const std::size_t begin = text_.size();
  text_ += text;
  if (!runs_.empty() && runs_.back().attributes == attributes) {
    runs_.back().end = text_.size();
  } else {
    runs_.push_back(Run{begin, text_.size(), attributes});
  }
}

void AttributedString::reserve(std::size_t bytes, std::size_t runs) {
  text_.reserve(bytes);
  runs_.reserve(runs);
}

void AttributedString::edit(std::size_t begin, std::size_t end, const Edit& edit) {
  begin = boundary(begin);
  end = boundary(end);
  if (begin >= end) return;
  const std::size_t first = splitAt(begin);
  const std::size_t last = splitAt(end);
  for (std::size_t i = first; i < last; ++i) edit(runs_[i].attributes);
  coalesce();
}

void AttributedString::setAttributes(std::size_t begin, std::size_t end,
                                     const AttributeContainer& attributes) {
  edit(begin, end, [&](AttributeContainer& c) { c = attributes; });
}

void AttributedString::mergeAttributes(std::size_t begin, std::size_t end,
                                       const AttributeContainer& attributes) {
  edit(begin, end, [&](AttributeContainer& c) { c.merge(attributes); });
}

AttributedString AttributedString::transformingAttributes(const Edit& edit) const {
  AttributedString result = *this;
  for (Run& run : result.runs_) edit(run.attributes);
  result.coalesce();
  return result;
}

AttributedString AttributedString::substring(std::size_t begin, std::size_t end) const {
  begin = boundary(begin);
  end = boundary(end);
  AttributedString result;
  if (begin >= end) return result;
  result.text_ = text_.substr(begin, end - begin);
  for (const Run& run : runs_) {
    const std::size_t b = std::max(run.begin, begin), e = std::min(run.end, end);
    if (b < e) result.runs_.push_back(Run{b - begin, e - begin, run.attributes});
  }
  return result;
}

}  // namespace ui
