#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ranges>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "markdown/Block.h"
#include "markdown/BuilderComponent.h"
#include "markdown/InlineBuilders.h"
#include "markdown/MarkdownContent.h"

namespace markdown {

// Anything that can stand in a block content body.
template <class T>
concept MarkdownContentProtocol = requires(const T& value) {
  { value._markdownContent() } -> std::convertible_to<MarkdownContent>;
};

// A text statement is Markdown, parsed; it may give any number of blocks.
struct MarkdownContentBuilder : ContentBuilderOperations<MarkdownContentBuilder, MarkdownContent> {
  static MarkdownContent buildExpression(std::string_view markdown) {
    return MarkdownContent(markdown);
  }
  template <MarkdownContentProtocol Value>
  static MarkdownContent buildExpression(const Value& value) {
    return value._markdownContent();
  }
};

// A text statement is one item holding one paragraph of that literal text.
struct ListContentBuilder : ContentBuilderOperations<ListContentBuilder, std::vector<ListItem>> {
  static std::vector<ListItem> buildExpression(std::string_view text);
  static std::vector<ListItem> buildExpression(ListItem item) { return {std::move(item)}; }
};
using ListComponent = BuilderComponent<ListContentBuilder>;

// A text statement is one item, not completed, holding one paragraph of that literal text.
struct TaskListContentBuilder
    : ContentBuilderOperations<TaskListContentBuilder, std::vector<TaskListItem>> {
  static std::vector<TaskListItem> buildExpression(std::string_view text);
  static std::vector<TaskListItem> buildExpression(TaskListItem item) { return {std::move(item)}; }
};
using TaskListComponent = BuilderComponent<TaskListContentBuilder>;

namespace detail {

// A list is loose as soon as one item holds two or more paragraphs of its own; otherwise
// it is what was asked for.
template <class Item>
bool storedTightness(bool requested, const std::vector<Item>& items) {
  for (const Item& item : items) {
    int paragraphs = 0;
    for (const Block& block : item.blocks) {
      if (block.kind() == Block::Kind::paragraph && ++paragraphs > 1) return false;
    }
  }
  return requested;
}

template <class Builder, class Range, class Body>
typename Builder::Content itemsOf(Range&& data, Body&& body) {
  std::vector<typename Builder::Content> lists;
  for (auto&& element : data) {
    lists.push_back(BuilderComponent<Builder>(std::invoke(body, element)).take());
  }
  return Builder::buildArray(std::move(lists));
}

template <class Range>
std::vector<ListItem> literalItems(Range&& texts) {
  std::vector<ListItem> items;
  for (auto&& text : texts) {
    auto item = ListContentBuilder::buildExpression(std::string_view(text));
    items.push_back(std::move(item.front()));
  }
  return items;
}

}  // namespace detail

struct Blockquote {
  MarkdownContent content;

  explicit Blockquote(std::initializer_list<BlockComponent> content);
  MarkdownContent _markdownContent() const;
};

struct BulletedList {
  bool tight = true;
  std::vector<ListItem> items;

  BulletedList(bool tight, std::vector<ListItem> items)
      : tight(detail::storedTightness(tight, items)), items(std::move(items)) {}
  BulletedList(bool tight, std::initializer_list<ListComponent> items)
      : BulletedList(tight, ListContentBuilder::buildBlock(items)) {}
  explicit BulletedList(std::initializer_list<ListComponent> items) : BulletedList(true, items) {}

  // The items that `items` gives for each element, in order.
  template <std::ranges::input_range Range, class Body>
  static BulletedList of(Range&& data, bool tight, Body&& items) {
    return BulletedList(tight, detail::itemsOf<ListContentBuilder>(data, items));
  }
  // One item per text, holding that literal text.
  template <std::ranges::input_range Range>
  static BulletedList ofTexts(Range&& texts, bool tight) {
    return BulletedList(tight, detail::literalItems(texts));
  }

  MarkdownContent _markdownContent() const;
};

struct NumberedList {
  bool tight = true;
  std::int64_t start = 1;
  std::vector<ListItem> items;

  NumberedList(bool tight, std::int64_t start, std::vector<ListItem> items)
      : tight(detail::storedTightness(tight, items)), start(start), items(std::move(items)) {}
  NumberedList(bool tight, std::int64_t start, std::initializer_list<ListComponent> items)
      : NumberedList(tight, start, ListContentBuilder::buildBlock(items)) {}
  explicit NumberedList(std::initializer_list<ListComponent> items)
      : NumberedList(true, 1, items) {}

  template <std::ranges::input_range Range, class Body>
  static NumberedList of(Range&& data, bool tight, std::int64_t start, Body&& items) {
    return NumberedList(tight, start, detail::itemsOf<ListContentBuilder>(data, items));
  }
  template <std::ranges::input_range Range>
  static NumberedList ofTexts(Range&& texts, bool tight, std::int64_t start) {
    return NumberedList(tight, start, detail::literalItems(texts));
  }

  MarkdownContent _markdownContent() const;
};

struct TaskList {
  bool tight = true;
  std::vector<TaskListItem> items;

  TaskList(bool tight, std::vector<TaskListItem> items)
      : tight(detail::storedTightness(tight, items)), items(std::move(items)) {}
  TaskList(bool tight, std::initializer_list<TaskListComponent> items)
      : TaskList(tight, TaskListContentBuilder::buildBlock(items)) {}
  explicit TaskList(std::initializer_list<TaskListComponent> items) : TaskList(true, items) {}

  template <std::ranges::input_range Range, class Body>
  static TaskList of(Range&& data, bool tight, Body&& items) {
    return TaskList(tight, detail::itemsOf<TaskListContentBuilder>(data, items));
  }

  MarkdownContent _markdownContent() const;
};

struct CodeBlock {
  std::optional<std::string> language;  // absent stays absent in the block's info
  std::string content;

  CodeBlock(std::optional<std::string> language, std::string content)
      : language(std::move(language)), content(std::move(content)) {}
  template <class Content>
  requires std::invocable<Content&> &&
      std::convertible_to<std::invoke_result_t<Content&>, std::string>
      CodeBlock(std::optional<std::string> language, Content&& content)
      : language(std::move(language)), content(std::invoke(content)) {}

  MarkdownContent _markdownContent() const;
};

struct Heading {
  enum class Level : std::int64_t { level1 = 1, level2, level3, level4, level5, level6 };

  Level level;
  InlineContent content;

  Heading(Level level, std::initializer_list<InlineComponent> content);
  // Stops the program: integer levels are no longer accepted.
  [[deprecated("use Heading(Heading::Level, content)")]] Heading(
      std::int64_t level, std::initializer_list<InlineComponent> content);

  // The level of a raw value from 1 to 6; absent for any other.
  static std::optional<Level> levelFromRawValue(std::int64_t rawValue);
  static std::int64_t rawValue(Level level) { return static_cast<std::int64_t>(level); }

  MarkdownContent _markdownContent() const;
};

void hashInto(Hasher& hasher, Heading::Level level);

struct Paragraph {
  InlineContent content;

  explicit Paragraph(std::initializer_list<InlineComponent> content);
  MarkdownContent _markdownContent() const;
};

struct ThematicBreak {
  MarkdownContent _markdownContent() const;
};

}  // namespace markdown
