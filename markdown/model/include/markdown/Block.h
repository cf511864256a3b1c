#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "markdown/Hasher.h"
#include "markdown/Inline.h"

namespace markdown {

struct ListItem;
struct TaskListItem;
template <class Builder>
class BuilderComponent;
struct MarkdownContentBuilder;
// A statement of a block content body (see BlockBuilders.h).
using BlockComponent = BuilderComponent<MarkdownContentBuilder>;

enum class TextTableColumnAlignment { leading, center, trailing };

// One block of a document.
struct Block {
  // In declared order; the ordinal is what hashing feeds.
  enum class Kind {
    blockquote,
    taskList,
    bulletedList,
    numberedList,
    codeBlock,
    htmlBlock,
    paragraph,
    heading,
    table,
    thematicBreak,
  };

  struct Blockquote {
    std::vector<Block> blocks;
    bool operator==(const Blockquote&) const = default;
  };
  struct TaskList {
    bool tight = true;
    std::vector<TaskListItem> items;
    bool operator==(const TaskList&) const = default;
  };
  struct BulletedList {
    bool tight = true;
    std::vector<ListItem> items;
    bool operator==(const BulletedList&) const = default;
  };
  struct NumberedList {
    bool tight = true;
    std::int64_t start = 1;
    std::vector<ListItem> items;
    bool operator==(const NumberedList&) const = default;
  };
  struct CodeBlock {
    std::optional<std::string> info;  // absent and empty are different values
    std::string content;
    bool operator==(const CodeBlock&) const = default;
  };
  struct HTMLBlock {
    std::string text;
    bool operator==(const HTMLBlock&) const = default;
  };
  struct Paragraph {
    std::vector<Inline> inlines;
    bool operator==(const Paragraph&) const = default;
  };
  struct Heading {
    std::int64_t level = 1;
    std::vector<Inline> text;
    bool operator==(const Heading&) const = default;
  };
  using Cell = std::vector<Inline>;
  using Row = std::vector<Cell>;
  struct Table {
    std::vector<std::optional<TextTableColumnAlignment>> columnAlignments;
    std::vector<Row> rows;
    bool operator==(const Table&) const = default;
  };
  struct ThematicBreak {
    bool operator==(const ThematicBreak&) const = default;
  };

  using Value = std::variant<Blockquote, TaskList, BulletedList, NumberedList, CodeBlock, HTMLBlock,
                             Paragraph, Heading, Table, ThematicBreak>;

  Value value;

  // Defined below ListItem and TaskListItem: moving a Value needs them complete.
  Block(Value value);

  static Block blockquote(std::vector<Block> blocks);
  static Block taskList(bool tight, std::vector<TaskListItem> items);
  static Block bulletedList(bool tight, std::vector<ListItem> items);
  static Block numberedList(bool tight, std::int64_t start, std::vector<ListItem> items);
  static Block codeBlock(std::optional<std::string> info, std::string content);
  static Block htmlBlock(std::string text);
  static Block paragraph(std::vector<Inline> inlines);
  static Block heading(std::int64_t level, std::vector<Inline> text);
  static Block table(std::vector<std::optional<TextTableColumnAlignment>> columnAlignments,
                     std::vector<Row> rows);
  static Block thematicBreak();

  Kind kind() const { return static_cast<Kind>(value.index()); }
  template <class Case>
  const Case* as() const {
    return std::get_if<Case>(&value);
  }

  bool operator==(const Block&) const = default;
};

struct ListItem {
  std::vector<Block> blocks;

  // The item of a block content body.
  static ListItem build(std::initializer_list<BlockComponent> content);

  bool operator==(const ListItem&) const = default;
};

struct TaskListItem {
  bool isCompleted = false;
  std::vector<Block> blocks;

  // The item of a block content body.
  static TaskListItem build(bool isCompleted, std::initializer_list<BlockComponent> content);

  bool operator==(const TaskListItem&) const = default;
};

inline Block::Block(Value value) : value(std::move(value)) {}

void hashInto(Hasher& hasher, TextTableColumnAlignment alignment);
void hashInto(Hasher& hasher, const Block& block);
void hashInto(Hasher& hasher, const std::vector<Block>& blocks);
void hashInto(Hasher& hasher, const ListItem& item);
void hashInto(Hasher& hasher, const TaskListItem& item);

}  // namespace markdown

template <>
struct std::hash<markdown::Block> {
  std::size_t operator()(const markdown::Block& value) const { return markdown::hashValue(value); }
};
template <>
struct std::hash<markdown::ListItem> {
  std::size_t operator()(const markdown::ListItem& value) const {
    return markdown::hashValue(value);
  }
};
template <>
struct std::hash<markdown::TaskListItem> {
  std::size_t operator()(const markdown::TaskListItem& value) const {
    return markdown::hashValue(value);
  }
};
template <>
struct std::hash<markdown::TextTableColumnAlignment> {
  std::size_t operator()(markdown::TextTableColumnAlignment value) const {
    return markdown::hashValue(value);
  }
};
