#include "markdown/ImageFilter.h"

#include <type_traits>

#include "markdown/KebabCase.h"

namespace markdown {
namespace {

std::vector<Block> filterBlocks(const std::vector<Block>& blocks, ColorScheme scheme);

std::vector<Inline> filterInlines(const std::vector<Inline>& inlines, ColorScheme scheme) {
  std::vector<Inline> result;
  result.reserve(inlines.size());
  for (const Inline& inline_ : inlines) {
    if (const auto* image = inline_.as<Inline::ImageCase>()) {
      const auto url = foundation::URL::parse(image->source);
      if (url && !isVisible(*url, scheme)) continue;
    }
    result.push_back(std::visit(
        [&](const auto& payload) -> Inline {
          using Case = std::decay_t<decltype(payload)>;
          if constexpr (std::is_same_v<Case, Inline::ImageCase>) {
            return Inline{payload};  // its alternative text is not filtered
          } else if constexpr (std::is_same_v<Case, Inline::Link>) {
            return Inline::link(payload.destination, filterInlines(payload.children, scheme));
          } else if constexpr (requires { payload.children; }) {
            return Inline{Case{filterInlines(payload.children, scheme)}};
          } else {
            return Inline{payload};
          }
        },
        inline_.value));
  }
  return result;
}

std::vector<ListItem> filterItems(const std::vector<ListItem>& items, ColorScheme scheme) {
  std::vector<ListItem> result;
  result.reserve(items.size());
  for (const ListItem& item : items) result.push_back({filterBlocks(item.blocks, scheme)});
  return result;
}

std::vector<TaskListItem> filterItems(const std::vector<TaskListItem>& items, ColorScheme scheme) {
  std::vector<TaskListItem> result;
  result.reserve(items.size());
  for (const TaskListItem& item : items) {
    result.push_back({item.isCompleted, filterBlocks(item.blocks, scheme)});
  }
  return result;
}

std::vector<Block::Row> filterRows(const std::vector<Block::Row>& rows, ColorScheme scheme) {
  std::vector<Block::Row> result;
  result.reserve(rows.size());
  for (const Block::Row& row : rows) {
    Block::Row& cells = result.emplace_back();
    cells.reserve(row.size());
    for (const Block::Cell& cell : row) cells.push_back(filterInlines(cell, scheme));
  }
  return result;
}

Block filterBlock(const Block& block, ColorScheme scheme) {
  return std::visit(
      [&](const auto& payload) -> Block {
        using Case = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<Case, Block::Blockquote>) {
          return Block::blockquote(filterBlocks(payload.blocks, scheme));
        } else if constexpr (std::is_same_v<Case, Block::TaskList>) {
          return Block::taskList(payload.tight, filterItems(payload.items, scheme));
        } else if constexpr (std::is_same_v<Case, Block::BulletedList>) {
          return Block::bulletedList(payload.tight, filterItems(payload.items, scheme));
        } else if constexpr (std::is_same_v<Case, Block::NumberedList>) {
          return Block::numberedList(payload.tight, payload.start,
                                     filterItems(payload.items, scheme));
        } else if constexpr (std::is_same_v<Case, Block::Paragraph>) {
          return Block::paragraph(filterInlines(payload.inlines, scheme));
        } else if constexpr (std::is_same_v<Case, Block::Heading>) {
          return Block::heading(payload.level, filterInlines(payload.text, scheme));
        } else if constexpr (std::is_same_v<Case, Block::Table>) {
          return Block::table(payload.columnAlignments, filterRows(payload.rows, scheme));
        } else {
          return Block{payload};
        }
      },
      block.value);
}

std::vector<Block> filterBlocks(const std::vector<Block>& blocks, ColorScheme scheme) {
  std::vector<Block> result;
  result.reserve(blocks.size());
  for (const Block& block : blocks) result.push_back(filterBlock(block, scheme));
  return result;
}

}  // namespace

bool isVisible(const foundation::URL& url, ColorScheme scheme) {
  const auto fragment = url.fragment();
  if (!fragment) return true;
  const std::string mark = lowercased(*fragment);
  switch (scheme) {
    case ColorScheme::light:
      return mark != "gh-dark-mode-only";
    case ColorScheme::dark:
      return mark != "gh-light-mode-only";
  }
  return true;  // an appearance this code does not know yet
}

std::vector<Block> filterImages(const std::vector<Block>& blocks, ColorScheme scheme) {
  return filterBlocks(blocks, scheme);
}

}  // namespace markdown
