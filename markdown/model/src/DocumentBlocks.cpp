#include "markdown/DocumentBlocks.h"

#include <algorithm>
#include <limits>
#include <type_traits>

#include "foundation/URL.h"
#include "markdown/ImageFilter.h"

namespace markdown {
namespace {

// Walks a block once for its lines and its images.
class BlockSurvey {
 public:
  std::vector<std::uint32_t> lines;
  bool hiddenInLight = false, hiddenInDark = false;

  void blocks(const std::vector<Block>& blocks) {
    for (const Block& b : blocks) block(b);
  }

  void block(const Block& b) {
    std::visit(
        [&](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, Block::Blockquote>) {
            blocks(value.blocks);
          } else if constexpr (std::is_same_v<T, Block::BulletedList> ||
                               std::is_same_v<T, Block::NumberedList> ||
                               std::is_same_v<T, Block::TaskList>) {
            for (const auto& item : value.items) blocks(item.blocks);
          } else if constexpr (std::is_same_v<T, Block::CodeBlock>) {
            text(value.content);
          } else if constexpr (std::is_same_v<T, Block::HTMLBlock>) {
            text(value.text);
          } else if constexpr (std::is_same_v<T, Block::Paragraph>) {
            paragraph(value.inlines);
          } else if constexpr (std::is_same_v<T, Block::Heading>) {
            paragraph(value.text);
          } else if constexpr (std::is_same_v<T, Block::Table>) {
            const std::size_t columns = std::max<std::size_t>(1, value.columnAlignments.size());
            for (const auto& row : value.rows) {
              std::size_t widest = 0;
              for (const auto& cell : row) {
                line_ = 0;
                inlines(cell);
                widest = std::max(widest, line_);
              }
              push(widest * columns);
            }
          } else {
            push(0);
          }
        },
        b.value);
  }

 private:
  void push(std::size_t length) {
    lines.push_back(static_cast<std::uint32_t>(
        std::min<std::size_t>(length, std::numeric_limits<std::uint32_t>::max())));
  }
  // Lines of a text as written; a final line feed ends the last line rather than starting one.
  void text(const std::string& content) {
    std::size_t start = 0;
    while (start < content.size()) {
      const std::size_t end = content.find('\n', start);
      if (end == std::string::npos) {
        push(content.size() - start);
        return;
      }
      push(end - start);
      start = end + 1;
    }
    if (content.empty()) push(0);
  }
  void paragraph(const std::vector<Inline>& content) {
    line_ = 0;
    inlines(content);
    push(line_);
  }
  void inlines(const std::vector<Inline>& content) {
    for (const Inline& i : content) {
      std::visit(
          [&](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, Inline::Text> || std::is_same_v<T, Inline::Code> ||
                          std::is_same_v<T, Inline::HTML>) {
              line_ += value.text.size();
            } else if constexpr (std::is_same_v<T, Inline::SoftBreak>) {
              ++line_;
            } else if constexpr (std::is_same_v<T, Inline::LineBreak>) {
              push(line_);
              line_ = 0;
            } else if constexpr (std::is_same_v<T, Inline::ImageCase>) {
              if (auto url = foundation::URL::parse(value.source)) {
                hiddenInLight = hiddenInLight || !isVisible(*url, ColorScheme::light);
                hiddenInDark = hiddenInDark || !isVisible(*url, ColorScheme::dark);
              }
              inlines(value.children);
            } else {
              inlines(value.children);
            }
          },
          i.value);
    }
  }

  std::size_t line_ = 0;
};

}  // namespace

DocumentBlock::DocumentBlock(Block value) : block(std::move(value)), hash(hashValue(block)) {
  BlockSurvey survey;
  survey.block(block);
  lineLengths = std::move(survey.lines);
  lineLengths.shrink_to_fit();
  hasImagesHiddenInLight = survey.hiddenInLight;
  hasImagesHiddenInDark = survey.hiddenInDark;
}

DocumentBlocks::DocumentBlocks(std::vector<Block> blocks) {
  rest_.reserve(blocks.size());
  for (Block& b : blocks) {
    rest_.push_back(std::make_shared<const DocumentBlock>(std::move(b)));
    hidden_.add(*rest_.back());
  }
}

DocumentBlocks::DocumentBlocks(std::vector<Shared> blocks) : rest_(std::move(blocks)) {
  for (const Shared& b : rest_) hidden_.add(*b);
}

DocumentBlocks::DocumentBlocks(std::shared_ptr<const std::vector<Shared>> settled,
                               std::size_t count, std::vector<Shared> rest,
                               std::optional<HiddenImages> settledImages)
    : settled_(std::move(settled)),
      settledCount_(settled_ ? std::min(count, settled_->size()) : 0),
      rest_(std::move(rest)) {
  if (settledImages) {
    hidden_ = *settledImages;
  } else {
    for (std::size_t i = 0; i < settledCount_; ++i) hidden_.add(*(*settled_)[i]);
  }
  for (const Shared& b : rest_) hidden_.add(*b);
}

std::shared_ptr<const Block> DocumentBlocks::block(std::size_t i) const {
  const Shared& shared = (*this)[i];
  return std::shared_ptr<const Block>(shared, &shared->block);
}

std::size_t DocumentBlocks::sharedPrefix(const DocumentBlocks& other) const {
  const std::size_t both = std::min(size(), other.size());
  std::size_t i = 0;
  if (settled_ && settled_ == other.settled_) i = std::min(settledCount_, other.settledCount_);
  while (i < both && (*this)[i] == other[i]) ++i;
  return i;
}

bool DocumentBlocks::operator==(const DocumentBlocks& other) const {
  if (size() != other.size()) return false;
  // Most of two documents of one growing text share one list.
  std::size_t i = 0;
  if (settled_ && settled_ == other.settled_) i = std::min(settledCount_, other.settledCount_);
  for (; i < size(); ++i) {
    const Shared& a = (*this)[i];
    const Shared& b = other[i];
    if (a == b) continue;
    if (a->hash != b->hash || !(a->block == b->block)) return false;
  }
  return true;
}

}  // namespace markdown
