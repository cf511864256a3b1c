#include "ModelPrinting.h"

#include <type_traits>

namespace markdown {
namespace {

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

std::string describe(const ListItem& item);
std::string describe(const TaskListItem& item);
std::string describe(const std::optional<TextTableColumnAlignment>& alignment);
std::string describe(const Block::Row& row);

template <class T>
std::string list(const std::vector<T>& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ", ";
    out += describe(values[i]);
  }
  return out + "]";
}

std::string describe(const ListItem& item) {
  return list(item.blocks);
}
std::string describe(const TaskListItem& item) {
  return std::string(item.isCompleted ? "x" : "_") + list(item.blocks);
}
std::string describe(const std::optional<TextTableColumnAlignment>& alignment) {
  if (!alignment) return "none";
  switch (*alignment) {
    case TextTableColumnAlignment::leading:
      return "leading";
    case TextTableColumnAlignment::center:
      return "center";
    case TextTableColumnAlignment::trailing:
      return "trailing";
  }
  return "?";
}
std::string describe(const Block::Row& row) {
  return list(row);
}

}  // namespace

std::string describe(const std::vector<Inline>& inlines) {
  return list(inlines);
}
std::string describe(const std::vector<Block>& blocks) {
  return list(blocks);
}

std::string describe(const Inline& inline_) {
  return std::visit(
      [](const auto& p) -> std::string {
        using C = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<C, Inline::Text>) return "text" + quoted(p.text);
        if constexpr (std::is_same_v<C, Inline::SoftBreak>) return "softBreak";
        if constexpr (std::is_same_v<C, Inline::LineBreak>) return "lineBreak";
        if constexpr (std::is_same_v<C, Inline::Code>) return "code" + quoted(p.text);
        if constexpr (std::is_same_v<C, Inline::HTML>) return "html" + quoted(p.text);
        if constexpr (std::is_same_v<C, Inline::Emphasis>) return "emphasis" + list(p.children);
        if constexpr (std::is_same_v<C, Inline::Strong>) return "strong" + list(p.children);
        if constexpr (std::is_same_v<C, Inline::Strikethrough>) {
          return "strikethrough" + list(p.children);
        }
        if constexpr (std::is_same_v<C, Inline::Link>) {
          return "link(" + quoted(p.destination) + ")" + list(p.children);
        }
        if constexpr (std::is_same_v<C, Inline::ImageCase>) {
          return "image(" + quoted(p.source) + ")" + list(p.children);
        }
      },
      inline_.value);
}

std::string describe(const Block& block) {
  return std::visit(
      [](const auto& p) -> std::string {
        using C = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<C, Block::Blockquote>) return "blockquote" + list(p.blocks);
        if constexpr (std::is_same_v<C, Block::TaskList>) {
          return std::string("taskList(tight: ") + (p.tight ? "1" : "0") + ")" + list(p.items);
        }
        if constexpr (std::is_same_v<C, Block::BulletedList>) {
          return std::string("bulletedList(tight: ") + (p.tight ? "1" : "0") + ")" + list(p.items);
        }
        if constexpr (std::is_same_v<C, Block::NumberedList>) {
          return std::string("numberedList(tight: ") + (p.tight ? "1" : "0") +
                 ", start: " + std::to_string(p.start) + ")" + list(p.items);
        }
        if constexpr (std::is_same_v<C, Block::CodeBlock>) {
          return "codeBlock(" + (p.info ? quoted(*p.info) : std::string("none")) + ", " +
                 quoted(p.content) + ")";
        }
        if constexpr (std::is_same_v<C, Block::HTMLBlock>) return "htmlBlock" + quoted(p.text);
        if constexpr (std::is_same_v<C, Block::Paragraph>) return "paragraph" + list(p.inlines);
        if constexpr (std::is_same_v<C, Block::Heading>) {
          return "heading(" + std::to_string(p.level) + ")" + list(p.text);
        }
        if constexpr (std::is_same_v<C, Block::Table>) {
          return "table(" + list(p.columnAlignments) + ")" + list(p.rows);
        }
        if constexpr (std::is_same_v<C, Block::ThematicBreak>) return "thematicBreak";
      },
      block.value);
}

}  // namespace markdown
