#include "markdown/Block.h"

#include <type_traits>

namespace markdown {

Block Block::blockquote(std::vector<Block> blocks) {
  return Block{Blockquote{std::move(blocks)}};
}
Block Block::taskList(bool tight, std::vector<TaskListItem> items) {
  return Block{TaskList{tight, std::move(items)}};
}
Block Block::bulletedList(bool tight, std::vector<ListItem> items) {
  return Block{BulletedList{tight, std::move(items)}};
}
Block Block::numberedList(bool tight, std::int64_t start, std::vector<ListItem> items) {
  return Block{NumberedList{tight, start, std::move(items)}};
}
Block Block::codeBlock(std::optional<std::string> info, std::string content) {
  return Block{CodeBlock{std::move(info), std::move(content)}};
}
Block Block::htmlBlock(std::string text) {
  return Block{HTMLBlock{std::move(text)}};
}
Block Block::paragraph(std::vector<Inline> inlines) {
  return Block{Paragraph{std::move(inlines)}};
}
Block Block::heading(std::int64_t level, std::vector<Inline> text) {
  return Block{Heading{level, std::move(text)}};
}
Block Block::table(std::vector<std::optional<TextTableColumnAlignment>> columnAlignments,
                   std::vector<Row> rows) {
  return Block{Table{std::move(columnAlignments), std::move(rows)}};
}
Block Block::thematicBreak() {
  return Block{ThematicBreak{}};
}

namespace {

template <class Item>
void hashItems(Hasher& hasher, const std::vector<Item>& items) {
  hasher.combine(static_cast<std::uint64_t>(items.size()));
  for (const Item& item : items) hashInto(hasher, item);
}

void hashTable(Hasher& hasher, const Block::Table& table) {
  hasher.combine(static_cast<std::uint64_t>(table.columnAlignments.size()));
  for (const auto& alignment : table.columnAlignments) {
    hasher.combineByte(alignment ? 1 : 0);
    if (alignment) hashInto(hasher, *alignment);
  }
  hasher.combine(static_cast<std::uint64_t>(table.rows.size()));
  for (const Block::Row& row : table.rows) hashItems(hasher, row);
}

}  // namespace

void hashInto(Hasher& hasher, TextTableColumnAlignment alignment) {
  hasher.combine(static_cast<std::uint64_t>(alignment));
}

void hashInto(Hasher& hasher, const std::vector<Block>& blocks) {
  hashItems(hasher, blocks);
}

void hashInto(Hasher& hasher, const ListItem& item) {
  hashInto(hasher, item.blocks);
}

void hashInto(Hasher& hasher, const TaskListItem& item) {
  hasher.combineByte(item.isCompleted ? 1 : 0);
  hashInto(hasher, item.blocks);
}

void hashInto(Hasher& hasher, const Block& block) {
  hasher.combine(static_cast<std::uint64_t>(block.value.index()));
  std::visit(
      [&hasher](const auto& payload) {
        using Case = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<Case, Block::Blockquote>) {
          hashInto(hasher, payload.blocks);
        } else if constexpr (std::is_same_v<Case, Block::TaskList> ||
                             std::is_same_v<Case, Block::BulletedList>) {
          hasher.combineByte(payload.tight ? 1 : 0);
          hashItems(hasher, payload.items);
        } else if constexpr (std::is_same_v<Case, Block::NumberedList>) {
          hasher.combineByte(payload.tight ? 1 : 0);
          hasher.combine(static_cast<std::uint64_t>(payload.start));
          hashItems(hasher, payload.items);
        } else if constexpr (std::is_same_v<Case, Block::CodeBlock>) {
          hasher.combineByte(payload.info ? 1 : 0);
          if (payload.info) hasher.combine(*payload.info);
          hasher.combine(payload.content);
        } else if constexpr (std::is_same_v<Case, Block::HTMLBlock>) {
          hasher.combine(payload.text);
        } else if constexpr (std::is_same_v<Case, Block::Paragraph>) {
          hashInto(hasher, payload.inlines);
        } else if constexpr (std::is_same_v<Case, Block::Heading>) {
          hasher.combine(static_cast<std::uint64_t>(payload.level));
          hashInto(hasher, payload.text);
        } else if constexpr (std::is_same_v<Case, Block::Table>) {
          hashTable(hasher, payload);
        }
      },
      block.value);
}

}  // namespace markdown
